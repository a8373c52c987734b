// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/mixer/GridBlock.h"
#include "audio/mixer/MidiClockTicks.h"

#include <atomic>
#include <cstdint>

// The MIDI clock Quendel sends from its beat grid, when the settings file's main section says
// "MidiClockOut=on" (off by default).
//
// On the device's thread the host hands it each rendered block's grid read-out; the clocks of
// a device period gather here with their frames in the period, and a device with MIDI ports of
// its own (the JACK client's midi_out) writes them there on their exact frames. For a sender
// with no place in the period (the ALSA sequencer, which schedules ahead in time), the thread
// also publishes after each block where the grid stands and when the block's first frame will
// be heard, as a moment another thread reads without a lock.
class MidiClockOut {
public:
    static constexpr int kMaxEvents = 1024;

    // Where the grid stood at a block's first frame and when that frame is heard: enough to
    // tell the time of every clock up to the next bar line, and past it but for a change to come.
    struct Moment {
        std::int64_t frame = 0;      // the block's first frame on the mixer's clock
        std::int64_t heardNanos = 0; // when it is heard, on the steady clock
        int rate = 0;
        bool keepsTime = false;
        std::uint64_t starts = 0; // Starts so far: a new one means the grid began again
        double lineExact = 0.0;   // the last line reached, its exact frame
        std::int64_t lineIndex = 0;
        int lineBeatInBar = 0;
        double beatFrames = 0.0;       // the beat after that line
        double comingBeatFrames = 0.0; // the beat from the next bar line on
        int beatsPerBar = 4;
    };

    // UI thread.
    void setEnabled(bool on) { m_enabled.store(on, std::memory_order_relaxed); }
    bool enabled() const { return m_enabled.load(std::memory_order_relaxed); }

    // The device's thread: a period begins; the host follows each block rendered in it; the
    // device writes what gathered (offsets from the period's first frame, in time order) and
    // ends the period. A device that never begins one gathers nothing.
    void beginPeriod();
    void follow(const GridBlock& block, std::int64_t heardNanos, int rate);
    int count() const { return m_inPeriod && enabled() ? m_count : 0; }
    const MidiClockTicks::Event* events() const { return m_events; }
    void endPeriod() { m_inPeriod = false; }

    // Any thread: the last moment published; false before the first.
    bool moment(Moment& out) const;

private:
    void publish(const Moment& moment);

    std::atomic<bool> m_enabled{false};
    // The device's thread only.
    MidiClockTicks m_ticks;
    bool m_wasEnabled = false;
    bool m_inPeriod = false;
    int m_periodFrames = 0; // rendered so far in this period
    int m_count = 0;
    MidiClockTicks::Event m_events[kMaxEvents];
    Moment m_last;

    // The published moment: a sequence count, odd while it is being written.
    std::atomic<std::uint64_t> m_sequence{0};
    std::atomic<std::int64_t> m_frame{0}, m_heardNanos{0}, m_lineIndex{0};
    std::atomic<int> m_rate{0}, m_lineBeatInBar{0}, m_beatsPerBar{4};
    std::atomic<bool> m_keepsTime{false};
    std::atomic<std::uint64_t> m_startCount{0};
    std::atomic<double> m_lineExact{0.0}, m_beatFrames{0.0}, m_comingBeatFrames{0.0};
};
