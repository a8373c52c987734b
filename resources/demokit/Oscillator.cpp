// SPDX-License-Identifier: GPL-3.0-or-later
#include "Oscillator.h"

#include "LoopCanvas.h"

#include <cmath>
#include <numbers>

namespace demokit {

namespace {

// The correction that turns a hard step at phase 0 into a band-limited one; t is the phase and
// dt the phase increment per sample.
double bandLimitedStep(double t, double dt)
{
    if (t < dt) {
        const double x = t / dt;
        return x + x - x * x - 1.0;
    }
    if (t > 1.0 - dt) {
        const double x = (t - 1.0) / dt;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

double wrapPhase(double phase)
{
    return phase - std::floor(phase);
}

} // namespace

Oscillator::Oscillator(double hertz, double startPhase) : m_phase(wrapPhase(startPhase))
{
    setFrequency(hertz);
}

void Oscillator::setFrequency(double hertz)
{
    m_increment = hertz / kSampleRate;
}

double Oscillator::saw()
{
    const double value = 2.0 * m_phase - 1.0 - bandLimitedStep(m_phase, m_increment);
    m_phase = wrapPhase(m_phase + m_increment);
    return value;
}

double Oscillator::pulse(double width)
{
    const double shifted = wrapPhase(m_phase + 1.0 - width);
    double value = m_phase < width ? 1.0 : -1.0;
    value += bandLimitedStep(m_phase, m_increment) - bandLimitedStep(shifted, m_increment);
    // Centred, so a narrow pulse carries no offset.
    value -= 2.0 * width - 1.0;
    m_phase = wrapPhase(m_phase + m_increment);
    return value;
}

double Oscillator::sine()
{
    const double value = std::sin(2.0 * std::numbers::pi * m_phase);
    m_phase = wrapPhase(m_phase + m_increment);
    return value;
}

} // namespace demokit
