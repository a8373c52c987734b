// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoDetect.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// The tracker places beats a whole number of hops apart: hops of 3 ms keep its tempo within a few
// tenths of a percent (whole hops of 12 ms would miss whole bars by 2 % at 140 BPM).
constexpr uint_t kWindow = 1024;
constexpr uint_t kHop = 128;
// The tracker needs several seconds of beats before it locks on; a shorter loop is heard over
// and over until this much has passed, as when it plays.
constexpr double kLeastListenSeconds = 24.0;
constexpr int kLeastPasses = 3;
// Beats in the first seconds come before the tracker has settled; they are not counted.
constexpr double kSettleSeconds = 6.0;
// Past this much, a long file's tempo is known; the rest need not be heard.
constexpr double kMostListenSeconds = 120.0;

struct TempoDeleter {
    void operator()(aubio_tempo_t* tempo) const { del_aubio_tempo(tempo); }
};
struct VectorDeleter {
    void operator()(fvec_t* vector) const { del_fvec(vector); }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// The beat period the intervals agree on: the median, then the mean of the intervals within
// 10 % of it (a missed or doubled beat lies far outside and is left out).
std::optional<double> beatPeriod(const std::vector<double>& beats)
{
    std::vector<double> intervals;
    for (std::size_t i = 1; i < beats.size(); ++i)
        intervals.push_back(beats[i] - beats[i - 1]);
    if (intervals.size() < 3)
        return std::nullopt;
    const double middle = median(intervals);
    double sum = 0.0;
    int count = 0;
    for (const double interval : intervals)
        if (std::abs(interval - middle) <= 0.1 * middle) {
            sum += interval;
            ++count;
        }
    // Beats all over the place are no tempo.
    if (count * 2 < static_cast<int>(intervals.size()))
        return std::nullopt;
    return sum / count;
}

} // namespace

std::optional<double> DetectBpm(const float* interleavedStereo, std::size_t frames, int rate)
{
    if (interleavedStereo == nullptr || rate < 8000 || rate > 384000 || frames < kWindow)
        return std::nullopt;
    const double seconds = static_cast<double>(frames) / rate;
    int passes = std::max(kLeastPasses, static_cast<int>(std::ceil(kLeastListenSeconds / seconds)));
    const std::size_t mostFrames = static_cast<std::size_t>(kMostListenSeconds * rate);
    const std::size_t totalFrames =
        std::min(mostFrames, frames * static_cast<std::size_t>(std::max(passes, 1)));

    std::unique_ptr<aubio_tempo_t, TempoDeleter> tracker(
        new_aubio_tempo("default", kWindow, kHop, static_cast<uint_t>(rate)));
    std::unique_ptr<fvec_t, VectorDeleter> hop(new_fvec(kHop));
    std::unique_ptr<fvec_t, VectorDeleter> beat(new_fvec(1));
    if (!tracker || !hop || !beat)
        return std::nullopt;

    std::vector<double> beats;
    double heard = 0.0; // the loudest sample: silence has no tempo
    std::size_t position = 0;
    for (std::size_t done = 0; done + kHop <= totalFrames; done += kHop) {
        for (uint_t i = 0; i < kHop; ++i) {
            const float left = interleavedStereo[2 * position];
            const float right = interleavedStereo[2 * position + 1];
            float mono = 0.5f * (left + right);
            if (!std::isfinite(mono))
                mono = 0.0f;
            mono = std::clamp(mono, -1.0f, 1.0f);
            heard = std::max(heard, static_cast<double>(std::abs(mono)));
            hop->data[i] = mono;
            if (++position == frames)
                position = 0;
        }
        aubio_tempo_do(tracker.get(), hop.get(), beat.get());
        if (beat->data[0] != 0.0f) {
            const double at = aubio_tempo_get_last_s(tracker.get());
            if (at >= kSettleSeconds || totalFrames < 2 * kSettleSeconds * rate)
                beats.push_back(at);
        }
    }
    if (heard < 1e-4) // below -80 dBFS
        return std::nullopt;

    if (const std::optional<double> period = beatPeriod(beats); period && *period > 0.0)
        return 60.0 / *period;
    const double bpm = aubio_tempo_get_bpm(tracker.get());
    if (std::isfinite(bpm) && bpm > 0.0)
        return bpm;
    return std::nullopt;
}

std::optional<LoopTempo> AnalyseLoop(const float* interleavedStereo, std::size_t frames, int rate)
{
    const std::optional<double> bpm = DetectBpm(interleavedStereo, frames, rate);
    if (!bpm || rate <= 0)
        return std::nullopt;
    return FitLoopTempo(*bpm, static_cast<double>(frames) / rate);
}
