// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

double LeadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Gather the digits as plain ASCII in the form "int.frac" so that the conversion below
    // rounds correctly and never depends on the user's locale (a German decimal comma).
    std::string digits;
    bool anyDigit = false;
    bool seenPoint = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            digits.push_back(static_cast<char>(c));
            anyDigit = true;
        } else if (c == u'.' && !seenPoint) {
            digits.push_back('.');
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return 0.0;
    if (digits.front() == '.')
        digits.insert(digits.begin(), '0');

    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                              std::chars_format::fixed);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large for a double when a non-zero digit comes before the point, else too small.
        const auto firstNonZero = digits.find_first_not_of('0');
        const bool large = firstNonZero != std::string::npos && digits[firstNonZero] != '.';
        value = large ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        return 0.0;
    }
    if (value == 0.0)
        return 0.0; // never a negative zero: it would print as "-0"
    return negative ? -value : value;
}

int RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    const double below = std::floor(value);
    const double fraction = value - below;
    const bool up = fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0);
    return static_cast<int>(up ? below + 1.0 : below);
}

QString NumberToText(double value)
{
    if (!std::isfinite(value) || value == 0.0)
        return QStringLiteral("0");
    // Whole numbers print exactly, however large (a double holds them exactly up to 2^53).
    if (std::trunc(value) == value && std::fabs(value) < 9007199254740992.0)
        return QString::number(static_cast<qint64>(value));

    char buffer[400]; // the widest fixed-notation double has 309 integer digits
    std::to_chars_result result{};
    // Knob positions are single-precision values: float arithmetic leaves them as 1650.0000001
    // and the like, which should read "1650". The shortest text that reads back as the same
    // single-precision value gives that; numbers beyond float range keep double precision.
    if (std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max()))
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value),
                               std::chars_format::fixed);
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QStringLiteral("0");
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    // A value too small for a float became zero, possibly negative zero.
    if (text == u"0" || text == u"-0")
        return QStringLiteral("0");
    return text;
}
