// SPDX-License-Identifier: GPL-3.0-or-later
#include "BeatGrid.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kFixedOne = 4294967296.0; // 2^32
constexpr std::uint64_t kFractionMask = 0xffffffffu;
} // namespace

std::uint64_t BeatGrid::toFixed(double beatFrames)
{
    if (!(beatFrames >= 1.0)) // also NaN: a beat of less than a frame makes no grid
        return 0;
    return static_cast<std::uint64_t>(std::llround(std::min(beatFrames, kLongestBeat) * kFixedOne));
}

int BeatGrid::clampBeats(int beatsPerBar)
{
    return std::clamp(beatsPerBar, 1, kMaxBeatsPerBar);
}

void BeatGrid::start(std::int64_t frame, double beatFrames, int beatsPerBar, std::uint32_t fraction,
                     int beat)
{
    m_beatFixed = toFixed(beatFrames);
    m_beatsPerBar = clampBeats(beatsPerBar);
    m_pendingFixed = 0;
    m_frame = frame;
    m_fraction = fraction;
    m_beat = std::clamp(beat, 0, m_beatsPerBar - 1);
    m_lines = m_beat; // lines are counted from the bar the grid starts in
}

void BeatGrid::stop()
{
    m_beatFixed = 0;
    m_pendingFixed = 0;
}

double BeatGrid::beatFrames() const
{
    return static_cast<double>(m_beatFixed) / kFixedOne;
}

void BeatGrid::changeAtNextBar(double beatFrames, int beatsPerBar)
{
    const std::uint64_t fixed = toFixed(beatFrames);
    if (fixed == 0)
        return;
    m_pendingFixed = fixed;
    m_pendingBeatsPerBar = clampBeats(beatsPerBar);
    if (m_pendingFixed == m_beatFixed && m_pendingBeatsPerBar == m_beatsPerBar)
        m_pendingFixed = 0; // what is asked for already holds
}

double BeatGrid::comingBeatFrames() const
{
    return static_cast<double>(m_pendingFixed ? m_pendingFixed : m_beatFixed) / kFixedOne;
}

int BeatGrid::comingBeatsPerBar() const
{
    return m_pendingFixed ? m_pendingBeatsPerBar : m_beatsPerBar;
}

std::int64_t BeatGrid::lineAfter(int lines, std::uint32_t* fraction) const
{
    // At most a bar of lines at once: lines * m_beatFixed stays far inside 64 bits.
    const std::uint64_t exact = m_fraction + static_cast<std::uint64_t>(lines) * m_beatFixed;
    if (fraction)
        *fraction = static_cast<std::uint32_t>(exact & kFractionMask);
    return m_frame + static_cast<std::int64_t>(exact >> 32);
}

std::int64_t BeatGrid::nextBar() const
{
    return lineAfter((m_beatsPerBar - m_beat) % m_beatsPerBar);
}

void BeatGrid::pass()
{
    if (!running())
        return;
    if (m_beat == 0 && m_pendingFixed != 0) {
        m_beatFixed = m_pendingFixed;
        m_beatsPerBar = m_pendingBeatsPerBar;
        m_pendingFixed = 0;
    }
    const std::uint64_t exact = m_fraction + m_beatFixed;
    m_frame += static_cast<std::int64_t>(exact >> 32);
    m_fraction = static_cast<std::uint32_t>(exact & kFractionMask);
    m_beat = (m_beat + 1) % m_beatsPerBar;
    ++m_lines;
}

void BeatGrid::passBefore(std::int64_t frame)
{
    while (running() && m_frame < frame)
        pass();
}
