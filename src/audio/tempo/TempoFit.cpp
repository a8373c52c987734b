// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoFit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kLowestBpm = 70.0;
constexpr double kHighestBpm = 180.0;
constexpr double kFallbackLowest = 50.0;
constexpr double kFallbackHighest = 250.0;
constexpr double kBarTolerance = 0.01;
constexpr double kSecondsPerBarAtOneBpm = 240.0; // four beats

// How far two tempi lie apart, in octaves.
double octaves(double a, double b)
{
    return std::abs(std::log2(a / b));
}

double foldIntoRange(double bpm)
{
    while (bpm < kLowestBpm)
        bpm *= 2.0;
    while (bpm > kHighestBpm)
        bpm /= 2.0;
    return bpm;
}

} // namespace

LoopTempo TempoForBars(int bars, double loopSeconds)
{
    LoopTempo tempo;
    tempo.bars = bars;
    if (bars > 0 && loopSeconds > 0.0)
        tempo.bpm = bars * kSecondsPerBarAtOneBpm / loopSeconds;
    return tempo;
}

int BarsAtTempo(double bpm, double loopSeconds)
{
    const double bars = loopSeconds * bpm / kSecondsPerBarAtOneBpm;
    if (!std::isfinite(bars) || bars < 1.5)
        return 1;
    if (bars > 1e6)
        return 1'000'000;
    return static_cast<int>(std::lround(bars));
}

std::optional<LoopTempo> FitLoopTempo(double detectedBpm, double loopSeconds)
{
    // A tracker never hears 10 BPM or 1000; a loop over an hour long is not a loop.
    if (!std::isfinite(detectedBpm) || !std::isfinite(loopSeconds) || detectedBpm < 10.0 ||
        detectedBpm > 1000.0 || loopSeconds <= 0.0 || loopSeconds > 3600.0)
        return std::nullopt;

    // The detected tempo's own octaves come first, then those of its two- and three-thirds
    // readings; within each, the fewest octaves from the reading, then the nearest to the
    // detected tempo.
    std::optional<LoopTempo> best;
    double bestScore = 0.0;
    for (const double reading : {1.0, 2.0 / 3.0, 3.0 / 2.0}) {
        const double heard = detectedBpm * reading;
        double bpm = heard;
        while (bpm / 2.0 >= kLowestBpm)
            bpm /= 2.0;
        for (; bpm <= kHighestBpm; bpm *= 2.0) {
            if (bpm < kLowestBpm)
                continue;
            const double exactBars = loopSeconds * bpm / kSecondsPerBarAtOneBpm;
            const double bars = std::round(exactBars);
            if (bars < 1.0 || std::abs(exactBars - bars) > kBarTolerance * bars)
                continue;
            const double score = (reading == 1.0 ? 0.0 : 100.0) +
                                 std::round(octaves(bpm, heard)) * 10.0 + octaves(bpm, detectedBpm);
            if (!best || score < bestScore) {
                best = TempoForBars(static_cast<int>(bars), loopSeconds);
                bestScore = score;
            }
        }
    }
    if (best)
        return best;

    const LoopTempo fallback =
        TempoForBars(BarsAtTempo(foldIntoRange(detectedBpm), loopSeconds), loopSeconds);
    if (fallback.bpm < kFallbackLowest || fallback.bpm > kFallbackHighest)
        return std::nullopt;
    return fallback;
}

void TapTempo::tap(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    // A tap back in time or after a long pause begins a new count.
    if (!m_taps.empty() &&
        (seconds <= m_taps.back() || seconds - m_taps.back() > kRestartGapSeconds))
        m_taps.clear();
    m_taps.push_back(seconds);
    while (m_taps.size() > kTapsKept)
        m_taps.pop_front();
}

std::optional<double> TapTempo::bpm() const
{
    if (m_taps.size() < 2)
        return std::nullopt;
    std::vector<double> intervals;
    intervals.reserve(m_taps.size() - 1);
    for (std::size_t i = 1; i < m_taps.size(); ++i)
        intervals.push_back(m_taps[i] - m_taps[i - 1]);
    std::sort(intervals.begin(), intervals.end());
    const std::size_t middle = intervals.size() / 2;
    const double median = intervals.size() % 2 == 1
                              ? intervals[middle]
                              : (intervals[middle - 1] + intervals[middle]) / 2.0;
    return 60.0 / median;
}

void TapTempo::reset()
{
    m_taps.clear();
}
