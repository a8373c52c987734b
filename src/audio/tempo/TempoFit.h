// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

// A tempo from taps: a gap over two seconds starts over; the tempo is the median interval of
// the last taps, from the second tap on.
class TapTempo {
public:
    void tap(double seconds);
    std::optional<double> bpm() const;
    void reset() { m_taps.clear(); }

private:
    std::vector<double> m_taps;
};
