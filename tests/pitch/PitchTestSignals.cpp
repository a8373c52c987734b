// SPDX-License-Identifier: GPL-3.0-or-later
#include "PitchTestSignals.h"

#include "resources/sounds/WaveResource.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace pitchtest {

std::vector<float> harmonicTone(double frequency, const std::vector<double>& partials,
                                double seconds, int rate)
{
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double value = 0.0;
        for (std::size_t k = 0; k < partials.size() && frequency * (k + 1) < 0.45 * rate; ++k)
            value += partials[k] *
                     std::sin(2.0 * std::numbers::pi * frequency * (k + 1) * t + 0.7 * k * k);
        out[i] = static_cast<float>(value);
    }
    return out;
}

std::vector<float> pluckedNote(double frequency, const std::vector<double>& partials,
                               double silence, double seconds, int rate)
{
    const auto quiet = static_cast<std::size_t>(silence * rate);
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> out(quiet + frames, 0.0f);
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double value = 0.0;
        for (std::size_t k = 0; k < partials.size(); ++k) {
            const double decay = 2.5 + 3.0 * static_cast<double>(k); // 1/s
            value += partials[k] * std::exp(-decay * t) *
                     std::sin(2.0 * std::numbers::pi * frequency * (k + 1) * t + 0.7 * k * k);
        }
        // The pick's scrape: a few milliseconds of noise on top of the onset.
        value += noise(random) * std::exp(-t / 0.002);
        out[quiet + i] = static_cast<float>(0.5 * value);
    }
    return out;
}

void addWhiteNoise(std::vector<float>& signal, double decibelsBelow, std::uint64_t seed)
{
    double power = 0.0;
    for (float v : signal)
        power += static_cast<double>(v) * v;
    power /= static_cast<double>(std::max<std::size_t>(signal.size(), 1));
    const double rms = std::sqrt(power / std::pow(10.0, decibelsBelow / 10.0));
    std::mt19937_64 random(seed);
    std::normal_distribution<double> noise(0.0, rms);
    for (float& v : signal)
        v += static_cast<float>(noise(random));
}

std::vector<float> whiteNoise(double rms, double seconds, int rate, std::uint64_t seed)
{
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    std::mt19937_64 random(seed);
    std::normal_distribution<double> noise(0.0, rms);
    for (float& v : out)
        v = static_cast<float>(noise(random));
    return out;
}

std::vector<float> referenceSound(const char* name)
{
    const WaveData wave =
        decodeWave(resourceBytes(QStringLiteral(":/WAVE/%1").arg(QLatin1String(name))));
    std::vector<float> out(wave.pcm.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(wave.sample(i));
    return out;
}

std::vector<pitch::PitchReading> listen(pitch::PitchDetector& detector,
                                        const std::vector<float>& signal, std::size_t block)
{
    std::vector<pitch::PitchReading> readings;
    std::uint64_t seen = detector.readingCount();
    for (std::size_t at = 0; at < signal.size(); at += block) {
        detector.feed(signal.data() + at, std::min(block, signal.size() - at));
        if (detector.readingCount() != seen) {
            seen = detector.readingCount();
            readings.push_back(detector.reading());
        }
    }
    return readings;
}

double cents(double frequency, double reference)
{
    return 1200.0 * std::log2(frequency / reference);
}

} // namespace pitchtest
