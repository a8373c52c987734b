// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempoSettings.h"

#include <QObject>

#include <memory>

class TapTempo;

// The session's tempo and key, as the bar shows them and the settings file keeps them: the tempo
// every pad with a tempo of its own plays at (off: each at its own, as recorded), the shift
// every pad is transposed by, the band's pitch the tuner measured, and the metronome. Every
// change is stored at once and announced; the deck renders and plays to it.
class SessionTempo : public QObject {
    Q_OBJECT
public:
    // How far one nudge moves the tempo.
    static constexpr double kNudgeBpm = 1.0;

    SessionTempo();
    ~SessionTempo() override;

    const SessionKeyAndTempo& now() const { return m_now; }
    // Reads the settings file again (a hand edit, another window's change).
    void reload();

    // 0 turns the tempo off; anything else is held to 30..300 BPM.
    void setTempo(double bpm);
    // Steps of kNudgeBpm up (+) or down (-); from off it starts at `fromOff` (the playing pad's
    // own tempo, say), rounded to a whole BPM.
    void nudgeTempo(int steps, double fromOff);
    // A tap of the tempo now; from the second tap on, the taps set the tempo. `seconds` is a
    // steady clock's reading (tests pass their own).
    void tap();
    void tapAt(double seconds);

    void setTranspose(int semitones, int cents);
    // 440 (or anything outside 430..450) tunes the pads to no band.
    void setBandA4(double a4);
    void setMetronome(bool on);
    void setMetronomeLevel(int level);
    void setCountIn(bool on);

signals:
    void changed(const SessionKeyAndTempo& now, const SessionKeyAndTempo& before);

private:
    void apply(SessionKeyAndTempo next);

    SessionKeyAndTempo m_now;
    std::unique_ptr<TapTempo> m_taps;
};
