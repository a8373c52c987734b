// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackTransportShare.h"

#include <algorithm>
#include <cmath>

void JackTransportShare::noteTransport(bool rolling, double bpm)
{
    m_rolling.store(rolling, std::memory_order_relaxed);
    m_bpm.store(std::isfinite(bpm) && bpm > 0.0 ? bpm : 0.0, std::memory_order_relaxed);
    m_heard.store(true, std::memory_order_release);
}

void JackTransportShare::noteGrid(const GridBlock& block, int rate)
{
    m_keepsTime.store(block.keepsTime, std::memory_order_relaxed);
    m_running = block.running && block.keepsTime;
    m_rate = rate;
    if (!m_running)
        return;
    // From the last line the block reached (or the block's start) to the block's end.
    double position = block.beatPosition;
    double beat = block.beatFrames;
    double from = 0.0;
    if (block.lineCount > 0) {
        const GridBlock::Line& line = block.lines[static_cast<std::size_t>(block.lineCount - 1)];
        position = static_cast<double>(line.index);
        beat = line.beatFrames;
        from = line.offset + line.fraction;
    }
    m_beatFrames = beat;
    m_beatPosition = beat > 0.0 ? position + (block.frames - from) / beat : position;
    m_beatsPerBar = block.beatsPerBar;
}

JackTransportShare::Place JackTransportShare::place() const
{
    Place place;
    if (!m_running || !(m_beatFrames > 0.0) || m_rate <= 0)
        return place;
    const double beats = std::max(m_beatPosition, 0.0);
    const auto whole = static_cast<std::int64_t>(std::floor(beats));
    place.valid = true;
    place.beatsPerBar = m_beatsPerBar;
    place.bar = static_cast<std::int32_t>(whole / m_beatsPerBar + 1);
    place.beat = static_cast<std::int32_t>(whole % m_beatsPerBar + 1);
    place.tick = static_cast<std::int32_t>((beats - static_cast<double>(whole)) * kTicksPerBeat);
    place.barStartTick = static_cast<double>(place.bar - 1) * m_beatsPerBar * kTicksPerBeat;
    place.bpm = 60.0 * m_rate / m_beatFrames;
    return place;
}
