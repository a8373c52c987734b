// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string_view>

// The marker's travel over the frequency scale (its left edge from 40 to 710) and the frequencies
// it covers. Until the user picks a range from the popup menu the marker follows the scale the
// skin prints; a picked range spreads its own span logarithmically over the same travel.
namespace ToneRange {

inline constexpr int kMarkerMinLeft = 40;
inline constexpr int kMarkerMaxLeft = 710;

enum class Range {
    Scale,  // the printed scale: 1 Hz at the left stop, 10960 Hz at the right
    Low,    // 1 Hz - 500 Hz
    Middle, // 300 Hz - 3 kHz
    Full,   // 20 Hz - 20 kHz
};

// The ranges the popup menu offers, in its order.
inline constexpr std::array<Range, 3> kChoices{Range::Low, Range::Middle, Range::Full};

struct Span {
    int low;
    int high;
};
// The frequencies at the marker's two stops.
Span SpanOf(Range range);

// The frequency at a marker left (clamped to the travel).
int FrequencyAt(Range range, int markerLeft);

// Where the marker stands for a frequency: on the printed scale the first left that reaches it
// (the points the frequency menu has always used: 20 Hz at 64, 1000 Hz at 224), in a picked range
// the nearest left. Frequencies beyond either end put the marker at that stop.
int MarkerLeftFor(Range range, int frequency);

// The menu's caption of a picked range ("300 Hz - 3 kHz"), which is also how the settings file
// stores it; empty for the printed scale.
std::string_view Caption(Range range);

// The range whose caption the text is, ignoring case and surrounding blanks; nothing for any
// other text.
std::optional<Range> FromCaption(std::string_view text);

} // namespace ToneRange
