// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrequencyScale.h"

#include "skin/SkinLayout.h"

namespace FrequencyScale {

int markerLeftFor(double frequency)
{
    // The curve rises monotonically over the marker's travel, so the first left that reaches the
    // frequency is found by bisection.
    int low = SkinLayout::kMarkerMinLeft;
    int high = SkinLayout::kMarkerMaxLeft;
    if (ScaleToFrequency(low - 39) >= frequency)
        return low;
    if (ScaleToFrequency(high - 39) < frequency)
        return high;
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        if (ScaleToFrequency(middle - 39) >= frequency)
            high = middle;
        else
            low = middle;
    }
    return high;
}

int markColumnFor(double frequency)
{
    return markerLeftFor(frequency) + kPointerOffset;
}

} // namespace FrequencyScale
