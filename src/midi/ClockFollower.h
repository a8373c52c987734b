// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>

// The tempo of an external MIDI clock (24 clocks a quarter note), from the times its clocks
// arrived. A straight line fitted through the last four beats' clocks gives the time a clock
// lasts, so the jitter of single clocks (a USB bus, a busy sender) averages out instead of
// moving the tempo: on a steady clock with 2 ms of jitter a clock, the tempo settles within
// four beats to a few hundredths of a BPM. A clock far off the line (the sender changed its
// tempo) starts the fit afresh from there, as does a pause (the sender stopped).
class ClockFollower {
public:
    static constexpr int kClocksPerBeat = 24;
    static constexpr std::size_t kWindow = 4 * kClocksPerBeat;
    // Longer than a clock at 10 BPM: the sender has stopped.
    static constexpr double kPauseSeconds = 0.25;
    // A clock further from where the line expects it than this part of a clock (or than
    // kJitterSeconds, when that is more) is a new tempo, not jitter.
    static constexpr double kJump = 0.3;
    static constexpr double kJitterSeconds = 0.006;

    // A clock arrived at `seconds` (a steady clock's reading).
    void clock(double seconds);
    // Start, Continue or Stop: the beat starts again.
    void restart();
    // The tempo in BPM, from the first beat of clocks on.
    std::optional<double> bpm() const;
    // Clocks since the fit last started.
    std::size_t clocks() const { return m_count; }

private:
    struct Line {
        double perClock = 0.0; // seconds a clock lasts
        double next = 0.0;     // when the next clock is due
    };
    Line fit() const;

    std::array<double, kWindow> m_times{}; // a ring of the last clocks' times
    std::size_t m_count = 0;               // clocks in the fit (the ring holds the last kWindow)
};
