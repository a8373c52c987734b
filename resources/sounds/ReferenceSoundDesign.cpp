// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceSoundDesign.h"

#include "Fft.h"
#include "NoiseGenerator.h"
#include "PluckedString.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

namespace sounds {

namespace {
constexpr double kToneBody = 0.1413;      // -17 dBFS RMS just after the pluck
constexpr double kTonePeakLimit = 0.7079; // -3 dBFS
constexpr double kChordPeak = 0.7079;     // -3 dBFS
constexpr double kNoisePeak = 0.7079;     // -3 dBFS
constexpr double kToneFade = 0.1;         // seconds

int framesFor(double seconds)
{
    return static_cast<int>(std::lround(seconds * kSampleRate));
}

void scaleToPeak(std::vector<double>& samples, double peak)
{
    double largest = 0.0;
    for (double value : samples)
        largest = std::max(largest, std::abs(value));
    if (largest <= 0.0)
        return;
    const double scale = peak / largest;
    for (double& value : samples)
        value *= scale;
}

// The strings are levelled on their ringing body rather than on the pluck's first spike, whose
// height is down to chance in the pick noise: so all six sound equally loud. The peak stays
// below the limit either way.
void levelTone(std::vector<double>& samples)
{
    const std::size_t from = static_cast<std::size_t>(framesFor(0.05));
    const std::size_t to = std::min(samples.size(), static_cast<std::size_t>(framesFor(0.15)));
    double energy = 0.0;
    double largest = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i >= from && i < to)
            energy += samples[i] * samples[i];
        largest = std::max(largest, std::abs(samples[i]));
    }
    if (to <= from || energy <= 0.0)
        return;
    const double body = std::sqrt(energy / static_cast<double>(to - from));
    const double scale = std::min(kToneBody / body, kTonePeakLimit / largest);
    for (double& value : samples)
        value *= scale;
}

// A raised-cosine fade over the last `seconds`, reaching exactly zero on the last sample, so a
// tone stopped by its end never clicks.
void fadeOut(std::vector<double>& samples, double seconds)
{
    const int length = std::min(framesFor(seconds), static_cast<int>(samples.size()));
    const std::size_t start = samples.size() - static_cast<std::size_t>(length);
    for (int i = 0; i < length; ++i) {
        const double position = static_cast<double>(i + 1) / length; // last sample: 1
        samples[start + i] *= 0.5 * (1.0 + std::cos(std::numbers::pi * position));
    }
}

// Plucks chosen per string so that low strings sound round and high strings clear; the chord
// rings longer than a single reference tone.
PluckParameters pluckFor(double frequency, double fundamentalDecay, std::uint64_t seed)
{
    PluckParameters p;
    p.frequency = frequency;
    p.sampleRate = kSampleRate;
    p.fundamentalDecay = fundamentalDecay;
    p.trebleDecay = fundamentalDecay + 45.0;
    p.pickPosition = 0.17;
    p.pickBrightness = 0.25;
    p.seed = seed;
    return p;
}
} // namespace

double notePitch(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

const std::vector<TunerString>& tunerStrings()
{
    static const std::vector<TunerString> strings = {
        {"E", 40, 1.6}, {"A", 45, 1.6}, {"D", 50, 1.5},
        {"G", 55, 1.4}, {"H", 59, 1.3}, {"E2", 64, 1.2},
    };
    return strings;
}

std::vector<double> stringTone(double frequency, double seconds, std::uint64_t seed)
{
    PluckedString string(pluckFor(frequency, 24.0, seed));
    std::vector<double> samples = string.render(framesFor(seconds));
    levelTone(samples);
    fadeOut(samples, kToneFade);
    return samples;
}

std::vector<double> strummedChord()
{
    constexpr double kLength = 2.6;                    // seconds
    constexpr double kStrumStep = 0.035;               // seconds between strings
    constexpr int kNotes[] = {40, 47, 52, 56, 59, 64}; // E2 B2 E3 G#3 B3 E4
    constexpr double kWeights[] = {1.0, 0.95, 0.9, 0.85, 0.8, 0.8};

    const int total = framesFor(kLength);
    std::vector<double> mix(static_cast<std::size_t>(total), 0.0);
    for (int s = 0; s < 6; ++s) {
        const int onset = framesFor(kStrumStep * s);
        PluckedString string(pluckFor(notePitch(kNotes[s]), 18.0, 100 + s));
        std::vector<double> voice = string.render(total - onset);
        scaleToPeak(voice, kWeights[s]);
        for (std::size_t i = 0; i < voice.size(); ++i)
            mix[onset + i] += voice[i];
    }
    scaleToPeak(mix, kChordPeak);
    fadeOut(mix, 0.3);
    return mix;
}

std::vector<double> pinkNoise(int frames, std::uint64_t seed)
{
    if (frames < 2 || !isPowerOfTwo(static_cast<std::size_t>(frames)))
        throw std::invalid_argument("pink noise length must be a power of two");

    // Built in the frequency domain with every bin a whole number of cycles long, so the
    // waveform is exactly periodic in `frames` and the loop has no seam. Power density falls as
    // 1/f (amplitude as 1/sqrt(f)); phases are random. Below about 16 Hz there is nothing: rumble
    // a speaker cannot play would only eat headroom.
    constexpr double kLowestFrequency = 16.0;
    const double binWidth = static_cast<double>(kSampleRate) / frames;
    std::vector<std::complex<double>> spectrum(static_cast<std::size_t>(frames));
    NoiseGenerator noise(seed);
    for (int k = 1; k < frames / 2; ++k) {
        const double phase = 2.0 * std::numbers::pi * noise.uniform();
        const double frequency = k * binWidth;
        if (frequency < kLowestFrequency)
            continue;
        const std::complex<double> bin = std::polar(1.0 / std::sqrt(frequency), phase);
        spectrum[k] = bin;
        spectrum[frames - k] = std::conj(bin);
    }
    fft(spectrum, true);

    std::vector<double> samples(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[i] = spectrum[i].real();
    scaleToPeak(samples, kNoisePeak);
    return samples;
}

std::vector<double> polarityClicks()
{
    constexpr double kLength = 0.17;                               // seconds
    constexpr double kClickTimes[] = {0.010, 0.050, 0.090, 0.130}; // seconds
    constexpr double kRise = 0.0004;                               // seconds
    constexpr double kFall = 0.006;                                // seconds
    constexpr double kPeak = 0.7079;                               // -3 dBFS

    // Each click rises fast and falls slowly: its first, strongest push is unmistakably
    // positive, so the inverted copy is heard as a different click.
    std::vector<double> samples(static_cast<std::size_t>(framesFor(kLength)), 0.0);
    const int rise = framesFor(kRise);
    const int fall = framesFor(kFall);
    for (double time : kClickTimes) {
        const int start = framesFor(time);
        for (int i = 0; i < rise; ++i)
            samples[start + i] =
                kPeak * 0.5 * (1.0 - std::cos(std::numbers::pi * (i + 1) / (rise + 1)));
        for (int i = 0; i <= fall; ++i)
            samples[start + rise + i] = kPeak * 0.5 * (1.0 + std::cos(std::numbers::pi * i / fall));
    }
    return samples;
}

std::vector<double> whiteNoise(std::uint64_t seed)
{
    constexpr double kDeviation = 0.1; // -20 dBFS RMS
    std::vector<double> samples(static_cast<std::size_t>(kSampleRate));
    NoiseGenerator noise(seed);
    for (double& value : samples)
        value = std::clamp(kDeviation * noise.gaussian(), -0.6, 0.6);
    return samples;
}

std::vector<std::int16_t> toPcm16(const std::vector<double>& samples)
{
    std::vector<std::int16_t> pcm;
    pcm.reserve(samples.size());
    for (double value : samples) {
        const double scaled = std::clamp(std::round(value * 32767.0), -32767.0, 32767.0);
        pcm.push_back(static_cast<std::int16_t>(scaled));
    }
    return pcm;
}

std::vector<ReferenceSound> referenceSounds()
{
    std::vector<ReferenceSound> sounds;
    sounds.push_back({"CHORD", toPcm16(strummedChord())});
    std::uint64_t seed = 1;
    for (const TunerString& string : tunerStrings())
        sounds.push_back(
            {string.name, toPcm16(stringTone(notePitch(string.midiNote), string.seconds, seed++))});
    sounds.push_back({"PINK", toPcm16(pinkNoise(262144, 7))});
    const std::vector<std::int16_t> phase = toPcm16(polarityClicks());
    std::vector<std::int16_t> inverted;
    for (std::int16_t value : phase)
        inverted.push_back(static_cast<std::int16_t>(-value));
    sounds.push_back({"PHASE", phase});
    sounds.push_back({"PHASE_R", inverted});
    sounds.push_back({"WHITE", toPcm16(whiteNoise(11))});
    return sounds;
}

} // namespace sounds
