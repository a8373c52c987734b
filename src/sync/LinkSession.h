// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class SharedTimeline;

// Quendel in an Ableton Link session: the session's tempo, its beats and bars (four beats a
// bar) and, when asked, its start and stop, shared with the other players on the network.
//
// Making one joins at once, and from then on the program announces itself by multicast on
// every network interface; nothing of Link exists before or after. Link's own threads report
// the other players' changes; they reach this object's signals on its thread, the latest of a
// burst only, so a tempo dragged on another machine does not flood the deck.
class LinkSession : public QObject {
    Q_OBJECT
public:
    static constexpr double kBeatsPerBar = 4.0;
    // Tempos closer than this are the same: neither side echoes the other's rounding back.
    static constexpr double kSameTempo = 0.005;

    // Joins (or starts) a session; `bpm` is its tempo while no one else is in it.
    explicit LinkSession(double bpm);
    ~LinkSession() override;
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // The other players in the session.
    int peers() const;
    // The session's tempo in BPM, and a change of it from here (passed on to the others).
    double tempo() const;
    void setTempo(double bpm);
    // Start/stop shared with the players that share theirs (off until switched on).
    void setStartStopSync(bool on);
    bool startStopSync() const;
    bool playing() const;
    void setPlaying(bool playing);

    // How long the mixer's frames take to reach the speakers (from the output device), so that
    // the beats are heard with the others' and not that much later.
    void setOutputLatency(std::chrono::microseconds latency);
    // The mixer's view of the session while it has other players (alone, the mixer keeps its
    // own time). It reads the clock at the top of each block and smooths what the device's
    // thread wakes early or late; with `frameZeroAt`, mixer frame 0 is heard at that time on
    // Link's clock and the frames follow at the mixer's rate exactly (offline rendering).
    std::unique_ptr<SharedTimeline>
    timeline(std::optional<std::chrono::microseconds> frameZeroAt = std::nullopt);
    // Link's clock, and the session's beat at one of its times.
    std::chrono::microseconds now() const;
    double beatAt(std::chrono::microseconds time) const;

signals:
    void peersChanged(int peers);
    // Another player changed the session's tempo (or this one joined a session at another).
    void tempoChanged(double bpm);
    void playingChanged(bool playing);

public:
    struct Shared; // Link itself and what the audio thread reads, kept alive by the timeline

private:
    std::shared_ptr<Shared> m_shared;
};
