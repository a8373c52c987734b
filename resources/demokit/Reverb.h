// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Svf.h"

#include <array>
#include <vector>

namespace demokit {

// A small room: eight damped feedback combs in parallel and four allpasses in series per side,
// the right side's delays a little longer than the left's so the tail spreads wide. The input
// is band-limited first, so the room neither booms nor hisses. `process` returns the wet signal
// only; the caller decides how much of it joins the dry one.
class Reverb {
public:
    // `decay`: comb feedback, 0.7 (small room) to 0.9 (hall); `damping`: 0 (bright) to 1 (dark).
    Reverb(double decay, double damping, double preDelaySeconds);

    void process(double& left, double& right);

private:
    struct Comb {
        std::vector<double> buffer;
        std::size_t position = 0;
        double store = 0.0;
    };
    struct Allpass {
        std::vector<double> buffer;
        std::size_t position = 0;
    };
    struct Side {
        std::array<Comb, 8> combs;
        std::array<Allpass, 4> allpasses;
    };

    double runSide(Side& side, double input);

    double m_decay;
    double m_damping;
    std::vector<double> m_preDelay;
    std::size_t m_preDelayPosition = 0;
    Svf m_lowCut;
    Svf m_highCut;
    Side m_left;
    Side m_right;
};

// An echo that bounces between the sides: first left after `delayFrames`, then right, then left
// again, each repeat quieter and duller. Returns the echoes only.
class PingPongDelay {
public:
    PingPongDelay(int delayFrames, double feedback, double toneHertz);

    void process(double& left, double& right);

private:
    std::vector<double> m_left;
    std::vector<double> m_right;
    std::size_t m_position = 0;
    double m_feedback;
    Svf m_toneLeft;
    Svf m_toneRight;
};

} // namespace demokit
