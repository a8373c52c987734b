// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneScale.h"

#include <cmath>

namespace ToneScale {

int ScaleToFrequency(int position)
{
    const double factor = static_cast<double>(22.049f);
    const double p = position;
    const double value = p * factor * std::log(p / 1000.0 + 1.0) / std::log(2.0) + 1.0;
    if (!std::isfinite(value))
        return 0; // positions at or below -1000 lie off the curve
    // nearbyint rounds half to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(value));
}

} // namespace ToneScale
