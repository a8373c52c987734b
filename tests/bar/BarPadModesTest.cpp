// SPDX-License-Identifier: GPL-3.0-or-later
// One-shot and gate pads as a musician plays them over a loop: the loop plays on under them, a
// one-shot plays once (again from its start when pressed again), a gate sounds while held.

#include "BarTestSupport.h"
#include "core/SettingsStore.h"
#include "deck/PadShots.h"

#include <cmath>

namespace {

// Small steps: the loop runs 20000 frames.
constexpr float kStep = 1.0f / 100000.0f;

class BarPadModes : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        writeSetting("Volume", "100");
        ASSERT_TRUE(
            WriteTestSound(folder->soundsFolder() + "Loop.wav", Tagged(0.1f, 20000, kStep)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Hit.wav", Tagged(0.3f, 600, kStep)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Pad.wav", Constant(0.2f, 3000)));
        bind(0, "Loop.wav");
        bind(1, "Hit.wav");
        bind(2, "Pad.wav");
        mode(1, "one-shot");
        mode(2, "Gate"); // as typed by hand
    }
    void mode(int pad, const char* text) const
    {
        WriteSetting("Samples", QStringLiteral("Mode %1").arg(pad + 1), text,
                     folder->settingsFile());
    }
    std::vector<float> left(int frames) { return RenderLeft(frames); }
    static float loopAt(int frame) { return 0.1f + static_cast<float>(frame) / 100000.0f; }
};

TEST_F(BarPadModes, AOneShotPlaysOnceOverTheLoopAndAPressAgainRestartsIt)
{
    click(0);
    left(1000);
    click(1);
    std::vector<float> mix = left(400);
    EXPECT_NEAR(mix[399], loopAt(1399) + 0.3f + 399 / 100000.0f, 1e-4f) << "loop and hit";
    EXPECT_EQ(bar->Deck.activeDeckPad(), 0) << "the loop is still the playing pad";
    EXPECT_EQ(litPads(), std::vector<int>{0}) << "the hit lit only while held";

    click(1); // again, before its end: from its first frame, not a second one on top
    mix = left(300);
    EXPECT_NEAR(mix[299], loopAt(1699) + 0.3f + 299 / 100000.0f, 1e-4f);
    EXPECT_EQ(bar->Deck.shots().sounding(), 1);

    mix = left(600); // its 600 frames are over: the loop alone
    EXPECT_NEAR(mix[599], loopAt(2299), 1e-4f);
    EXPECT_EQ(bar->Deck.shots().sounding(), 0);
    EXPECT_EQ(bar->Deck.activeDeckPad(), 0);
}

TEST_F(BarPadModes, AGateSoundsWhileHeldLoopingAndFadesOutOnReleaseWithoutAClick)
{
    click(0);
    left(1000);
    press(2);
    EXPECT_EQ(litPads(), (std::vector<int>{0, 2}));
    std::vector<float> mix = left(4000); // longer than its file: it loops while held
    EXPECT_NEAR(mix[3999], loopAt(4999) + 0.2f, 1e-4f);
    release(2);
    EXPECT_EQ(litPads(), std::vector<int>{0});
    mix = left(2000);
    float largestStep = 0.0f;
    for (std::size_t i = 1; i < mix.size(); ++i)
        largestStep = std::max(largestStep, std::fabs(mix[i] - mix[i - 1]));
    EXPECT_LT(largestStep, 0.01f) << "a fade, not a cut";
    EXPECT_NEAR(mix[1999], loopAt(6999), 1e-4f) << "the loop alone, where it was";
    EXPECT_EQ(bar->Deck.shots().sounding(), 0);
}

TEST_F(BarPadModes, SixteenSoundAtOnceTheOldestGivesWayAndStopSilencesThemAll)
{
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Long.wav", Constant(0.01f, 40000)));
    for (int pad = 3; pad < 3 + PadShots::kVoices + 1; ++pad) {
        bind(pad, "Long.wav");
        mode(pad, "one-shot");
    }
    mode(3 + PadShots::kVoices + 1, "nonsense"); // reads as a loop
    bind(3 + PadShots::kVoices + 1, "Loop.wav");
    for (int pad = 3; pad < 3 + PadShots::kVoices + 1; ++pad)
        click(pad);
    left(256);
    EXPECT_EQ(bar->Deck.shots().sounding(), PadShots::kVoices);
    EXPECT_FALSE(bar->Deck.shots().sounds(3)) << "the first gave way to the seventeenth";
    EXPECT_TRUE(bar->Deck.shots().sounds(3 + PadShots::kVoices));

    click(3 + PadShots::kVoices + 1);
    EXPECT_EQ(bar->Deck.activeDeckPad(), 3 + PadShots::kVoices + 1);
    EXPECT_EQ(bar->Deck.shots().sounding(), PadShots::kVoices) << "a loop leaves them sounding";
    bar->Deck.silence(); // as the tuner's page and STOP do
    left(1500);
    EXPECT_EQ(bar->Deck.shots().sounding(), 0);
}

} // namespace
