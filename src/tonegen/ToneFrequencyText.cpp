// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneFrequencyText.h"

#include <cctype>
#include <cmath>
#include <string>

namespace ToneFrequencyText {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// At most nine digits: exact in a double, and no exception to guard against.
double valueOf(const std::string& digits)
{
    double value = 0.0;
    for (const char c : digits)
        value = value * 10.0 + (c - '0');
    return value;
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

} // namespace

std::optional<int> Parse(std::string_view text)
{
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && isBlank(text[at]))
            ++at;
    };
    // Digits beyond these are no frequency of this generator.
    constexpr std::size_t kMostDigits = 9;
    const auto readDigits = [&](std::string& digits) {
        while (at < text.size() && isDigit(text[at]))
            digits += text[at++];
        return digits.size() <= kMostDigits;
    };

    skipBlanks();
    std::string whole;
    std::string fraction;
    bool separated = false;
    if (!readDigits(whole))
        return std::nullopt;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        separated = true;
        ++at;
        if (!readDigits(fraction))
            return std::nullopt;
    }
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    if (separated && fraction.empty())
        return std::nullopt; // "1." or "1,": unfinished

    skipBlanks();
    const std::string unit = lowerCase(text.substr(at));
    std::string_view rest = unit;
    while (!rest.empty() && isBlank(rest.back()))
        rest.remove_suffix(1);
    const bool kilo = rest == "k" || rest == "khz";
    if (!kilo && !rest.empty() && rest != "hz")
        return std::nullopt;

    const double wholeValue = valueOf(whole);
    double value = wholeValue;
    if (!fraction.empty()) {
        if (!kilo && fraction.size() == 3 && !whole.empty())
            value = wholeValue * 1000.0 + valueOf(fraction); // a thousands group
        else
            value = wholeValue + valueOf(fraction) / std::pow(10.0, fraction.size());
    }
    if (kilo)
        value *= 1000.0;
    const double rounded = std::nearbyint(value);
    if (rounded < kLowest || rounded > kHighest)
        return std::nullopt;
    return static_cast<int>(rounded);
}

} // namespace ToneFrequencyText
