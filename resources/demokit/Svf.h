// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace demokit {

// A two-pole state-variable filter in trapezoidal form: it stays stable and in tune even when its
// cutoff moves every sample, which the synth voices' filter sweeps rely on.
class Svf {
public:
    struct Outputs {
        double low;
        double band;
        double high;
    };

    Svf() { setCutoff(1000.0, 0.7071); }

    // `resonance` is the filter's Q: 0.7071 is flat, higher values ring at the cutoff.
    void setCutoff(double hertz, double resonance);
    Outputs process(double input);
    double lowpass(double input) { return process(input).low; }
    double highpass(double input) { return process(input).high; }
    double bandpass(double input) { return process(input).band; }
    void reset() { m_state1 = m_state2 = 0.0; }

private:
    double m_a1 = 0.0;
    double m_a2 = 0.0;
    double m_a3 = 0.0;
    double m_damping = 0.0;
    double m_state1 = 0.0;
    double m_state2 = 0.0;
};

} // namespace demokit
