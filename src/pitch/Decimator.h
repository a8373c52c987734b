// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace pitch {

// Lowers the rate of the input by a whole factor before pitch analysis: a linear-phase low-pass
// (Blackman-windowed sinc, cut at 80 % of the new Nyquist frequency) followed by keeping every
// factor-th sample. Only the kept samples are computed. A factor of 1 still filters, so the
// analysis always sees a band-limited signal that it can interpolate between samples.
class Decimator {
public:
    explicit Decimator(int factor);

    int factor() const { return m_factor; }
    int taps() const { return static_cast<int>(m_coefficients.size()); }

    // Takes one input sample. Returns true and sets out when an output sample is due.
    bool push(float in, float& out);
    void reset();

private:
    int m_factor = 1;
    std::vector<float> m_coefficients;
    std::vector<float> m_history; // the last taps() inputs, stored twice so a window never wraps
    int m_write = 0;
    int m_phase = 0;
};

} // namespace pitch
