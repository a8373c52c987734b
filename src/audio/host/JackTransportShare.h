// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/mixer/GridBlock.h"

#include <atomic>
#include <cstdint>

// What passes between JACK's transport and the session, when the settings file's main section
// says "JackTransport=follow" or "lead" (off by default).
//
// Follow: the JACK client's process thread reads the transport once a period (rolling or not,
// and the tempo a timebase master gives) and leaves it here in atomics; the UI thread looks and
// sets the session tempo and starts or stops the loop.
// Lead: the client is the timebase master and gives the transport the grid's tempo and place
// (bar, beat, tick), as the host noted it after the last block rendered on the same thread; the
// UI thread sees the grid start and stop keeping time here, and rolls or stops the transport.
class JackTransportShare {
public:
    enum class Mode : int { Off, Follow, Lead };
    // The BBT tick resolution given to the transport.
    static constexpr double kTicksPerBeat = 1920.0;

    // UI thread.
    void setMode(Mode mode) { m_mode.store(mode, std::memory_order_relaxed); }
    Mode mode() const { return m_mode.load(std::memory_order_relaxed); }

    // Follow. The process thread, once a period: rolling or not, and the tempo (0: none given).
    void noteTransport(bool rolling, double bpm);
    // UI thread: what was noted last (false: no JACK client reported yet).
    bool heard() const { return m_heard.load(std::memory_order_acquire); }
    bool rolling() const { return m_rolling.load(std::memory_order_relaxed); }
    double bpm() const { return m_bpm.load(std::memory_order_relaxed); }

    // Lead. The process thread, after each block rendered.
    void noteGrid(const GridBlock& block, int rate);
    // UI thread: whether the grid keeps time, as of the last block.
    bool gridKeepsTime() const { return m_keepsTime.load(std::memory_order_relaxed); }

    // The process thread (the timebase callback): the grid's place at the end of the last block.
    struct Place {
        bool valid = false;
        std::int32_t bar = 1, beat = 1, tick = 0; // counted from 1, as JACK counts them
        double barStartTick = 0.0;
        int beatsPerBar = 4;
        double bpm = 0.0;
    };
    Place place() const;

private:
    std::atomic<Mode> m_mode{Mode::Off};
    std::atomic<bool> m_heard{false};
    std::atomic<bool> m_rolling{false};
    std::atomic<double> m_bpm{0.0};
    std::atomic<bool> m_keepsTime{false};
    // The process thread only.
    bool m_running = false;
    double m_beatPosition = 0.0; // beats since the first bar line, at the last block's end
    double m_beatFrames = 0.0;
    int m_beatsPerBar = 4;
    int m_rate = 0;
};
