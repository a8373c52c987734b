// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "deck/LoudnessSettings.h"
#include "deck/TempoSettings.h"

#include <QMetaObject>
#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>

class LabelControl;
class PadDeck;
class QCheckBox;
class QDoubleSpinBox;
class QPushButton;
class QSpinBox;
class TapTempo;

// The selected pad's own tempo and key on the settings page.
//
// The tempo reads "120.0 BPM · 4 bars", "finding…" while the pad's tempo is still to be found
// from its file, or "no tempo" for a pad that never stretches (a drone, a spoken intro). The
// musician types the tempo or the bars, taps it, ticks "no tempo", or has it found again; the
// key is the pad's own shift in semitones and cents. Every change goes to the deck, which stores
// and renders it; the panel shows what the deck then holds, also when a tempo is found later.
// Without a deck (a window made alone) the panel shows what the settings file holds and stores
// nothing.
class PadTempoPanel : public QObject {
public:
    // A steady clock in seconds, for the taps.
    using Clock = std::function<double()>;

    // The row along the top of the page starts at `row`; the fields stack in the column that
    // starts at `column`.
    PadTempoPanel(QWidget& window, QPoint row, QPoint column);
    ~PadTempoPanel() override;
    PadTempoPanel(const PadTempoPanel&) = delete;
    PadTempoPanel& operator=(const PadTempoPanel&) = delete;

    void attachDeck(PadDeck& deck);
    // The pad (0..27) shown and edited; -1 (or anything outside the pads) shows none.
    void showPad(int index);
    int pad() const { return m_pad; }
    // Reads the shown pad again.
    void refresh();
    // Tests tap at times of their own.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    LabelControl* TempoLabel = nullptr; // "120.0 BPM · 4 bars", "finding…", "no tempo"
    QDoubleSpinBox* Bpm = nullptr;      // 30..300, one decimal
    QSpinBox* Bars = nullptr;           // 1..256
    QPushButton* Tap = nullptr;
    QCheckBox* NoTempo = nullptr;
    QPushButton* FindAgain = nullptr;
    QSpinBox* Semitones = nullptr; // -12..12
    QSpinBox* Cents = nullptr;     // -50..50
    // The selected pad's loudness as measured and the gain matching gave it ("-18.2 LUFS +2.2
    // dB"), and the switch that matches every measured pad to one loudness (lit while on;
    // pressed again, every pad's gain goes).
    LabelControl* LoudnessLabel = nullptr;
    QPushButton* Match = nullptr;

    // What the loudness label says for a pad's loudness and gain.
    static QString LoudnessCaption(const PadLoudness& loudness, double gainDb);

    // What the tempo label says for a pad's tempo.
    static QString TempoCaption(const PadTempo& tempo);

private:
    void createTempoRow(QWidget& window, QPoint row);
    void createFields(QWidget& window, QPoint column);
    PadTempo tempoNow() const;
    void typedBpm(double bpm);
    void typedBars(int bars);
    int barsAt(double bpm, const PadTempo& now) const;
    void tapped();
    void noTempoClicked(bool none);
    void keyChanged();
    void store(const PadTempo& tempo);
    void createLoudness(QWidget& window, QPoint row, QPoint column);
    void matchClicked(bool on);

    PadDeck* m_deck = nullptr;
    QMetaObject::Connection m_deckChanges;
    QMetaObject::Connection m_loudnessChanges;
    int m_pad = -1;
    std::unique_ptr<TapTempo> m_taps;
    Clock m_clock;
};
