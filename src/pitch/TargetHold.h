// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pitch/PitchDetector.h"
#include "pitch/Tuning.h"

namespace pitch {

// What the tuner's face shows from the detector's readings.
struct HeldTarget {
    bool parked = true;     // nothing rings: the needle rests, no string is named
    Target target;          // the string or note shown, with the latest deviation in cents
    double frequency = 0.0; // Hz of the reading shown
};

// Keeps the shown string steady while one string rings.
//
// A reading that lies nearer another string takes over only when it is clearly nearer (by
// kSwitchMarginCents) for kSwitchReadings readings in a row; until then the display keeps its
// last value, so a stray harmonic or a retuned string near the boundary does not make the name
// flicker. Readings without pitch shorter than kParkAfterSeconds are bridged; longer silence
// parks the display, and the next note is taken at once.
class TargetHold {
public:
    static constexpr double kParkAfterSeconds = 0.3;
    static constexpr int kSwitchReadings = 3;
    static constexpr double kSwitchMarginCents = 30.0;

    // seconds: the time of the reading on any steady clock (frames heard / rate will do).
    const HeldTarget& update(const Tuning& tuning, const PitchReading& reading, double seconds);
    const HeldTarget& current() const { return m_held; }
    void reset();

private:
    void take(const Tuning& tuning, const Target& target, double frequency);

    HeldTarget m_held;
    Tuning m_tuning;
    double m_lastHeard = 0.0;
    Target m_candidate;
    int m_candidateCount = 0;
};

} // namespace pitch
