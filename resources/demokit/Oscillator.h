// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace demokit {

// A sawtooth or pulse oscillator whose jumps are smoothed by a polynomial band-limited step, so
// its high notes do not fold back into the audible band as inharmonic whistles.
class Oscillator {
public:
    explicit Oscillator(double hertz, double startPhase = 0.0);

    void setFrequency(double hertz);
    // Both advance the oscillator by one sample.
    double saw();
    // A pulse with the given duty cycle (0.5 is a square wave).
    double pulse(double width);
    // A plain sine at the same phase, for sub tones.
    double sine();

private:
    double m_phase = 0.0; // 0 to 1
    double m_increment = 0.0;
};

} // namespace demokit
