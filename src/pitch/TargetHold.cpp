// SPDX-License-Identifier: GPL-3.0-or-later
#include "TargetHold.h"

#include <cmath>

namespace pitch {

namespace {
bool sameTarget(const Target& a, const Target& b)
{
    return a.note == b.note && a.string == b.string;
}
} // namespace

void TargetHold::reset()
{
    m_held = HeldTarget{};
    m_candidateCount = 0;
}

void TargetHold::take(const Tuning& tuning, const Target& target, double frequency)
{
    m_held.parked = false;
    m_held.target = target;
    m_held.frequency = frequency;
    m_tuning = tuning;
    m_candidateCount = 0;
}

const HeldTarget& TargetHold::update(const Tuning& tuning, const PitchReading& reading,
                                     double seconds)
{
    if (!reading.hasPitch || !(reading.frequency > 0.0)) {
        if (!m_held.parked && seconds - m_lastHeard >= kParkAfterSeconds)
            reset();
        return m_held;
    }
    m_lastHeard = seconds;
    const double frequency = reading.frequency;
    const Target nearest = tuning.nearestTarget(frequency);
    // A change of tuning or A4 names other strings: start afresh.
    if (m_held.parked || !(tuning == m_tuning)) {
        take(tuning, nearest, frequency);
        return m_held;
    }
    const Target held = tuning.targetFor(m_held.target.note, m_held.target.string, frequency);
    if (sameTarget(nearest, held) ||
        std::abs(held.cents) < std::abs(nearest.cents) + kSwitchMarginCents) {
        take(tuning, held, frequency);
        return m_held;
    }
    if (m_candidateCount > 0 && sameTarget(nearest, m_candidate))
        ++m_candidateCount;
    else {
        m_candidate = nearest;
        m_candidateCount = 1;
    }
    if (m_candidateCount >= kSwitchReadings)
        take(tuning, nearest, frequency);
    return m_held;
}

} // namespace pitch
