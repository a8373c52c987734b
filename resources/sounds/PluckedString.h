// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace sounds {

// One plucked string: a Karplus-Strong loop made of a whole-sample delay line, a first-order
// allpass for the fractional rest of the period, and a one-pole lowpass that damps the upper
// partials faster than the fundamental. The loop is tuned on the exact phase delay of both
// filters at the fundamental, so the note sounds at `frequency` to well within a hundredth of a
// cent.
struct PluckParameters {
    double frequency = 110.0;       // Hz
    double sampleRate = 44100.0;    // Hz
    double fundamentalDecay = 30.0; // dB per second at the fundamental
    double trebleDecay = 70.0;      // dB per second at kTrebleReference
    double pickPosition = 0.18;     // fraction of the string length from the bridge
    double pickBrightness = 0.5;    // 0 (soft, dull pick) to 1 (hard, bright pick)
    std::uint64_t seed = 1;         // fixes the pluck's noise
};

class PluckedString {
public:
    static constexpr double kTrebleReference = 2000.0; // Hz

    explicit PluckedString(const PluckParameters& parameters);

    // The string's sound from the pluck on, `frames` samples, not yet scaled to a level.
    std::vector<double> render(int frames);

    // The loop as designed, for inspection.
    int delayLength() const { return m_delayLength; }
    double allpassCoefficient() const { return m_allpass; }
    double lowpassCoefficient() const { return m_lowpass; }
    double loopGain() const { return m_loopGain; }

private:
    PluckParameters m_parameters;
    int m_delayLength = 0;
    double m_allpass = 0.0;  // first-order allpass (C + z^-1) / (1 + C z^-1)
    double m_lowpass = 0.0;  // one-pole (1 - a) / (1 - a z^-1)
    double m_loopGain = 1.0; // frequency-independent loss per pass
};

// Coefficient C of the first-order allpass (C + z^-1) / (1 + C z^-1) whose phase delay at the
// angular frequency omega (radians per sample) is exactly `delay` samples.
double allpassCoefficientFor(double delay, double omega);

// Phase delay in samples at omega of the first-order allpass with coefficient c.
double allpassPhaseDelay(double c, double omega);

// Phase delay in samples at omega of the one-pole lowpass (1 - a) / (1 - a z^-1).
double lowpassPhaseDelay(double a, double omega);

// Magnitude at omega of the one-pole lowpass (1 - a) / (1 - a z^-1).
double lowpassGain(double a, double omega);

} // namespace sounds
