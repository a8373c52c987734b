// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/sounds/Loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 48000;

// A stereo sine, both sides alike, peaking at `peakDbfs`.
std::vector<float> Sine(double hz, double peakDbfs, double seconds, double phase = 0.0)
{
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    const double amplitude = std::pow(10.0, peakDbfs / 20.0);
    std::vector<float> sound(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto value = static_cast<float>(
            amplitude * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / kRate + phase));
        sound[2 * i] = sound[2 * i + 1] = value;
    }
    return sound;
}

std::optional<Loudness> Measure(const std::vector<float>& sound)
{
    return MeasureLoudness(sound.data(), sound.size() / 2, kRate);
}

} // namespace

TEST(Loudness, ASineReadsAsTheBroadcastersReferenceAndItsPeaksBetweenTheSamples)
{
    // The meters' reference: a 1 kHz sine at -23 dBFS on both sides is -23 LUFS.
    const auto reference = Measure(Sine(1000.0, -23.0, 10.0));
    ASSERT_TRUE(reference);
    EXPECT_NEAR(reference->integratedLufs, -23.0, 0.1);
    EXPECT_NEAR(reference->truePeakDbtp, -23.0, 0.2);

    // At a quarter of the rate, 45 degrees off, every sample sits 3 dB under the wave's crest:
    // the true peak is the crest, not the highest sample.
    const auto between = Measure(Sine(kRate / 4.0, -6.0, 2.0, M_PI / 4.0));
    ASSERT_TRUE(between);
    EXPECT_NEAR(between->truePeakDbtp, -6.0, 0.6);
    EXPECT_GT(between->truePeakDbtp, -8.5);
}

TEST(Loudness, SilenceAndASoundShorterThanABlockHaveNoLoudness)
{
    EXPECT_FALSE(Measure(std::vector<float>(kRate * 2 * 3, 0.0f)));
    EXPECT_FALSE(Measure(Sine(1000.0, -10.0, 0.1)));
    EXPECT_FALSE(MeasureLoudness(nullptr, 100, kRate));
}

TEST(Loudness, MatchingBringsQuietAndLoudSoundsToTheTargetUnlessTheirPeaksForbidIt)
{
    for (const double level : {-40.0, -23.0, -8.0}) {
        std::vector<float> sound = Sine(440.0, level, 5.0);
        const auto before = Measure(sound);
        ASSERT_TRUE(before);
        const double gainDb = LoudnessMatchGainDb(*before);
        const auto gain = static_cast<float>(std::pow(10.0, gainDb / 20.0));
        for (float& sample : sound)
            sample *= gain;
        const auto after = Measure(sound);
        ASSERT_TRUE(after);
        EXPECT_NEAR(after->integratedLufs, -16.0, 0.5) << "from a peak of " << level << " dBFS";
        EXPECT_LE(after->truePeakDbtp, -1.0 + 0.05);
    }

    // A sound whose peaks stand far above its body stops at the ceiling, short of the target.
    const Loudness peaky{-30.0, -3.0};
    EXPECT_DOUBLE_EQ(LoudnessMatchGainDb(peaky), 2.0);
    EXPECT_DOUBLE_EQ(LoudnessMatchGainDb({-10.0, -0.5}), -6.0);
    EXPECT_DOUBLE_EQ(LoudnessMatchGainDb({-20.0, -12.0}, -14.0, -2.0), 6.0);
}
