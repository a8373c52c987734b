// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace demokit {

LoopCanvas::LoopCanvas(int frames)
    : m_left(static_cast<std::size_t>(std::max(frames, 1)), 0.0),
      m_right(static_cast<std::size_t>(std::max(frames, 1)), 0.0)
{
}

std::size_t LoopCanvas::wrap(long long frame) const
{
    const auto length = static_cast<long long>(m_left.size());
    const long long position = frame % length;
    return static_cast<std::size_t>(position < 0 ? position + length : position);
}

void LoopCanvas::add(int start, const std::vector<double>& sound, double gain, double pan)
{
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * std::numbers::pi / 4.0;
    const double leftGain = gain * std::numbers::sqrt2 * std::cos(angle);
    const double rightGain = gain * std::numbers::sqrt2 * std::sin(angle);
    std::size_t at = wrap(start);
    for (double value : sound) {
        m_left[at] += leftGain * value;
        m_right[at] += rightGain * value;
        if (++at == m_left.size())
            at = 0;
    }
}

void LoopCanvas::add(int start, const std::vector<double>& left, const std::vector<double>& right,
                     double gain)
{
    std::size_t at = wrap(start);
    const std::size_t length = std::max(left.size(), right.size());
    for (std::size_t i = 0; i < length; ++i) {
        if (i < left.size())
            m_left[at] += gain * left[i];
        if (i < right.size())
            m_right[at] += gain * right[i];
        if (++at == m_left.size())
            at = 0;
    }
}

void LoopCanvas::mix(const LoopCanvas& other, double gain)
{
    const std::size_t length = std::min(m_left.size(), other.m_left.size());
    for (std::size_t i = 0; i < length; ++i) {
        m_left[i] += gain * other.m_left[i];
        m_right[i] += gain * other.m_right[i];
    }
}

void LoopCanvas::scale(double gain)
{
    for (std::size_t i = 0; i < m_left.size(); ++i) {
        m_left[i] *= gain;
        m_right[i] *= gain;
    }
}

double LoopCanvas::peak() const
{
    double largest = 0.0;
    for (std::size_t i = 0; i < m_left.size(); ++i)
        largest = std::max({largest, std::abs(m_left[i]), std::abs(m_right[i])});
    return largest;
}

double LoopCanvas::rms() const
{
    double energy = 0.0;
    for (std::size_t i = 0; i < m_left.size(); ++i)
        energy += m_left[i] * m_left[i] + m_right[i] * m_right[i];
    return std::sqrt(energy / static_cast<double>(2 * m_left.size()));
}

void LoopCanvas::removeDc()
{
    for (std::vector<double>* channel : {&m_left, &m_right}) {
        double sum = 0.0;
        for (double value : *channel)
            sum += value;
        const double mean = sum / static_cast<double>(channel->size());
        for (double& value : *channel)
            value -= mean;
    }
}

} // namespace demokit
