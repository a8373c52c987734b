// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

TEST(LeadingNumber, TakesTheDecimalNumberAtTheStart)
{
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"62.5abc", 62.5}, {"abc", 0.0},  {"", 0.0},    {"  -37.5", -37.5}, {"\t80", 80.0},
        {".5", 0.5},       {"-.5", -0.5}, {"5.", 5.0},  {"1e5", 1.0},       {"+3", 3.0},
        {"1.2.3", 1.2},    {"-", 0.0},    {".", 0.0},   {"- 5", 0.0},       {"+-3", 0.0},
        {"2625", 2625.0},  {"007", 7.0},  {"1,5", 1.0}, {"12 34", 12.0},    {"-0", 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LeadingNumber(QString::fromLatin1(c.text)), c.expected);
    }
    EXPECT_FALSE(std::signbit(LeadingNumber(u"-0.0"))); // would print as "-0"
}

TEST(LeadingNumber, SurvivesNumbersBeyondDoubleRange)
{
    EXPECT_EQ(LeadingNumber(QString(400, u'9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(LeadingNumber(u'-' + QString(400, u'9')), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(LeadingNumber(QStringLiteral("0.") + QString(400, u'0') + u'1'), 0.0);
    EXPECT_EQ(RoundHalfEven(LeadingNumber(QString(400, u'9'))), INT_MAX);
}

TEST(RoundHalfEven, SendsExactHalvesToTheEvenNeighbour)
{
    const struct {
        double value;
        int expected;
    } cases[] = {
        {62.5, 62},
        {63.5, 64},
        {-37.5, -38},
        {-36.5, -36},
        {0.5, 0},
        {-0.5, 0},
        {1.5, 2},
        {62.49, 62},
        {62.51, 63},
        {-62.51, -63},
        {100, 100},
        {0.0, 0},
        {1e300, INT_MAX},
        {-1e300, INT_MIN},
        {2147483647.4, INT_MAX},
        {-2147483648.6, INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RoundHalfEven(c.value), c.expected);
    }
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()), INT_MAX);
    EXPECT_EQ(RoundHalfEven(-std::numeric_limits<double>::infinity()), INT_MIN);
}

TEST(NumberToText, WritesShortDecimalTextWithoutExponent)
{
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {80, "80"},
        {-37.5, "-37.5"},
        {0, "0"},
        {-0.0, "0"},
        {2625, "2625"},
        {1650, "1650"},
        {1650.0000001, "1650"}, // float arithmetic on a knob position
        {static_cast<double>(2625.3f), "2625.3"},
        {0.1 + 0.2, "0.3"},
        {-100, "-100"},
        {1e20, nullptr},
        {123456789, "123456789"}, // whole numbers stay exact beyond float precision
        {0.001, "0.001"},
        {1e300, nullptr}, // long, but plain digits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const QString text = NumberToText(c.value);
        if (c.expected != nullptr) {
            EXPECT_EQ(text, QString::fromLatin1(c.expected));
        }
        EXPECT_FALSE(text.contains(u'e'));
    }
    EXPECT_EQ(NumberToText(std::nan("")), QStringLiteral("0"));
    EXPECT_EQ(NumberToText(std::numeric_limits<double>::infinity()), QStringLiteral("0"));
}

TEST(NumberToText, ReadsBackAsTheSameSinglePrecisionValue)
{
    for (const float value : {2625.0f, 1650.0f, 37.125f, -1234.5677f, 0.333333f, 3.4e38f}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(static_cast<float>(LeadingNumber(NumberToText(value))), value);
    }
}

} // namespace
