// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/host/BufferPlan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr long long kMs = 1'000'000;

struct SettingCase {
    const char* text;
    BufferSetting expected;
};

} // namespace

TEST(BufferSettingTest, ReadsAutoFramesAndPeriodsAndFallsBackToAutoOnNonsense)
{
    const BufferSetting automatic{true, DefaultBufferPlan()};
    const int periods = DefaultBufferPlan().periods;
    const SettingCase cases[] = {
        {"auto", automatic},
        {"", automatic},
        {"  AUTO ", automatic},
        {"256", {false, {256, periods}}},
        {" 256X3 ", {false, {256, 3}}},
        {"64x2", {false, {64, 2}}},
        {"5", {false, {16, periods}}},      // clamped to what a device can take
        {"100000x40", {false, {8192, 16}}}, // clamped
        {"256x1", {false, {256, 2}}},       // one period cannot be refilled while it plays
        {"abc", automatic},
        {"-5", automatic},
        {"0", automatic},
        {"256x", automatic},
        {"x3", automatic},
        {"12.5", automatic},
        {"256x3x2", automatic},
        {"99999999999999999999", automatic},
    };
    for (const SettingCase& c : cases)
        EXPECT_EQ(ParseBufferSetting(c.text), c.expected) << '"' << c.text << '"';
}

TEST(BufferSettingTest, TheAutomaticLadderClimbsToATopAndKeepsItsPeriods)
{
    BufferPlan plan = DefaultBufferPlan();
    int steps = 0;
    while (const auto larger = LargerBufferPlan(plan)) {
        EXPECT_GT(larger->totalFrames(), plan.totalFrames());
        EXPECT_EQ(larger->periods, plan.periods);
        plan = *larger;
        ++steps;
    }
    EXPECT_GE(steps, 4);
    // The top still answers a press within a tenth of a second at 44.1 kHz.
    EXPECT_LE(plan.totalFrames(), 8192);
}

TEST(BufferGrowthPolicyTest, GrowsOnASecondUnderrunWithinTheWindowOnly)
{
    BufferGrowthPolicy policy;
    EXPECT_FALSE(policy.onUnderrun(0));            // a lone one
    EXPECT_FALSE(policy.onUnderrun(25'000 * kMs)); // too far from the first
    EXPECT_TRUE(policy.onUnderrun(30'000 * kMs));  // repeated
    policy.onGrown(30'000 * kMs);
    EXPECT_FALSE(policy.onUnderrun(30'500 * kMs)); // the change itself settling
    EXPECT_FALSE(policy.onUnderrun(31'500 * kMs)); // counts afresh after the growth
    EXPECT_TRUE(policy.onUnderrun(35'000 * kMs));
}

class StarvationDetectorTest : public ::testing::Test {
protected:
    static constexpr int kRate = 44100;
    static constexpr int kPeriod = 256;
    static constexpr int kBuffer = 512;
    static constexpr double kPeriodNs = kPeriod * 1e9 / kRate;

    void SetUp() override { detector.reset(kRate, kBuffer); }

    // Refills `count` periods, each one period * stretch after the one before, give or take
    // its own jitter.
    template <typename Jitter> int refill(int count, double stretch, Jitter jitter)
    {
        int reports = 0;
        for (int i = 0; i < count; ++i) {
            m_clockNs += kPeriodNs * stretch;
            const auto at = static_cast<long long>(m_clockNs + jitter(i));
            reports += detector.onRefill(at, kPeriod) ? 1 : 0;
        }
        return reports;
    }
    int steady(int count)
    {
        return refill(count, 1.0, [](int) { return 0.0; });
    }
    void pause(double ms) { m_clockNs += ms * kMs; }

    StarvationDetector detector;
    double m_clockNs = 1e12;
};

TEST_F(StarvationDetectorTest, SteadyOrJitteryRefillsAreNoUnderrun)
{
    EXPECT_EQ(steady(1000), 0);
    // Each refill up to most of the slack late, in no order.
    EXPECT_EQ(refill(1000, 1.0, [](int i) { return ((i * 7919) % 100) / 100.0 * kPeriodNs; }), 0);
}

TEST_F(StarvationDetectorTest, ADeviceClockSlightlyOffTheSystemClockNeverAddsUpToAReport)
{
    // 200 ppm slow and fast, for ten minutes each: far more drift than the buffer holds.
    const int tenMinutes = static_cast<int>(600.0 * kRate / kPeriod);
    EXPECT_EQ(refill(tenMinutes, 1.0002, [](int) { return 0.0; }), 0);
    EXPECT_EQ(refill(tenMinutes, 0.9998, [](int) { return 0.0; }), 0);
}

TEST_F(StarvationDetectorTest, ARefillLaterThanTheWholeBufferIsOneUnderrun)
{
    steady(100);
    pause(20.0); // 12 ms of buffer: the device played 8 ms of silence
    EXPECT_EQ(steady(1), 1);
    EXPECT_EQ(steady(1000), 0); // playing on, later by the gap, is no new underrun
    pause(20.0);
    EXPECT_EQ(steady(1), 1);
}

TEST_F(StarvationDetectorTest, RefillsSlowerThanRealTimeStarveTheDevice)
{
    steady(100);
    // Rendering takes 10 % longer than the sound lasts: the slack runs out within a second.
    EXPECT_GE(refill(200, 1.1, [](int) { return 0.0; }), 1);
}
