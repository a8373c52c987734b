// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrequencyScale.h"
#include "skin/SkinLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// The frequency menu puts the marker at these lefts; the scale's marks must sit exactly where the
// marker then points, or the menu and the printed scale would disagree.
TEST(FrequencyScale, MarksAgreeWithTheFrequencyMenu)
{
    struct Entry {
        double frequency;
        int markerLeft;
    };
    for (const Entry e : {Entry{20, 64}, Entry{50, 79}, Entry{80, 90}, Entry{100, 96},
                          Entry{250, 130}, Entry{500, 169}, Entry{1000, 224}}) {
        EXPECT_EQ(FrequencyScale::markerLeftFor(e.frequency), e.markerLeft) << e.frequency;
        EXPECT_EQ(FrequencyScale::markColumnFor(e.frequency),
                  e.markerLeft + FrequencyScale::kPointerOffset)
            << e.frequency;
    }
}

TEST(FrequencyScale, MarkerLeftIsTheFirstThatReachesTheFrequency)
{
    for (double frequency : {2.0, 7.0, 333.0, 4321.0, 10000.0}) {
        const int left = FrequencyScale::markerLeftFor(frequency);
        EXPECT_GE(FrequencyScale::ScaleToFrequency(left - 39), frequency);
        EXPECT_LT(FrequencyScale::ScaleToFrequency(left - 40), frequency);
    }
}

TEST(FrequencyScale, FrequenciesOffTheScaleStayOnTheMarkersTravel)
{
    EXPECT_EQ(FrequencyScale::markerLeftFor(0.0), SkinLayout::kMarkerMinLeft);
    EXPECT_EQ(FrequencyScale::markerLeftFor(-5.0), SkinLayout::kMarkerMinLeft);
    EXPECT_EQ(FrequencyScale::markerLeftFor(10960.0), SkinLayout::kMarkerMaxLeft);
    EXPECT_EQ(FrequencyScale::markerLeftFor(20000.0), SkinLayout::kMarkerMaxLeft);
    const int nanLeft = FrequencyScale::markerLeftFor(std::numeric_limits<double>::quiet_NaN());
    EXPECT_GE(nanLeft, SkinLayout::kMarkerMinLeft);
    EXPECT_LE(nanLeft, SkinLayout::kMarkerMaxLeft);
}

} // namespace
