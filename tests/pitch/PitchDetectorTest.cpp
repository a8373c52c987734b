// SPDX-License-Identifier: GPL-3.0-or-later
#include "pitch/PitchDetector.h"
#include "pitch/PitchTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using pitch::PitchDetector;
using pitch::PitchReading;
using pitchtest::cents;

const std::vector<double> kRich{1.0, 0.5, 0.33, 0.25, 0.2, 0.15};
// A low E as a guitar pickup gives it: the octave above is far stronger than the fundamental.
const std::vector<double> kWeakFundamental{0.25, 1.0, 0.6, 0.4, 0.3, 0.2};

// The worst deviation over all readings from `from` seconds on; every one must have a pitch.
double worstCents(const std::vector<PitchReading>& readings, double expected, int rate, double from)
{
    double worst = 0.0;
    int counted = 0;
    for (const PitchReading& r : readings) {
        if (static_cast<double>(r.frame) / rate < from)
            continue;
        if (!r.hasPitch)
            return std::numeric_limits<double>::infinity();
        worst = std::max(worst, std::abs(cents(r.frequency, expected)));
        ++counted;
    }
    return counted > 0 ? worst : std::numeric_limits<double>::infinity();
}

int pitchedCount(const std::vector<PitchReading>& readings)
{
    return static_cast<int>(std::count_if(readings.begin(), readings.end(),
                                          [](const PitchReading& r) { return r.hasPitch; }));
}

// ---- Steady tones across the range and the supported rates: a tenth of a cent ----

struct ToneCase {
    int rate;
    double frequency;
};

class SteadyTone : public ::testing::TestWithParam<ToneCase> {};

TEST_P(SteadyTone, ReadsWithinATenthOfACent)
{
    const auto [rate, frequency] = GetParam();
    PitchDetector detector(rate);
    const auto readings =
        pitchtest::listen(detector, pitchtest::harmonicTone(frequency, kRich, 1.2, rate));
    EXPECT_LT(worstCents(readings, frequency, rate, 0.3), 0.1);
}

INSTANTIATE_TEST_SUITE_P(RangeAndRates, SteadyTone,
                         ::testing::Values(ToneCase{44100, 40.0}, ToneCase{44100, 82.41},
                                           ToneCase{44100, 329.63}, ToneCase{44100, 1500.0},
                                           ToneCase{48000, 41.2}, ToneCase{48000, 987.77},
                                           ToneCase{8000, 40.0}, ToneCase{8000, 1500.0},
                                           ToneCase{192000, 40.0}, ToneCase{192000, 1500.0},
                                           ToneCase{22050, 146.83}),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) + "Hz_" +
                                    std::to_string(static_cast<int>(info.param.frequency * 100));
                         });

// ---- Harder inputs: octave traps, DC, clipping, noise ----

TEST(DifficultInput, LowEWithAStrongerOctaveReadsItsFundamental)
{
    for (int rate : {44100, 48000}) {
        PitchDetector steady(rate);
        EXPECT_LT(worstCents(pitchtest::listen(steady, pitchtest::harmonicTone(
                                                           82.41, kWeakFundamental, 1.2, rate)),
                             82.41, rate, 0.1),
                  0.1)
            << rate;
        // Plucked, every reading from the first on stays on the fundamental (no 164.8 Hz).
        PitchDetector plucked(rate);
        const auto readings = pitchtest::listen(
            plucked, pitchtest::pluckedNote(82.41, kWeakFundamental, 0.2, 1.5, rate));
        EXPECT_LT(worstCents(readings, 82.41, rate, 0.3), 0.5) << rate;
        for (const PitchReading& r : readings) {
            if (r.hasPitch) {
                EXPECT_LT(std::abs(cents(r.frequency, 82.41)), 10.0) << r.frame;
            }
        }
    }
}

TEST(DifficultInput, DcOffsetAndHardClippingDoNotMoveTheReading)
{
    // Clipped asymmetrically around an offset: the wave is distorted but still repeats.
    auto tone = pitchtest::harmonicTone(110.0, kRich, 1.5, 44100);
    for (float& v : tone)
        v = std::clamp(0.9f * v + 0.4f, -0.6f, 0.6f);
    PitchDetector detector(44100);
    EXPECT_LT(worstCents(pitchtest::listen(detector, tone), 110.0, 44100, 0.4), 0.1);
}

TEST(DifficultInput, WhiteNoiseTenDecibelsDownStaysWithinOneCent)
{
    for (double frequency : {41.2, 82.41, 246.94, 1000.0}) {
        auto tone = pitchtest::harmonicTone(frequency, kRich, 2.5, 44100);
        pitchtest::addWhiteNoise(tone, 10.0, 11);
        PitchDetector detector(44100);
        EXPECT_LT(worstCents(pitchtest::listen(detector, tone), frequency, 44100, 0.7), 1.0)
            << frequency;
    }
}

TEST(DifficultInput, SilenceNoiseAndTonesOutsideTheRangeHaveNoPitch)
{
    const std::vector<std::vector<float>> nothing = {
        std::vector<float>(44100, 0.0f),
        pitchtest::whiteNoise(0.3, 1.0, 44100, 3),
        pitchtest::harmonicTone(2400.0, {1.0}, 1.0, 44100),
        pitchtest::harmonicTone(30.0, {1.0}, 1.0, 44100),
        pitchtest::harmonicTone(220.0, kRich, 1.0, 44100), // far below the silence level:
    };
    for (std::size_t i = 0; i < nothing.size(); ++i) {
        auto signal = nothing[i];
        if (i == 4)
            for (float& v : signal)
                v *= 1e-4f;
        PitchDetector detector(44100);
        EXPECT_EQ(pitchedCount(pitchtest::listen(detector, signal)), 0) << "signal " << i;
    }
}

TEST(DifficultInput, BrokenSamplesAreIgnoredAndTheToneIsReadAfterwards)
{
    auto tone = pitchtest::harmonicTone(196.0, kRich, 1.5, 48000);
    for (std::size_t i = 1000; i < 1100; ++i)
        tone[i] = i % 2 ? std::numeric_limits<float>::quiet_NaN()
                        : std::numeric_limits<float>::infinity();
    PitchDetector detector(48000);
    EXPECT_LT(worstCents(pitchtest::listen(detector, tone), 196.0, 48000, 0.5), 0.1);
}

// ---- The tuner's own reference sounds, A4 = 440 ----

struct ReferenceCase {
    const char* name;
    int midiNote;
};

class ReferenceSound : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceSound, ReadsWithinHalfACentThroughItsWholeRing)
{
    const auto [name, note] = GetParam();
    const double expected = 440.0 * std::exp2((note - 69) / 12.0);
    const auto sound = pitchtest::referenceSound(name);
    ASSERT_GT(sound.size(), 44100u) << name << " is not embedded";
    PitchDetector detector(44100);
    const auto readings = pitchtest::listen(detector, sound);
    // Read from the pluck to within 0.1 s of the end, and every reading in tune.
    double first = -1.0, last = -1.0;
    for (const PitchReading& r : readings) {
        if (!r.hasPitch)
            continue;
        const double t = r.frame / 44100.0;
        first = first < 0.0 ? t : first;
        last = t;
        EXPECT_LT(std::abs(cents(r.frequency, expected)), 0.5) << name << " at " << t << " s";
    }
    EXPECT_GE(first, 0.0);
    EXPECT_LT(first, 0.08);
    EXPECT_GT(last, static_cast<double>(sound.size()) / 44100.0 - 0.1);
}

INSTANTIATE_TEST_SUITE_P(StandardTuning, ReferenceSound,
                         ::testing::Values(ReferenceCase{"E", 40}, ReferenceCase{"A", 45},
                                           ReferenceCase{"D", 50}, ReferenceCase{"G", 55},
                                           ReferenceCase{"H", 59}, ReferenceCase{"E2", 64}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Streaming: how soon a pluck reads, and that block sizes do not matter ----

TEST(Streaming, FirstReadingAfterAPluckComesInTime)
{
    const struct {
        double frequency;
        double limitSeconds;
    } cases[] = {{82.41, 0.080}, {41.2, 0.150}};
    for (int rate : {44100, 48000})
        for (const auto& c : cases) {
            constexpr double kSilence = 0.3;
            PitchDetector detector(rate);
            const auto readings = pitchtest::listen(
                detector,
                pitchtest::pluckedNote(c.frequency, kWeakFundamental, kSilence, 1.0, rate), 1);
            const auto first = std::find_if(readings.begin(), readings.end(),
                                            [](const PitchReading& r) { return r.hasPitch; });
            ASSERT_NE(first, readings.end()) << c.frequency;
            const double delay = static_cast<double>(first->frame) / rate - kSilence;
            EXPECT_LE(delay, c.limitSeconds) << c.frequency << " Hz at " << rate;
            EXPECT_LT(std::abs(cents(first->frequency, c.frequency)), 5.0) << c.frequency;
        }
}

TEST(Streaming, BlockSizeDoesNotChangeTheReadings)
{
    const auto tone = pitchtest::pluckedNote(146.83, kRich, 0.1, 0.8, 44100);
    PitchDetector small(44100), large(44100);
    const auto bySample = pitchtest::listen(small, tone, 1);
    const auto byHop = pitchtest::listen(large, tone, static_cast<std::size_t>(large.hopFrames()));
    ASSERT_EQ(bySample.size(), byHop.size());
    ASSERT_GT(pitchedCount(bySample), 50);
    for (std::size_t i = 0; i < bySample.size(); ++i) {
        EXPECT_EQ(bySample[i].frame, byHop[i].frame);
        EXPECT_EQ(bySample[i].frequency, byHop[i].frequency) << i;
    }
}

TEST(Streaming, ResetForgetsTheLastNoteAndUnsupportedRatesStayQuiet)
{
    PitchDetector detector(44100);
    const auto tone = pitchtest::harmonicTone(220.0, kRich, 0.5, 44100);
    pitchtest::listen(detector, tone);
    ASSERT_TRUE(detector.reading().hasPitch);
    detector.reset();
    EXPECT_FALSE(detector.reading().hasPitch);
    EXPECT_EQ(detector.reading().frame, 0);
    const std::vector<float> silence(4410, 0.0f);
    pitchtest::listen(detector, silence);
    EXPECT_FALSE(detector.reading().hasPitch) << "the old note must not linger";

    for (int rate : {0, 4000, 384000}) {
        PitchDetector odd(rate);
        EXPECT_FALSE(odd.isRateSupported());
        EXPECT_EQ(pitchedCount(pitchtest::listen(odd, tone)), 0) << rate;
    }
}

} // namespace
