// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClockFollower.h"

#include <algorithm>
#include <cmath>

void ClockFollower::clock(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    if (m_count > 0) {
        const double last = m_times[(m_count - 1) % kWindow];
        const double gap = seconds - last;
        bool fresh = gap <= 0.0 || gap > kPauseSeconds;
        if (!fresh && m_count >= static_cast<std::size_t>(kClocksPerBeat)) {
            // Off the line by more than jitter: a third of a clock, and never less than 6 ms.
            const Line line = fit();
            const double off = std::abs(seconds - line.next);
            fresh = off > std::max(kJump * line.perClock, kJitterSeconds);
        }
        if (fresh)
            m_count = 0;
    }
    m_times[m_count % kWindow] = seconds;
    ++m_count;
}

void ClockFollower::restart()
{
    m_count = 0;
}

ClockFollower::Line ClockFollower::fit() const
{
    // Least squares over the clocks in the ring, numbered in the order they came.
    const std::size_t n = std::min(m_count, kWindow);
    const std::size_t first = m_count - n;
    const double meanIndex = (static_cast<double>(n) - 1.0) / 2.0;
    double meanTime = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        meanTime += m_times[(first + i) % kWindow];
    meanTime /= static_cast<double>(n);
    double covariance = 0.0;
    double variance = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double di = static_cast<double>(i) - meanIndex;
        covariance += di * (m_times[(first + i) % kWindow] - meanTime);
        variance += di * di;
    }
    Line line;
    line.perClock = variance > 0.0 ? covariance / variance : 0.0;
    line.next = meanTime + line.perClock * (static_cast<double>(n) - meanIndex);
    return line;
}

std::optional<double> ClockFollower::bpm() const
{
    if (m_count < static_cast<std::size_t>(kClocksPerBeat))
        return std::nullopt;
    const double perClock = fit().perClock;
    if (!(perClock > 0.0))
        return std::nullopt;
    return 60.0 / (perClock * kClocksPerBeat);
}
