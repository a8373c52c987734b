// SPDX-License-Identifier: GPL-3.0-or-later
#include "Instruments.h"

#include "LoopCanvas.h"
#include "Oscillator.h"
#include "Svf.h"
#include "sounds/NoiseGenerator.h"
#include "sounds/PluckedString.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace demokit {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

int framesFor(double seconds)
{
    return static_cast<int>(std::lround(seconds * kSampleRate));
}

double timeOf(int frame)
{
    return static_cast<double>(frame) / kSampleRate;
}

// A raised-cosine ramp from 0 at the start to 1 after `frames`, so no sound starts with a jump
// beyond what its attack asks for.
void fadeIn(std::vector<double>& sound, int frames)
{
    const int length = std::min(frames, static_cast<int>(sound.size()));
    for (int i = 0; i < length; ++i)
        sound[static_cast<std::size_t>(i)] *=
            0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / length);
}

// The same at the end, reaching exactly zero on the last sample.
void fadeOut(std::vector<double>& sound, int frames)
{
    const int length = std::min(frames, static_cast<int>(sound.size()));
    const std::size_t start = sound.size() - static_cast<std::size_t>(length);
    for (int i = 0; i < length; ++i)
        sound[start + static_cast<std::size_t>(i)] *=
            0.5 + 0.5 * std::cos(std::numbers::pi * static_cast<double>(i + 1) / length);
}

// Gentle tape-like saturation that keeps a peak of 1 at 1.
double saturate(double value, double drive)
{
    return std::tanh(drive * value) / std::tanh(drive);
}

void normalise(std::vector<double>& sound)
{
    double largest = 0.0;
    for (double value : sound)
        largest = std::max(largest, std::abs(value));
    if (largest > 0.0)
        for (double& value : sound)
            value /= largest;
}

// The envelope of a held note: attack, a decay to `sustain`, and a raised-cosine release that
// begins when the note is let go, `held` seconds after its start.
double heldEnvelope(double t, double attack, double decay, double sustain, double held,
                    double release)
{
    double level = 0.0;
    if (t < attack)
        level = 0.5 - 0.5 * std::cos(std::numbers::pi * t / attack);
    else
        level = sustain + (1.0 - sustain) * std::exp(-(t - attack) / decay);
    if (t > held) {
        const double x = std::min((t - held) / release, 1.0);
        level *= 0.5 + 0.5 * std::cos(std::numbers::pi * x);
    }
    return level;
}

} // namespace

std::vector<double> kick()
{
    // A falling sine: the drop from about 170 Hz to 48 Hz is the punch, the long 48 Hz tail the
    // weight. A few milliseconds of dull noise give the beater's knock.
    constexpr double kBase = 48.0;
    constexpr double kSweep = 120.0;
    constexpr double kSweepTime = 0.028;
    sounds::NoiseGenerator noise(0x6b69636b);
    Svf knock;
    knock.setCutoff(3500.0, 0.7071);
    std::vector<double> sound(static_cast<std::size_t>(framesFor(0.42)));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        const double phase =
            kTwoPi * (kBase * t + kSweep * kSweepTime * (1.0 - std::exp(-t / kSweepTime)));
        const double body = t < 0.035 ? 1.0 : std::exp(-(t - 0.035) / 0.1);
        const double click = knock.lowpass(noise.bipolar()) * 0.35 * std::exp(-t / 0.004);
        sound[i] = saturate(std::sin(phase) * body + click, 1.8);
    }
    fadeIn(sound, 12);
    fadeOut(sound, framesFor(0.02));
    normalise(sound);
    return sound;
}

std::vector<double> snare(std::uint64_t seed)
{
    // Two drum-head modes under the rattle of the wires.
    sounds::NoiseGenerator noise(seed);
    Svf wires;
    wires.setCutoff(1800.0, 0.6);
    Svf sizzle;
    sizzle.setCutoff(9000.0, 0.7071);
    std::vector<double> sound(static_cast<std::size_t>(framesFor(0.32)));
    double phase = 0.0;
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        phase += kTwoPi * (182.0 + 70.0 * std::exp(-t / 0.012)) / kSampleRate;
        const double head = std::sin(phase) * std::exp(-t / 0.055) +
                            0.45 * std::sin(1.79 * phase) * std::exp(-t / 0.035);
        const double rattle = sizzle.lowpass(wires.highpass(noise.bipolar())) * std::exp(-t / 0.1);
        sound[i] = 0.65 * head + 0.9 * rattle;
    }
    fadeIn(sound, 10);
    fadeOut(sound, framesFor(0.03));
    normalise(sound);
    return sound;
}

std::vector<double> clap(std::uint64_t seed)
{
    // Several hands a few milliseconds apart, then the room.
    constexpr std::array<double, 4> kHands = {0.0, 0.010, 0.021, 0.029};
    sounds::NoiseGenerator noise(seed);
    Svf body;
    body.setCutoff(1150.0, 1.3);
    Svf air;
    air.setCutoff(2600.0, 0.9);
    std::vector<double> sound(static_cast<std::size_t>(framesFor(0.38)));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        double envelope = 0.0;
        for (double hand : kHands)
            if (t >= hand) {
                const double since = t - hand;
                envelope =
                    std::max(envelope, std::min(since / 0.0008, 1.0) * std::exp(-since / 0.006));
            }
        if (t >= kHands.back())
            envelope = std::max(envelope, 0.55 * std::exp(-(t - kHands.back()) / 0.11));
        const double source = noise.bipolar();
        sound[i] = envelope * (body.bandpass(source) + 0.5 * air.bandpass(source));
    }
    fadeOut(sound, framesFor(0.03));
    normalise(sound);
    return sound;
}

std::vector<double> hat(double decaySeconds, std::uint64_t seed)
{
    // Six square waves at unrelated pitches make the metal; a little noise the air around it.
    constexpr std::array<double, 6> kPartials = {263.0, 400.0, 421.0, 474.0, 587.0, 845.0};
    sounds::NoiseGenerator noise(seed);
    std::array<double, 6> phases{};
    for (double& phase : phases)
        phase = noise.uniform();
    Svf ring;
    ring.setCutoff(9500.0, 1.1);
    Svf cut;
    cut.setCutoff(6800.0, 0.7071);
    Svf cutAgain;
    cutAgain.setCutoff(6800.0, 0.7071);
    // The square waves alias above 13 kHz; cut there, the hat sounds crisp rather than glassy.
    Svf top;
    top.setCutoff(13000.0, 0.7071);
    std::vector<double> sound(static_cast<std::size_t>(framesFor(decaySeconds * 5.0 + 0.01)));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        double metal = 0.0;
        for (std::size_t p = 0; p < kPartials.size(); ++p) {
            phases[p] += kPartials[p] / kSampleRate;
            phases[p] -= std::floor(phases[p]);
            metal += phases[p] < 0.5 ? 1.0 : -1.0;
        }
        const double source = ring.bandpass(metal / 6.0) + 0.5 * noise.bipolar();
        sound[i] =
            top.lowpass(cutAgain.highpass(cut.highpass(source))) * std::exp(-t / decaySeconds);
    }
    fadeIn(sound, 8);
    fadeOut(sound, framesFor(0.01));
    normalise(sound);
    return sound;
}

std::vector<double> shaker(std::uint64_t seed)
{
    // Beads swing into the shell: the sound swells for a moment before it falls away.
    sounds::NoiseGenerator noise(seed);
    Svf shell;
    shell.setCutoff(5200.0, 1.2);
    Svf cut;
    cut.setCutoff(3000.0, 0.7071);
    constexpr double kSwell = 0.014;
    std::vector<double> sound(static_cast<std::size_t>(framesFor(0.16)));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        const double envelope = t < kSwell
                                    ? std::pow(std::sin(0.5 * std::numbers::pi * t / kSwell), 2.0)
                                    : std::exp(-(t - kSwell) / 0.032);
        sound[i] = envelope * cut.highpass(shell.bandpass(noise.bipolar()));
    }
    fadeOut(sound, framesFor(0.01));
    normalise(sound);
    return sound;
}

std::vector<double> conga(double hertz, std::uint64_t seed)
{
    // The skin starts a little sharp as the hand strikes it, then settles; its second mode sits
    // at an inharmonic 1.59 times the first, as on a real membrane.
    sounds::NoiseGenerator noise(seed);
    Svf slap;
    slap.setCutoff(2200.0, 1.0);
    std::vector<double> sound(static_cast<std::size_t>(framesFor(0.45)));
    double phase = 0.0;
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        phase += kTwoPi * hertz * (1.0 + 0.22 * std::exp(-t / 0.009)) / kSampleRate;
        const double skin = std::sin(phase) * std::exp(-t / 0.11) +
                            0.3 * std::sin(1.59 * phase) * std::exp(-t / 0.05);
        const double hand = slap.bandpass(noise.bipolar()) * 0.6 * std::exp(-t / 0.005);
        sound[i] = saturate(skin + hand, 1.3);
    }
    fadeIn(sound, 12);
    fadeOut(sound, framesFor(0.03));
    normalise(sound);
    return sound;
}

std::vector<double> clave()
{
    // Hard wood on wood: one bright resonance that dies within a few tens of milliseconds.
    std::vector<double> sound(static_cast<std::size_t>(framesFor(0.12)));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        sound[i] = std::sin(kTwoPi * 2450.0 * t) * std::exp(-t / 0.022) +
                   0.25 * std::sin(kTwoPi * 3950.0 * t) * std::exp(-t / 0.009);
    }
    fadeIn(sound, 6);
    fadeOut(sound, framesFor(0.01));
    normalise(sound);
    return sound;
}

std::vector<double> bassNote(double hertz, double seconds)
{
    constexpr double kRelease = 0.03;
    Oscillator saw(hertz);
    Oscillator sub(hertz);
    Svf filter;
    std::vector<double> sound(static_cast<std::size_t>(framesFor(seconds + kRelease)));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        // The filter opens with the pluck of each note and closes to a round tone; it follows
        // the pitch a little so high notes are not duller than low ones.
        filter.setCutoff(2.2 * hertz + 1100.0 * std::exp(-t / 0.07), 1.2);
        const double tone = 0.6 * filter.lowpass(saw.saw()) + 0.75 * sub.sine();
        sound[i] = saturate(tone, 1.5) * heldEnvelope(t, 0.004, 0.15, 0.8, seconds, kRelease);
    }
    fadeOut(sound, 8);
    normalise(sound);
    return sound;
}

StereoSound padNote(double hertz, double seconds, std::uint64_t seed)
{
    constexpr double kAttack = 0.35;
    constexpr double kRelease = 0.7;
    constexpr std::array<double, 2> kDetuneLeft = {-9.0, 3.5}; // cents
    constexpr std::array<double, 2> kDetuneRight = {8.0, -4.0};
    sounds::NoiseGenerator noise(seed);
    auto detuned = [&](double cents) {
        return Oscillator(hertz * std::pow(2.0, cents / 1200.0), noise.uniform());
    };
    std::array<Oscillator, 2> left = {detuned(kDetuneLeft[0]), detuned(kDetuneLeft[1])};
    std::array<Oscillator, 2> right = {detuned(kDetuneRight[0]), detuned(kDetuneRight[1])};
    // A soft sine under the saws keeps the chord's body when the filter closes.
    Oscillator body(hertz);
    StereoSound sound;
    const std::size_t length = static_cast<std::size_t>(framesFor(seconds + kRelease));
    sound.left.resize(length);
    sound.right.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = timeOf(static_cast<int>(i));
        const double envelope = heldEnvelope(t, kAttack, 1.0, 1.0, seconds, kRelease);
        const double warm = 0.6 * body.sine();
        sound.left[i] = envelope * (left[0].saw() + left[1].saw() + warm);
        sound.right[i] = envelope * (right[0].saw() + right[1].saw() + warm);
    }
    return sound;
}

std::vector<double> pluckNote(double hertz, std::uint64_t seed)
{
    constexpr double kLength = 0.7;
    Oscillator pulse(hertz);
    Oscillator saw(hertz * std::pow(2.0, 6.0 / 1200.0));
    Svf filter;
    sounds::PluckParameters string;
    string.frequency = hertz;
    string.sampleRate = kSampleRate;
    string.fundamentalDecay = 18.0;
    string.trebleDecay = 60.0;
    string.pickPosition = 0.22;
    string.pickBrightness = 0.45;
    string.seed = seed;
    std::vector<double> plucked = sounds::PluckedString(string).render(framesFor(kLength));
    normalise(plucked);
    std::vector<double> sound(plucked.size());
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const double t = timeOf(static_cast<int>(i));
        filter.setCutoff(700.0 + 5200.0 * std::exp(-t / 0.05), 1.4);
        const double synth = filter.lowpass(pulse.pulse(0.35) + 0.6 * saw.saw());
        sound[i] = 0.8 * synth * std::exp(-t / 0.2) + 0.55 * plucked[i];
    }
    fadeIn(sound, 40);
    fadeOut(sound, framesFor(0.08));
    normalise(sound);
    return sound;
}

void choke(std::vector<double>& sound, int frames)
{
    if (frames < 0 || static_cast<std::size_t>(frames) >= sound.size())
        return;
    sound.resize(static_cast<std::size_t>(frames));
    fadeOut(sound, std::min(frames, framesFor(0.008)));
}

} // namespace demokit
