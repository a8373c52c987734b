// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

// The arithmetic of the volume and pan sliders. Knob positions are in twips (15 to a pixel) and
// single precision, as they are stored in the settings file; track widths are in pixels.
namespace SliderScale {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr float kKnobWidthTwips = 285;

// Where the pan knob snaps to on release (fixed numbers, not taken from the track's width: the
// centre lies a little right of the middle of the knob's travel and reads pan 0).
inline constexpr float kPanLeftEnd = 0;
inline constexpr float kPanCentre = 1650;
inline constexpr float kPanRightEnd = 3285;

// A double as a single-precision knob position; a value beyond float range becomes infinite
// instead of undefined.
float ToSingle(double value);

// The knob's left after the mouse moved to x inside the knob (twips) when the knob was grabbed at
// grabX, or nothing when that would put any part of the knob outside its track. The knob follows
// the mouse, so the point grabbed stays under the pointer. A move past an end is refused rather
// than cut short: the knob stays where the last accepted move left it.
std::optional<float> DragTarget(float knobLeft, float x, float grabX, int trackWidthPx,
                                float knobWidthTwips = kKnobWidthTwips);

// The volume (0 to 100 with the design layout) and pan (-100 to 100) shown for a knob position.
// The divisor 78 is a fixed number: with a 238-pixel track the right end reads 100.2, shown 100.
double VolumeAt(double knobLeft, int trackWidthPx);
double PanAt(double knobLeft, int trackWidthPx);

// Where a released pan knob jumps to: the right end beyond 85, the left end below -85, the centre
// strictly between -15 and 15. Nothing when the value stays as it is.
struct PanSnap {
    float knobLeft;
    int value;
};
std::optional<PanSnap> SnapPan(double value);

} // namespace SliderScale
