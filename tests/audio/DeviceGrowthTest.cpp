// SPDX-License-Identifier: GPL-3.0-or-later
// The engine on a device of the test's own: the test is the device's thread and pulls blocks;
// the device reports underruns when the test says so.

#include "AudioTestSupport.h"
#include "support/FakeDevice.h"

using namespace audiotest;

namespace {

class DeviceGrowthTest : public ::testing::Test {
protected:
    void TearDown() override { control.TerminateBASS(); }
    void start(const char* setting)
    {
        testEngine->host().setBufferSetting(ParseBufferSetting(setting));
        control.InitBASS(0, 44100, false, false);
        ASSERT_STREQ(testEngine->host().deviceName(), "fake");
    }
    bool grownTo(int growths)
    {
        state.pullUntil([&] { return testEngine->host().bufferGrowths() >= growths; });
        return testEngine->host().bufferGrowths() == growths;
    }

    FakeDeviceState state;
    TestEngine testEngine{FakeDeviceOptions(state)};
    AudioControl control{*testEngine};
    TempDir dir;
};

} // namespace

TEST_F(DeviceGrowthTest, RepeatedUnderrunsGrowAnAutomaticBufferInPlaceOneStepAtATime)
{
    start("auto");
    EXPECT_EQ(state.openedWith.front(), DefaultBufferPlan());
    state.underruns = 1;
    state.pullUntil([&] { return testEngine->host().underruns() == 1; });
    EXPECT_EQ(testEngine->host().bufferGrowths(), 0); // a lone underrun is borne

    state.underruns = 2;
    ASSERT_TRUE(grownTo(1));
    ASSERT_EQ(state.resizedTo.size(), 1u);
    EXPECT_EQ(state.resizedTo[0], *LargerBufferPlan(DefaultBufferPlan()));
    EXPECT_EQ(testEngine->host().bufferPlan(), state.resizedTo[0]);
    EXPECT_EQ(testEngine->host().underruns(), 2u);
    EXPECT_EQ(state.opens, 1); // grown while playing, never reopened
}

TEST_F(DeviceGrowthTest, AFixedBufferNeverGrows)
{
    start("512x2");
    EXPECT_EQ(state.openedWith.front(), (BufferPlan{512, 2}));
    state.underruns = 5;
    state.pullUntil([&] { return testEngine->host().underruns() == 5; });
    // Long enough for housekeeping to have looked many times.
    for (int i = 0; i < 50; ++i)
        state.pull(256);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(testEngine->host().bufferGrowths(), 0);
    EXPECT_TRUE(state.resizedTo.empty());
    EXPECT_EQ(state.opens, 1);
}

TEST_F(DeviceGrowthTest, ADeviceThatCannotGrowInPlaceIsReopenedBreathingNotClicking)
{
    state.resizable = false;
    const std::string path = dir.file("level.wav");
    ASSERT_TRUE(WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100,
                           std::vector<float>(44100, 0.5f)));
    start("auto");
    control.OpenSample(path);
    control.PlaySample(true);
    state.pullUntil([&] {
        const auto block = state.pull(256);
        return !block.empty() && block[0] == 0.5f;
    });
    state.underruns = 2;
    const auto blocks = state.pullUntil([&] { return state.opens == 2; });
    ASSERT_EQ(state.opens, 2);
    EXPECT_EQ(state.openedWith[1], *LargerBufferPlan(DefaultBufferPlan()));

    // Through the reopen the level falls to silence and rises again in steps no larger than a
    // 256-frame fade makes.
    std::vector<float> left;
    for (const auto& block : blocks)
        for (std::size_t i = 0; i < block.size(); i += 2)
            left.push_back(block[i]);
    eventually([&] { // the new device may call back a while before the host is ready for it
        const auto block = state.pull(256);
        for (std::size_t f = 0; f < block.size(); f += 2)
            left.push_back(block[f]);
        return !block.empty() && block.back() == 0.5f;
    });
    ASSERT_FALSE(left.empty());
    float largestStep = 0.0f;
    for (std::size_t i = 1; i < left.size(); ++i)
        largestStep = std::max(largestStep, std::fabs(left[i] - left[i - 1]));
    EXPECT_LE(largestStep, 0.5f / 255.0f * 1.01f);
    EXPECT_EQ(left.back(), 0.5f); // and then it plays on
    EXPECT_TRUE(control.SampleIsActive());
}
