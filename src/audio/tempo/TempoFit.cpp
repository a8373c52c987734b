// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoFit.h"

#include <algorithm>

void TapTempo::tap(double seconds)
{
    if (!m_taps.empty() && (seconds - m_taps.back() > 2.0 || seconds <= m_taps.back()))
        m_taps.clear();
    m_taps.push_back(seconds);
    if (m_taps.size() > 9)
        m_taps.erase(m_taps.begin());
}

std::optional<double> TapTempo::bpm() const
{
    if (m_taps.size() < 2)
        return std::nullopt;
    std::vector<double> gaps;
    for (std::size_t i = 1; i < m_taps.size(); ++i)
        gaps.push_back(m_taps[i] - m_taps[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2), gaps.end());
    return 60.0 / gaps[gaps.size() / 2];
}
