// SPDX-License-Identifier: GPL-3.0-or-later
#include "Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct StateFree {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

} // namespace

std::optional<Loudness> MeasureLoudness(const float* interleavedStereo, std::size_t frames,
                                        int rate)
{
    if (interleavedStereo == nullptr || frames == 0 || rate <= 0)
        return std::nullopt;
    std::unique_ptr<ebur128_state, StateFree> state(
        ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
    if (!state)
        return std::nullopt;
    // In slices, so that the library's own buffers stay small whatever the sound's length.
    constexpr std::size_t kSlice = 65536;
    for (std::size_t done = 0; done < frames; done += kSlice) {
        const std::size_t count = std::min(kSlice, frames - done);
        if (ebur128_add_frames_float(state.get(), interleavedStereo + done * 2, count) !=
            EBUR128_SUCCESS)
            return std::nullopt;
    }
    double lufs = 0.0;
    if (ebur128_loudness_global(state.get(), &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
        return std::nullopt;
    double peak = 0.0;
    for (unsigned int channel = 0; channel < 2; ++channel) {
        double channelPeak = 0.0;
        if (ebur128_true_peak(state.get(), channel, &channelPeak) != EBUR128_SUCCESS)
            return std::nullopt;
        peak = std::max(peak, channelPeak);
    }
    Loudness loudness;
    loudness.integratedLufs = lufs;
    loudness.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return loudness;
}

double LoudnessMatchGainDb(const Loudness& sound, double targetLufs, double ceilingDbtp)
{
    const double toTarget = targetLufs - sound.integratedLufs;
    const double toCeiling = ceilingDbtp - sound.truePeakDbtp;
    return std::min(toTarget, toCeiling);
}
