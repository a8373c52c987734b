// SPDX-License-Identifier: GPL-3.0-or-later
#include "Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

struct LoudnessMeter::State {
    struct Free {
        void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
    };
    std::unique_ptr<ebur128_state, Free> meter;
};

LoudnessMeter::LoudnessMeter(int rate) : m_state(std::make_unique<State>())
{
    if (rate > 0)
        m_state->meter.reset(ebur128_init(2, static_cast<unsigned long>(rate),
                                          EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
    m_failed = !m_state->meter;
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(const float* interleavedStereo, std::size_t frames)
{
    if (m_failed || interleavedStereo == nullptr)
        return;
    // In slices, so that the library's own buffers stay small whatever the piece's length.
    constexpr std::size_t kSlice = 65536;
    for (std::size_t done = 0; done < frames && !m_failed; done += kSlice) {
        const std::size_t count = std::min(kSlice, frames - done);
        m_failed = ebur128_add_frames_float(m_state->meter.get(), interleavedStereo + done * 2,
                                            count) != EBUR128_SUCCESS;
    }
}

std::optional<Loudness> LoudnessMeter::result() const
{
    if (m_failed)
        return std::nullopt;
    double lufs = 0.0;
    if (ebur128_loudness_global(m_state->meter.get(), &lufs) != EBUR128_SUCCESS ||
        !std::isfinite(lufs))
        return std::nullopt;
    double peak = 0.0;
    for (unsigned int channel = 0; channel < 2; ++channel) {
        double channelPeak = 0.0;
        if (ebur128_true_peak(m_state->meter.get(), channel, &channelPeak) != EBUR128_SUCCESS)
            return std::nullopt;
        peak = std::max(peak, channelPeak);
    }
    Loudness loudness;
    loudness.integratedLufs = lufs;
    loudness.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return loudness;
}

std::optional<Loudness> MeasureLoudness(const float* interleavedStereo, std::size_t frames,
                                        int rate)
{
    if (interleavedStereo == nullptr || frames == 0)
        return std::nullopt;
    LoudnessMeter meter(rate);
    meter.add(interleavedStereo, frames);
    return meter.result();
}

double LoudnessMatchGainDb(const Loudness& sound, double targetLufs, double ceilingDbtp)
{
    const double toTarget = targetLufs - sound.integratedLufs;
    const double toCeiling = ceilingDbtp - sound.truePeakDbtp;
    return std::min(toTarget, toCeiling);
}
