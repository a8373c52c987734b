// SPDX-License-Identifier: GPL-3.0-or-later
#include "Svf.h"

#include "LoopCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace demokit {

void Svf::setCutoff(double hertz, double resonance)
{
    // Kept below Nyquist, where the prewarped gain would run off to infinity.
    const double limited = std::clamp(hertz, 5.0, 0.45 * kSampleRate);
    const double g = std::tan(std::numbers::pi * limited / kSampleRate);
    m_damping = 1.0 / std::max(resonance, 0.1);
    m_a1 = 1.0 / (1.0 + g * (g + m_damping));
    m_a2 = g * m_a1;
    m_a3 = g * m_a2;
}

Svf::Outputs Svf::process(double input)
{
    const double v3 = input - m_state2;
    const double v1 = m_a1 * m_state1 + m_a2 * v3;
    const double v2 = m_state2 + m_a2 * m_state1 + m_a3 * v3;
    m_state1 = 2.0 * v1 - m_state1;
    m_state2 = 2.0 * v2 - m_state2;
    return {v2, v1, input - m_damping * v1 - v2};
}

} // namespace demokit
