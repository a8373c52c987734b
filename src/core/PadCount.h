// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How many sample pads Quendel has: the bar's two rows of 14, numbered 1 to 28 for the user
// ("Sample 1".."Sample 28" in the settings file, "Pad 1".."Pad 28" among the triggers) and 0 to 27
// in code. The skin, the deck, the triggers, MIDI and the settings window all count pads by this
// one number.
inline constexpr int kPadCount = 28;
