// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneRange.h"

#include "ToneScale.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ToneRange {
namespace {

// The printed scale reads ScaleToFrequency(left - 39): 1 Hz at the left stop.
constexpr int kScaleOrigin = kMarkerMinLeft - 1;
constexpr int kTravel = kMarkerMaxLeft - kMarkerMinLeft;

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

Span SpanOf(Range range)
{
    switch (range) {
    case Range::Low:
        return {1, 500};
    case Range::Middle:
        return {300, 3000};
    case Range::Full:
        return {20, 20000};
    case Range::Scale:
        break;
    }
    return {ToneScale::ScaleToFrequency(kMarkerMinLeft - kScaleOrigin),
            ToneScale::ScaleToFrequency(kMarkerMaxLeft - kScaleOrigin)};
}

int FrequencyAt(Range range, int markerLeft)
{
    const int left = std::clamp(markerLeft, kMarkerMinLeft, kMarkerMaxLeft);
    if (range == Range::Scale)
        return ToneScale::ScaleToFrequency(left - kScaleOrigin);
    const Span span = SpanOf(range);
    const double share = static_cast<double>(left - kMarkerMinLeft) / kTravel;
    const double frequency = span.low * std::pow(static_cast<double>(span.high) / span.low, share);
    return std::clamp(static_cast<int>(std::nearbyint(frequency)), span.low, span.high);
}

int MarkerLeftFor(Range range, int frequency)
{
    const Span span = SpanOf(range);
    if (frequency <= span.low)
        return kMarkerMinLeft;
    if (frequency >= span.high)
        return kMarkerMaxLeft;
    if (range != Range::Scale) {
        const double share = std::log(static_cast<double>(frequency) / span.low) /
                             std::log(static_cast<double>(span.high) / span.low);
        return kMarkerMinLeft + static_cast<int>(std::nearbyint(share * kTravel));
    }
    // The scale's curve rises over the travel, so the first left that reaches the frequency is
    // found by bisection; low stays below it, high reaches it.
    int low = kMarkerMinLeft;
    int high = kMarkerMaxLeft;
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        if (FrequencyAt(Range::Scale, middle) >= frequency)
            high = middle;
        else
            low = middle;
    }
    return high;
}

std::string_view Caption(Range range)
{
    switch (range) {
    case Range::Low:
        return "1 Hz - 500 Hz";
    case Range::Middle:
        return "300 Hz - 3 kHz";
    case Range::Full:
        return "20 Hz - 20 kHz";
    case Range::Scale:
        break;
    }
    return {};
}

std::optional<Range> FromCaption(std::string_view text)
{
    text = trimmed(text);
    for (const Range range : kChoices) {
        if (sameIgnoringCase(text, Caption(range)))
            return range;
    }
    return std::nullopt;
}

} // namespace ToneRange
