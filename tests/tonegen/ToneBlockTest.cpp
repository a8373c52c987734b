// SPDX-License-Identifier: GPL-3.0-or-later
#include "tonegen/ToneBlock.h"
#include "tonegen/ToneScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

TEST(ToneScale, FollowsTheCurveFromOneHertzToHalfTheSampleRate)
{
    struct Case {
        int position;
        int frequency;
    };
    // 25 gives 21 only with the single-precision factor (22.049 in double gives 21 as well, but
    // 671 would give 10961).
    for (const Case c :
         {Case{1, 1}, Case{25, 21}, Case{185, 1000}, Case{671, 10960}, Case{1000, 22050}})
        EXPECT_EQ(ToneScale::ScaleToFrequency(c.position), c.frequency) << c.position;
}

TEST(ToneScale, RisesOverTheMarkersTravelAndNeverGivesNonsense)
{
    int previous = ToneScale::ScaleToFrequency(1);
    for (int p = 2; p <= 1000; ++p) {
        const int frequency = ToneScale::ScaleToFrequency(p);
        EXPECT_GE(frequency, previous) << p;
        previous = frequency;
    }
    EXPECT_EQ(ToneScale::ScaleToFrequency(0), 1);
    EXPECT_EQ(ToneScale::ScaleToFrequency(-1000), 0); // log of 0: off the curve
}

TEST(ToneBlock, LengthIsTheShortestWholeNumberOfPeriodsFromFourThousandNinetySixSamples)
{
    struct Case {
        int frequency;
        int length;
    };
    // 1000 Hz: 441 samples hold 10 periods, so 10 x 441; 997 Hz shares no factor with 44100 and
    // needs the whole second; 22050 Hz repeats every 2 samples.
    for (const Case c : {Case{1, 44100}, Case{20, 4410}, Case{50, 4410}, Case{100, 4410},
                         Case{250, 4410}, Case{500, 4410}, Case{997, 44100}, Case{1000, 4410},
                         Case{10960, 4410}, Case{20000, 4410}, Case{22050, 4096}})
        EXPECT_EQ(ToneBlock::Length(c.frequency), c.length) << c.frequency;
}

TEST(ToneBlock, EveryWholeFrequencyToHalfTheSampleRateLoopsWithoutASeam)
{
    for (int frequency = 1; frequency <= 22050; ++frequency) {
        const long long length = ToneBlock::Length(frequency);
        const long long seamless = ToneBlock::SeamlessLength(frequency);
        // Whole periods: the sample after the last is the first again.
        ASSERT_EQ(length * frequency % 44100, 0) << frequency;
        ASSERT_EQ(seamless * frequency % 44100, 0) << frequency;
        ASSERT_EQ(length % seamless, 0) << frequency;
        // Shortest: one seamless length less would fall below 4096 (or to nothing).
        ASSERT_TRUE(length >= 4096 || length == seamless) << frequency;
        ASSERT_LT(length - seamless, 4096) << frequency;
        ASSERT_LE(length, 44100) << frequency;
    }
}

TEST(ToneBlock, FrequenciesThatMakeNoBlockGiveAnEmptyOne)
{
    std::vector<std::uint8_t> block(10, 7);
    for (const int frequency : {0, -440, 88201, 100000}) {
        EXPECT_EQ(ToneBlock::Length(frequency), 0) << frequency;
        ToneBlock::Fill(block, frequency, 1.0f, 1.0f);
        EXPECT_TRUE(block.empty()) << frequency;
    }
    EXPECT_GT(ToneBlock::Length(88200), 0); // still half a sample per period
}

// The sine as the formula states it, one call per sample, to hold the fast block against.
std::uint8_t formulaByte(int i, int frequency, float volume, float amplitude)
{
    constexpr double pi = 3.14159265358979;
    const auto v = static_cast<float>(std::sin(2.0 * i * pi / 44100.0 * frequency));
    const float level = v * amplitude * volume;
    return static_cast<std::uint8_t>(std::nearbyint((level + 1.0f) * 127.5));
}

TEST(ToneBlock, EveryByteAtEveryLevelMatchesTheFormula)
{
    std::set<int> frequencies = {20, 50, 80, 100, 250, 500, 1000, 22050, 44100, 30000, 7};
    for (int p = 1; p <= 1000; p += 17)
        frequencies.insert(ToneScale::ScaleToFrequency(p));
    std::vector<std::uint8_t> block;
    for (const float volume : {0.0f, 0.812f, 1.0f}) {
        for (const int frequency : frequencies) {
            ToneBlock::Fill(block, frequency, volume, 1.0f);
            for (std::size_t i = 0; i < block.size(); ++i)
                ASSERT_EQ(block[i], formulaByte(static_cast<int>(i), frequency, volume, 1.0f))
                    << frequency << " Hz at " << volume << ", byte " << i;
        }
    }
}

TEST(ToneBlock, RefillingKeepsTheStorageAndTakesTheNewLength)
{
    std::vector<std::uint8_t> block;
    ToneBlock::Fill(block, 250, 0.8f, 1.0f);
    const std::vector<std::uint8_t> at250 = block;
    const std::uint8_t* storage = block.data();
    ToneBlock::Fill(block, 500, 0.8f, 1.0f);
    EXPECT_EQ(block.data(), storage);
    EXPECT_EQ(block.size(), at250.size());
    EXPECT_NE(block, at250);
    ToneBlock::Fill(block, 997, 0.8f, 1.0f);
    EXPECT_EQ(block.size(), 44100u);
}

} // namespace
