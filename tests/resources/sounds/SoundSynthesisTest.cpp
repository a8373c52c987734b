// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/sounds/PitchMeasurement.h"

#include "sounds/Fft.h"
#include "sounds/NoiseGenerator.h"
#include "sounds/PluckedString.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

TEST(Fft, MatchesTheDefinitionAndInvertsExactly)
{
    constexpr std::size_t n = 64;
    sounds::NoiseGenerator noise(3);
    std::vector<std::complex<double>> x(n);
    for (auto& value : x)
        value = {noise.bipolar(), noise.bipolar()};

    std::vector<std::complex<double>> transformed = x;
    sounds::fft(transformed);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> expected = 0.0;
        for (std::size_t t = 0; t < n; ++t)
            expected += x[t] * std::polar(1.0, -2.0 * std::numbers::pi * k * t / n);
        EXPECT_NEAR(std::abs(transformed[k] - expected), 0.0, 1e-12) << "bin " << k;
    }

    sounds::fft(transformed, true);
    for (std::size_t t = 0; t < n; ++t)
        EXPECT_NEAR(std::abs(transformed[t] - x[t]), 0.0, 1e-14);
}

TEST(Fft, RefusesLengthsThatAreNotAPowerOfTwo)
{
    std::vector<std::complex<double>> data(48);
    EXPECT_THROW(sounds::fft(data), std::invalid_argument);
    std::vector<std::complex<double>> empty;
    EXPECT_THROW(sounds::fft(empty), std::invalid_argument);
}

TEST(NoiseGenerator, SameSeedSameSequenceAndUniformInRange)
{
    sounds::NoiseGenerator a(42), b(42), c(43);
    bool differs = false;
    double sum = 0.0;
    for (int i = 0; i < 10000; ++i) {
        const double value = a.uniform();
        ASSERT_EQ(value, b.uniform());
        ASSERT_GE(value, 0.0);
        ASSERT_LT(value, 1.0);
        differs |= value != c.uniform();
        sum += value;
    }
    EXPECT_TRUE(differs);
    EXPECT_NEAR(sum / 10000, 0.5, 0.01);
}

// The allpass closed form hits the asked phase delay over the whole range the loop uses.
TEST(PluckedString, AllpassCoefficientGivesTheAskedPhaseDelay)
{
    for (double delay : {0.618, 0.9, 1.0, 1.3, 1.617})
        for (double hz : {82.4, 330.0, 1000.0, 4000.0}) {
            const double omega = 2.0 * std::numbers::pi * hz / 44100.0;
            const double c = sounds::allpassCoefficientFor(delay, omega);
            EXPECT_LT(std::abs(c), 1.0);
            EXPECT_NEAR(sounds::allpassPhaseDelay(c, omega), delay, 1e-9) << delay << " " << hz;
        }
}

// Tuning holds off the guitar's six pitches too: between, above and below them.
class PluckedStringTuning : public ::testing::TestWithParam<double> {};

TEST_P(PluckedStringTuning, SoundsAtItsFrequency)
{
    const double frequency = GetParam();
    sounds::PluckParameters parameters;
    parameters.frequency = frequency;
    sounds::PluckedString string(parameters);
    const std::vector<double> x = string.render(44100);
    const double measured =
        measureFundamental(x, 44100.0, frequency * 0.97, frequency * 1.03, 2205, 13230, 16384);
    EXPECT_NEAR(centsBetween(measured, frequency), 0.0, 0.05);
}

INSTANTIATE_TEST_SUITE_P(AcrossTheRange, PluckedStringTuning,
                         ::testing::Values(41.2, 65.0, 123.4708, 207.6523, 440.0, 1000.0, 1760.0));

TEST(PluckedString, RefusesFrequenciesItCannotTune)
{
    sounds::PluckParameters parameters;
    parameters.frequency = 5.0;
    EXPECT_THROW(sounds::PluckedString{parameters}, std::invalid_argument);
    parameters.frequency = 20000.0;
    EXPECT_THROW(sounds::PluckedString{parameters}, std::invalid_argument);
    parameters.frequency = std::nan("");
    EXPECT_THROW(sounds::PluckedString{parameters}, std::invalid_argument);
}

} // namespace
