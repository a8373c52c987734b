// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tonegen/ToneScale.h"

// The tone generator's frequency scale as the skin prints it. The marker is a picture whose left
// edge runs from 40 to 710; at left L the tone is ScaleToFrequency(L - 39). The marker points with
// a hairline at a fixed column inside its picture, so the scale mark for a frequency belongs at
// the column the hairline covers when the marker sits where that frequency begins.
namespace FrequencyScale {

// Column of the marker's pointer inside the 71-pixel marker picture.
inline constexpr int kPointerOffset = 35;

// The window's own frequency curve, so that the printed scale and the tone always agree.
using ToneScale::ScaleToFrequency;

// The smallest marker left (40..710) whose frequency reaches the given one; 710 for frequencies
// beyond the scale, 40 for those below it. These are the lefts the frequency menu puts the
// marker at (20 Hz at 64, 1000 Hz at 224).
int markerLeftFor(double frequency);

// The image column where the scale's mark for the frequency is printed.
int markColumnFor(double frequency);

} // namespace FrequencyScale
