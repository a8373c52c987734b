// SPDX-License-Identifier: GPL-3.0-or-later
#include "tonegen/ToneDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(ToneDisplay, HalvesTheFrequencyUntilAPeriodIsTwentyPixelsWide)
{
    struct Case {
        int frequency;
        int shown;
    };
    // 50 Hz halves to 25 and then to 12 (integer halving), not 12.5.
    for (const Case c : {Case{1, 1}, Case{20, 20}, Case{21, 10}, Case{50, 12}, Case{100, 12},
                         Case{250, 15}, Case{1000, 15}, Case{10960, 10}, Case{0, 0}})
        EXPECT_EQ(ToneDisplay::DisplayedFrequency(c.frequency, 400), c.shown) << c.frequency;
    EXPECT_EQ(ToneDisplay::DisplayedFrequency(2000000000, 400), 14); // no overflow on the way
}

class ToneDisplayPicture : public ::testing::Test {
protected:
    QImage face{400, 136, QImage::Format_RGB32};
    ToneDisplay display;

    QRgb at(int x, int y) const { return face.pixel(x, y); }
    // Rows of column x that the curve covers.
    std::vector<int> curveRows(int x) const
    {
        std::vector<int> rows;
        for (int y = 0; y < face.height(); ++y)
            if (at(x, y) == ToneDisplay::kCurve.rgb())
                rows.push_back(y);
        return rows;
    }
    int countInRow(int y, const QColor& colour) const
    {
        int count = 0;
        for (int x = 0; x < face.width(); ++x)
            count += at(x, y) == colour.rgb() ? 1 : 0;
        return count;
    }
};

TEST_F(ToneDisplayPicture, AtSilenceEverythingLiesOnTheZeroLine)
{
    display.draw(face, 1000, 0.0f, 1.0f);
    EXPECT_EQ(countInRow(68, ToneDisplay::kCurve), 400);
    for (int y : {0, 14, 67, 69, 122, 135})
        EXPECT_EQ(countInRow(y, ToneDisplay::kBackground), 400) << y;
}

TEST_F(ToneDisplayPicture, TheCurveStartsOnTheZeroLineRisesAndTouchesTheLevelLines)
{
    display.draw(face, 1000, 0.8f, 1.0f);
    // Level lines at (1 - 0.8) x 68 = 13.6 and (1 + 0.8) x 68 = 122.4.
    EXPECT_GT(countInRow(14, ToneDisplay::kLevelLines), 300);
    EXPECT_GT(countInRow(122, ToneDisplay::kLevelLines), 300);
    EXPECT_GT(countInRow(68, ToneDisplay::kZeroLine), 300);
    EXPECT_EQ(at(0, 68), ToneDisplay::kCurve.rgb());
    for (int x = 1; x <= 3; ++x) {
        const std::vector<int> rows = curveRows(x);
        ASSERT_FALSE(rows.empty()) << x;
        EXPECT_LE(rows.back(), 68) << "the curve rises first, column " << x;
    }
    int top = face.height(), bottom = 0;
    for (int x = 0; x < face.width(); ++x) {
        for (int y : curveRows(x)) {
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    EXPECT_EQ(top, 14);
    EXPECT_EQ(bottom, 122);
    EXPECT_EQ(at(200, 0), ToneDisplay::kBackground.rgb());
}

TEST_F(ToneDisplayPicture, ShowsTheDisplayedNumberOfPeriods)
{
    for (const int frequency : {1, 20, 50, 1000, 10960}) {
        display.draw(face, frequency, 1.0f, 1.0f);
        // Crests: columns where the curve reaches the top row's neighbourhood, counted once per
        // run of columns.
        int crests = 0;
        bool inCrest = false;
        for (int x = 0; x < face.width(); ++x) {
            const std::vector<int> rows = curveRows(x);
            const bool high = !rows.empty() && rows.front() <= 3;
            crests += high && !inCrest ? 1 : 0;
            inCrest = high;
        }
        EXPECT_EQ(crests, ToneDisplay::DisplayedFrequency(frequency, 400)) << frequency;
    }
}

} // namespace
