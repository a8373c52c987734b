// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SliderScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace SliderScale;

TEST(SliderScale, ADragIsRefusedWhenAnyPartOfTheKnobWouldLeaveTheTrack)
{
    EXPECT_EQ(DragTarget(2625, 90, 75, 238), 2640.0f);
    EXPECT_EQ(DragTarget(15, 60, 75, 238), 0.0f);
    EXPECT_EQ(DragTarget(15, 59.5f, 75, 238), std::nullopt);
    EXPECT_EQ(DragTarget(3270, 90, 75, 238), 3285.0f);
    EXPECT_EQ(DragTarget(3270, 90.5f, 75, 238), std::nullopt);
    // The end follows the track's width and the knob's.
    EXPECT_EQ(DragTarget(0, 3000, 0, 200, 0), 3000.0f);
    EXPECT_EQ(DragTarget(0, 3001, 0, 200, 0), std::nullopt);
    EXPECT_EQ(DragTarget(0, 2701, 0, 200, 300), std::nullopt);
    // A knob placed out of reach by a damaged settings file cannot be dragged.
    constexpr float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(DragTarget(inf, 0, 75, 238), std::nullopt);
    EXPECT_EQ(DragTarget(-inf, 0, 75, 238), std::nullopt);
    EXPECT_EQ(DragTarget(0, std::nanf(""), 0, 238), std::nullopt);
}

TEST(SliderScale, ValuesFollowTheFixedDivisor)
{
    // The divisor stays 78 on a wider track: the values go beyond 100.
    EXPECT_EQ(VolumeAt(3285, 300), 126);
    EXPECT_EQ(PanAt(3285, 300), 152);
    EXPECT_EQ(VolumeAt(-15, 238), -1); // rounded down, not towards zero
    EXPECT_EQ(PanAt(1950, 238), 19);   // 119 exactly, despite 4.76 having no exact binary form
}

TEST(SliderScale, OutOfRangeNumbersBecomeInfiniteSinglePrecision)
{
    EXPECT_EQ(ToSingle(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ToSingle(-1e300), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(ToSingle(1650.3), 1650.3f);
}

TEST(SliderScale, AnEndlessValueSnapsToTheRight)
{
    const auto snap = SnapPan(std::numeric_limits<double>::infinity());
    ASSERT_TRUE(snap.has_value());
    EXPECT_EQ(snap->knobLeft, 3285.0f);
    EXPECT_EQ(snap->value, 100);
}

} // namespace
