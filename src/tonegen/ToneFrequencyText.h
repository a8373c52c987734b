// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

// What the user types into the frequency readout: a number with an optional unit.
namespace ToneFrequencyText {

inline constexpr int kLowest = 1;
inline constexpr int kHighest = 20000;

// The whole frequency in Hz (rounded to the nearest) that the text stands for, or nothing when
// the text is no frequency or lies outside 1 to 20000 Hz. Understood: "440", "440 Hz", "1k",
// "1.5 kHz", "1,5 kHz", case and blanks as the user likes. Without "k" a point or comma before
// exactly three digits groups thousands, as the readout itself shows them ("1.000 Hz",
// "10,960"); any other fraction is decimal ("27.5 Hz").
std::optional<int> Parse(std::string_view text);

} // namespace ToneFrequencyText
