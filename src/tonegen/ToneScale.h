// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The tone generator's frequency scale and its sine blocks: plain arithmetic, no widgets, shared
// by the window and by the skin painter that prints the scale.
namespace ToneScale {

// The scale's curve: p x 22.049 x log2(p / 1000 + 1) + 1, rounded half to even. The factor is a
// single-precision number (22.048999786...), the rest is double. Position 1 gives 1 Hz, 185 gives
// 1000 Hz, 671 (the marker's right stop) 10960 Hz and 1000 gives 22050 Hz, half the sample rate.
int ScaleToFrequency(int position);

} // namespace ToneScale
