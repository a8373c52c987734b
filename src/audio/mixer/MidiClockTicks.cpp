// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiClockTicks.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::uint8_t kClock = 0xF8;
constexpr std::uint8_t kStart = 0xFA;
constexpr std::uint8_t kContinue = 0xFB;
// A Song Position counts sixteenths (six clocks) in 14 bits.
constexpr std::int64_t kSixteenthsPerBeat = 4;
constexpr std::int64_t kLastSongPosition = 16383;
constexpr std::uint8_t kStop = 0xFC;
constexpr std::uint8_t kSongPosition = 0xF2;
} // namespace

void MidiClockTicks::add(int offset, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                         std::uint8_t size)
{
    if (m_count >= kMaxEvents)
        return;
    Event& event = m_events[static_cast<std::size_t>(m_count++)];
    event.offset = offset;
    event.bytes = {status, data1, data2};
    event.size = size;
}

void MidiClockTicks::clocksBefore(double end, std::int64_t blockFrame, int frames)
{
    // The clocks from the last line seen up to the frame `end` (exclusive, on the mixer's clock).
    if (!m_running || !m_anchored)
        return;
    const double perClock = m_line.beatFrames / kClocksPerBeat;
    for (;;) {
        // A clock on the line takes the line's frame; the others the floor of their time, where
        // a time that is a whole frame stays on it, not a rounding error before.
        const std::int64_t step = m_nextClock - m_line.index * kClocksPerBeat;
        const double at =
            step == 0 ? std::floor(m_line.exact)
                      : std::floor(m_line.exact + static_cast<double>(step) * perClock + 1e-6);
        if (at >= end)
            return;
        const auto offset = static_cast<std::int64_t>(at) - blockFrame;
        add(static_cast<int>(std::clamp<std::int64_t>(offset, 0, std::max(frames - 1, 0))), kClock);
        ++m_nextClock;
    }
}

void MidiClockTicks::reset()
{
    m_count = 0;
    m_running = false;
    m_anchored = false;
    m_nextClock = 0;
}

void MidiClockTicks::follow(const GridBlock& block)
{
    m_count = 0;
    const auto blockFrame = block.frame;
    const auto absolute = [&](int offset) { return static_cast<double>(blockFrame + offset); };
    if (block.stoppedAt >= 0 && m_running) {
        clocksBefore(absolute(block.stoppedAt), blockFrame, block.frames);
        add(block.stoppedAt, kStop);
        m_running = false;
    }
    int line = 0;
    if (block.startedAt >= 0 && block.keepsTime) {
        // The lines before the start belong to the grid that ran before it.
        for (; line < block.lineCount &&
               block.lines[static_cast<std::size_t>(line)].offset < block.startedAt;
             ++line)
            ;
        if (m_running) {
            clocksBefore(absolute(block.startedAt), blockFrame, block.frames);
            add(block.startedAt, kStop);
        }
        add(block.startedAt, kSongPosition, 0, 0, 3);
        add(block.startedAt, kStart);
        m_running = true;
        m_anchored = false;
        m_nextClock = 0;
    }
    for (; line < block.lineCount; ++line) {
        const GridBlock::Line& reached = block.lines[static_cast<std::size_t>(line)];
        const double exact = absolute(reached.offset) + reached.fraction;
        if (!m_running && block.keepsTime && block.stoppedAt < 0) {
            // Switched on while the grid keeps time: in from this line on.
            const auto position =
                std::clamp<std::int64_t>(reached.index * kSixteenthsPerBeat, 0, kLastSongPosition);
            add(reached.offset, kSongPosition, static_cast<std::uint8_t>(position & 0x7F),
                static_cast<std::uint8_t>(position >> 7), 3);
            add(reached.offset, kContinue);
            m_running = true;
            m_nextClock = reached.index * kClocksPerBeat;
        }
        clocksBefore(absolute(reached.offset), blockFrame, block.frames);
        m_line = {exact, reached.index, reached.beatFrames};
        m_anchored = true;
        // A clock owed from before this line (a block too full) is not sent late.
        m_nextClock = std::max(m_nextClock, reached.index * kClocksPerBeat);
    }
    clocksBefore(absolute(block.frames), blockFrame, block.frames);
}
