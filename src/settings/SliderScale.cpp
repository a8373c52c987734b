// SPDX-License-Identifier: GPL-3.0-or-later
#include "SliderScale.h"

#include <cmath>
#include <limits>

namespace SliderScale {

float ToSingle(double value)
{
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (value > kLargest)
        return std::numeric_limits<float>::infinity();
    if (value < -kLargest)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

std::optional<float> DragTarget(float knobLeft, float x, float grabX, int trackWidthPx,
                                float knobWidthTwips)
{
    const float newLeft = knobLeft + x - grabX;
    if (!(newLeft >= 0))
        return std::nullopt;
    const double lastLeftPx = trackWidthPx - static_cast<double>(knobWidthTwips) / kTwipsPerPixel;
    if (static_cast<double>(newLeft) / kTwipsPerPixel > lastLeftPx)
        return std::nullopt;
    return newLeft;
}

double VolumeAt(double knobLeft, int trackWidthPx)
{
    return std::floor(knobLeft * (trackWidthPx / 100.0) / 78.0);
}

double PanAt(double knobLeft, int trackWidthPx)
{
    return std::floor(knobLeft * (trackWidthPx / 50.0) / 78.0) - 100.0;
}

std::optional<PanSnap> SnapPan(double value)
{
    if (value > 85)
        return PanSnap{kPanRightEnd, 100};
    if (value < -85)
        return PanSnap{kPanLeftEnd, -100};
    if (value > -15 && value < 15)
        return PanSnap{kPanCentre, 0};
    return std::nullopt;
}

} // namespace SliderScale
