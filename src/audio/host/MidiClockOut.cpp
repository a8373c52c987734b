// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiClockOut.h"

#include <algorithm>

void MidiClockOut::beginPeriod()
{
    m_inPeriod = true;
    m_periodFrames = 0;
    m_count = 0;
}

void MidiClockOut::follow(const GridBlock& block, std::int64_t heardNanos, int rate)
{
    // Switched on: the receivers heard nothing so far, so the clock begins anew (joining a grid
    // that already keeps time at its next line).
    const bool enabledNow = enabled();
    if (enabledNow && !m_wasEnabled)
        m_ticks.reset();
    m_wasEnabled = enabledNow;
    m_ticks.follow(block);
    if (!m_inPeriod) {
        m_periodFrames = 0;
        m_count = 0;
    }
    for (int i = 0; i < m_ticks.count() && m_count < kMaxEvents; ++i) {
        MidiClockTicks::Event event = m_ticks.events()[i];
        event.offset += m_periodFrames;
        m_events[m_count++] = event;
    }
    m_periodFrames += block.frames;

    Moment now = m_last;
    now.frame = block.frame;
    now.heardNanos = heardNanos;
    now.rate = rate;
    now.keepsTime = block.keepsTime;
    if (block.startedAt >= 0)
        ++now.starts;
    if (block.lineCount > 0) {
        const GridBlock::Line& line = block.lines[static_cast<std::size_t>(block.lineCount - 1)];
        now.lineExact = static_cast<double>(block.frame + line.offset) + line.fraction;
        now.lineIndex = line.index;
        now.lineBeatInBar = line.beatInBar;
        now.beatFrames = line.beatFrames;
    }
    now.comingBeatFrames = block.running ? block.comingBeatFrames : 0.0;
    now.beatsPerBar = block.beatsPerBar;
    m_last = now;
    publish(now);
}

void MidiClockOut::publish(const Moment& moment)
{
    const std::uint64_t sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_frame.store(moment.frame, std::memory_order_relaxed);
    m_heardNanos.store(moment.heardNanos, std::memory_order_relaxed);
    m_rate.store(moment.rate, std::memory_order_relaxed);
    m_keepsTime.store(moment.keepsTime, std::memory_order_relaxed);
    m_startCount.store(moment.starts, std::memory_order_relaxed);
    m_lineExact.store(moment.lineExact, std::memory_order_relaxed);
    m_lineIndex.store(moment.lineIndex, std::memory_order_relaxed);
    m_lineBeatInBar.store(moment.lineBeatInBar, std::memory_order_relaxed);
    m_beatFrames.store(moment.beatFrames, std::memory_order_relaxed);
    m_comingBeatFrames.store(moment.comingBeatFrames, std::memory_order_relaxed);
    m_beatsPerBar.store(moment.beatsPerBar, std::memory_order_relaxed);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

bool MidiClockOut::moment(Moment& out) const
{
    for (;;) {
        const std::uint64_t before = m_sequence.load(std::memory_order_acquire);
        if (before == 0)
            return false;
        if (before % 2 != 0)
            continue; // the device's thread is writing: a few nanoseconds
        out.frame = m_frame.load(std::memory_order_relaxed);
        out.heardNanos = m_heardNanos.load(std::memory_order_relaxed);
        out.rate = m_rate.load(std::memory_order_relaxed);
        out.keepsTime = m_keepsTime.load(std::memory_order_relaxed);
        out.starts = m_startCount.load(std::memory_order_relaxed);
        out.lineExact = m_lineExact.load(std::memory_order_relaxed);
        out.lineIndex = m_lineIndex.load(std::memory_order_relaxed);
        out.lineBeatInBar = m_lineBeatInBar.load(std::memory_order_relaxed);
        out.beatFrames = m_beatFrames.load(std::memory_order_relaxed);
        out.comingBeatFrames = m_comingBeatFrames.load(std::memory_order_relaxed);
        out.beatsPerBar = m_beatsPerBar.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (m_sequence.load(std::memory_order_relaxed) == before)
            return true;
    }
}
