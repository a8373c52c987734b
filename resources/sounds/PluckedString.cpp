// SPDX-License-Identifier: GPL-3.0-or-later
#include "PluckedString.h"

#include "NoiseGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace sounds {

double allpassCoefficientFor(double delay, double omega)
{
    // arg A(e^jw) = -w + 2 atan(C sin w / (1 + C cos w)); setting it to -w * delay and solving
    // for C gives this closed form.
    return std::sin(omega * (1.0 - delay) / 2.0) / std::sin(omega * (1.0 + delay) / 2.0);
}

double allpassPhaseDelay(double c, double omega)
{
    const double phase = -omega + 2.0 * std::atan2(c * std::sin(omega), 1.0 + c * std::cos(omega));
    return -phase / omega;
}

double lowpassPhaseDelay(double a, double omega)
{
    return std::atan2(a * std::sin(omega), 1.0 - a * std::cos(omega)) / omega;
}

double lowpassGain(double a, double omega)
{
    return (1.0 - a) / std::sqrt(1.0 - 2.0 * a * std::cos(omega) + a * a);
}

namespace {
constexpr double kShapeShare = 1.0; // share of the pluck's step in the excitation
constexpr double kNoiseShare = 1.0; // share of pick noise

double decayPerPeriod(double dbPerSecond, double frequency)
{
    return std::pow(10.0, -dbPerSecond / (20.0 * frequency));
}

// The one-pole coefficient a whose gain at omega is `gain` (0 < gain < 1): the smaller root of
// (1 - g^2) a^2 - 2 (1 - g^2 cos w) a + (1 - g^2) = 0.
double lowpassForGain(double gain, double omega)
{
    const double g2 = gain * gain;
    const double p = 1.0 - g2 * std::cos(omega);
    const double q = 1.0 - g2;
    return (p - std::sqrt(p * p - q * q)) / q;
}
} // namespace

PluckedString::PluckedString(const PluckParameters& parameters) : m_parameters(parameters)
{
    const double fs = parameters.sampleRate;
    const double f0 = parameters.frequency;
    if (!(f0 > 20.0 && f0 < fs / 8.0))
        throw std::invalid_argument("string frequency out of range");

    const double omega0 = 2.0 * std::numbers::pi * f0 / fs;
    const double omegaTreble = 2.0 * std::numbers::pi * kTrebleReference / fs;

    // The lowpass supplies the extra damping of the treble over the fundamental, per period.
    const double extraDecay = std::max(parameters.trebleDecay - parameters.fundamentalDecay, 0.1);
    const double trebleGain = decayPerPeriod(extraDecay, f0);
    m_lowpass = std::clamp(lowpassForGain(trebleGain, omegaTreble), 0.0, 0.95);

    // The flat loop gain sets the fundamental's decay; the lowpass already takes its small share.
    m_loopGain = std::min(
        decayPerPeriod(parameters.fundamentalDecay, f0) / lowpassGain(m_lowpass, omega0), 0.99999);

    // One period = delay line + allpass + lowpass, all measured as phase delay at the
    // fundamental. The allpass takes a fractional part in [0.618, 1.618), where its own
    // pole stays well inside the unit circle and its phase delay is flattest.
    const double period = fs / f0;
    const double rest = period - lowpassPhaseDelay(m_lowpass, omega0);
    m_delayLength = static_cast<int>(std::floor(rest - 0.618));
    const double fraction = rest - m_delayLength;
    m_allpass = allpassCoefficientFor(fraction, omega0);
}

std::vector<double> PluckedString::render(int frames)
{
    std::vector<double> out(static_cast<std::size_t>(std::max(frames, 0)), 0.0);
    const int n = m_delayLength;

    // The pluck: the slope of a string pulled aside at the pick position (a step, up before the
    // pick point and down after it, so its partials fall as 1/k like a real pluck's), plus one
    // period of pick noise, softened by a one-pole lowpass and combed at the pick position:
    // plucking at a fraction p of the length cancels every (1/p)-th partial, as on a real
    // string. The step gives the note its body, the noise its attack and a little life. The mean
    // is removed, so no offset rings in the loop.
    const int pick =
        std::clamp(static_cast<int>(std::lround(m_parameters.pickPosition * n)), 1, n - 1);
    NoiseGenerator noise(m_parameters.seed);
    std::vector<double> burst(static_cast<std::size_t>(n));
    const double soften = 1.0 - std::clamp(m_parameters.pickBrightness, 0.05, 1.0);
    double smooth = 0.0;
    for (double& value : burst) {
        smooth = (1.0 - soften) * noise.bipolar() + soften * smooth;
        value = smooth;
    }
    std::vector<double> excitation(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double shape = i < pick ? 1.0 : -static_cast<double>(pick) / (n - pick);
        const double combed = burst[i] - (i >= pick ? burst[i - pick] : 0.0);
        excitation[i] = kShapeShare * shape + kNoiseShare * combed;
    }
    double mean = 0.0;
    for (double value : excitation)
        mean += value;
    mean /= n;
    for (double& value : excitation)
        value -= mean;

    std::vector<double> line(static_cast<std::size_t>(n), 0.0);
    int index = 0;
    double allpassIn = 0.0;
    double allpassOut = 0.0;
    double lowpassOut = 0.0;
    // A gentle DC blocker on the way out (about 20 Hz) removes what little offset remains.
    const double blockerPole = 1.0 - 2.0 * std::numbers::pi * 20.0 / m_parameters.sampleRate;
    double blockerIn = 0.0;
    double blockerOut = 0.0;

    for (int t = 0; t < frames; ++t) {
        const double delayed = line[index];
        const double ap = m_allpass * delayed + allpassIn - m_allpass * allpassOut;
        allpassIn = delayed;
        allpassOut = ap;
        lowpassOut = (1.0 - m_lowpass) * ap + m_lowpass * lowpassOut;
        double value = m_loopGain * lowpassOut;
        if (t < n)
            value += excitation[t];
        line[index] = value;
        index = index + 1 == n ? 0 : index + 1;

        blockerOut = value - blockerIn + blockerPole * blockerOut;
        blockerIn = value;
        out[t] = blockerOut;
    }
    return out;
}

} // namespace sounds
