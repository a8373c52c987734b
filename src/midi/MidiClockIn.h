// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ClockFollower.h"
#include "io/MidiMessage.h"
#include "io/SpscQueue.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

class SessionTempo;

// The session tempo following an external MIDI clock (a drum machine, a DAW), when the settings
// file's main section says "MidiClock=follow"; off by default, when clocks are ignored.
//
// The transport's thread stamps each clock with the time it came and queues it (no lock, no
// allocation); the UI thread feeds the stamps to a ClockFollower and, once a beat, sets the
// session tempo when it has moved by kMinChange or more, so a steady clock leaves the tempo (and
// the settings file) alone. Start, Continue and Stop begin the beat afresh; with
// "MidiClockStartStop=on" as well (off by default) they also start and stop the music, through
// the handler MidiPads gives (Start and Continue alike: the loop starts from its first bar line).
// A burst of them in one drain counts as its last.
class MidiClockIn {
public:
    using Clock = std::function<double()>; // a steady clock's reading in seconds
    using StartStop = std::function<void(bool start)>;
    static constexpr std::size_t kQueueSize = 1024;
    static constexpr double kMinChange = 0.05;

    explicit MidiClockIn(SessionTempo& tempo);

    // Reads whether to follow from the settings file again.
    void reload();
    bool following() const { return m_following.load(std::memory_order_relaxed); }
    // The transport's thread: a clock message to queue (true), or one to ignore, not following.
    bool receive(ClockMessage message);
    // UI thread: what came since the last drain.
    void drain();
    // UI thread: who starts and stops the music when the sender does.
    void setStartStop(StartStop handler) { m_startStop = std::move(handler); }
    bool startsAndStops() const { return m_startsAndStops; }

    // For tests: the clock that stamps the messages (before any arrive).
    void setClock(Clock clock) { m_clock = std::move(clock); }
    const ClockFollower& follower() const { return m_follower; }

private:
    struct Tick {
        ClockMessage message = ClockMessage::Clock;
        double seconds = 0.0;
    };

    SessionTempo& m_tempo;
    ClockFollower m_follower;
    SpscQueue<Tick, kQueueSize> m_ticks;
    std::atomic<bool> m_following{false};
    Clock m_clock;
    StartStop m_startStop;
    bool m_startsAndStops = false; // UI thread
    std::size_t m_appliedAt = 0;   // the follower's clock count when the tempo was last looked at
};
