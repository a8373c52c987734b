// SPDX-License-Identifier: GPL-3.0-or-later
#include "Decimator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pitch {

Decimator::Decimator(int factor) : m_factor(std::max(1, factor))
{
    // Half-length grows with the factor so the transition band stays the same width at the
    // output rate; at least 16 taps each side keep a factor of 1 sharp enough.
    const int half = std::max(8 * m_factor, 16);
    const int length = 2 * half + 1;
    const double cutoff = 0.4 / m_factor; // cycles per input sample
    m_coefficients.resize(static_cast<std::size_t>(length));
    double sum = 0.0;
    std::vector<double> taps(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double t = i - half;
        const double sinc =
            t == 0.0 ? 2.0 * cutoff
                     : std::sin(2.0 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
        const double phase = 2.0 * std::numbers::pi * i / (length - 1);
        const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase);
        taps[static_cast<std::size_t>(i)] = sinc * window;
        sum += sinc * window;
    }
    for (int i = 0; i < length; ++i)
        m_coefficients[static_cast<std::size_t>(i)] =
            static_cast<float>(taps[static_cast<std::size_t>(i)] / sum);
    m_history.assign(static_cast<std::size_t>(2 * length), 0.0f);
}

bool Decimator::push(float in, float& out)
{
    const int length = taps();
    m_history[static_cast<std::size_t>(m_write)] = in;
    m_history[static_cast<std::size_t>(m_write + length)] = in;
    m_write = (m_write + 1) % length;
    if (++m_phase < m_factor)
        return false;
    m_phase = 0;
    // The newest length inputs, oldest first, lie contiguous from m_write.
    const float* window = m_history.data() + m_write;
    float acc = 0.0f;
    for (int i = 0; i < length; ++i)
        acc += window[i] * m_coefficients[static_cast<std::size_t>(i)];
    out = acc;
    return true;
}

void Decimator::reset()
{
    std::fill(m_history.begin(), m_history.end(), 0.0f);
    m_write = 0;
    m_phase = 0;
}

} // namespace pitch
