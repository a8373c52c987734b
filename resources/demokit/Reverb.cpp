// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reverb.h"

#include "LoopCanvas.h"

#include <algorithm>
#include <cmath>

namespace demokit {

namespace {
// Comb and allpass lengths in samples at 44.1 kHz: mutually prime, so their echoes never line up
// into a flutter.
constexpr std::array<int, 8> kCombLengths = {1051, 1123, 1217, 1303, 1381, 1459, 1531, 1601};
constexpr std::array<int, 4> kAllpassLengths = {211, 337, 463, 587};
constexpr int kStereoSpread = 19;
constexpr double kAllpassFeedback = 0.5;
constexpr double kInputGain = 0.12;
} // namespace

Reverb::Reverb(double decay, double damping, double preDelaySeconds)
    : m_decay(decay), m_damping(damping),
      m_preDelay(static_cast<std::size_t>(std::max(1L, std::lround(preDelaySeconds * kSampleRate))),
                 0.0)
{
    m_lowCut.setCutoff(220.0, 0.7071);
    m_highCut.setCutoff(6500.0, 0.7071);
    for (std::size_t i = 0; i < kCombLengths.size(); ++i) {
        m_left.combs[i].buffer.assign(static_cast<std::size_t>(kCombLengths[i]), 0.0);
        m_right.combs[i].buffer.assign(static_cast<std::size_t>(kCombLengths[i] + kStereoSpread),
                                       0.0);
    }
    for (std::size_t i = 0; i < kAllpassLengths.size(); ++i) {
        m_left.allpasses[i].buffer.assign(static_cast<std::size_t>(kAllpassLengths[i]), 0.0);
        m_right.allpasses[i].buffer.assign(
            static_cast<std::size_t>(kAllpassLengths[i] + kStereoSpread), 0.0);
    }
}

double Reverb::runSide(Side& side, double input)
{
    double sum = 0.0;
    for (Comb& comb : side.combs) {
        const double out = comb.buffer[comb.position];
        comb.store = out * (1.0 - m_damping) + comb.store * m_damping;
        comb.buffer[comb.position] = input + comb.store * m_decay;
        if (++comb.position == comb.buffer.size())
            comb.position = 0;
        sum += out;
    }
    for (Allpass& allpass : side.allpasses) {
        const double delayed = allpass.buffer[allpass.position];
        allpass.buffer[allpass.position] = sum + delayed * kAllpassFeedback;
        sum = delayed - sum;
        if (++allpass.position == allpass.buffer.size())
            allpass.position = 0;
    }
    return sum;
}

void Reverb::process(double& left, double& right)
{
    const double delayed = m_preDelay[m_preDelayPosition];
    m_preDelay[m_preDelayPosition] = 0.5 * (left + right);
    if (++m_preDelayPosition == m_preDelay.size())
        m_preDelayPosition = 0;
    const double input = kInputGain * m_highCut.lowpass(m_lowCut.highpass(delayed));
    left = runSide(m_left, input);
    right = runSide(m_right, input);
}

PingPongDelay::PingPongDelay(int delayFrames, double feedback, double toneHertz)
    : m_left(static_cast<std::size_t>(std::max(delayFrames, 1)), 0.0),
      m_right(static_cast<std::size_t>(std::max(delayFrames, 1)), 0.0), m_feedback(feedback)
{
    m_toneLeft.setCutoff(toneHertz, 0.7071);
    m_toneRight.setCutoff(toneHertz, 0.7071);
}

void PingPongDelay::process(double& left, double& right)
{
    const double outLeft = m_left[m_position];
    const double outRight = m_right[m_position];
    m_left[m_position] = 0.5 * (left + right) + m_feedback * m_toneRight.lowpass(outRight);
    m_right[m_position] = m_feedback * m_toneLeft.lowpass(outLeft);
    if (++m_position == m_left.size())
        m_position = 0;
    left = outLeft;
    right = outRight;
}

} // namespace demokit
