// SPDX-License-Identifier: GPL-3.0-or-later
// Switching at the loop's end, as a musician plays it on the pads: the press lights the pad that
// waits, the sound changes on the cycle's last frame, and the lights follow.

#include "BarTestSupport.h"
#include "core/SettingsStore.h"
#include "settings/Settings.h"

#include <QComboBox>

namespace {

constexpr int kCycle = 1000; // frames of the playing loop

class BarSwitch : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        writeSetting("Volume", "100");
        writeSetting("Switch", "at loop end");
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "A.wav", Tagged(0.1f, kCycle)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "B.wav", Tagged(0.5f, 700)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "C.mp3", Constant(0.3f, 4410)));
        bind(0, "A.wav");
        bind(1, "B.wav");
        bind(2, "C.mp3");
    }

    std::vector<float> left(int frames) { return RenderLeft(frames); }
};

TEST_F(BarSwitch, AnotherPadWaitsLitAndStartsOnTheFrameAfterTheCycleEnds)
{
    click(0);
    const std::vector<float> head = left(300);
    EXPECT_NEAR(head[299], 0.1f + 299 / 10000.0f, 2e-4f);

    click(1);
    EXPECT_EQ(litPads(), (std::vector<int>{0, 1})) << "the playing pad and the waiting one";
    EXPECT_EQ(bar->Deck.ActivePad, 0);
    EXPECT_EQ(bar->Deck.PendingPad, 1);

    const std::vector<float> out = left(1200);
    EXPECT_NEAR(out[699], 0.1f + 999 / 10000.0f, 2e-4f) << "the cycle plays to its last frame";
    EXPECT_NEAR(out[700], 0.5f, 2e-4f) << "no gap, fade or overlap";
    EXPECT_NEAR(out[1100], 0.5f + 400 / 10000.0f, 2e-4f);

    ASSERT_TRUE(Settles([&] { return bar->Deck.PendingPad == PadDeck::kNoPad; }));
    EXPECT_EQ(bar->Deck.ActivePad, 1);
    EXPECT_EQ(litPads(), std::vector<int>{1});
}

TEST_F(BarSwitch, PressesWhileOneWaitsReplaceOrCancelIt)
{
    click(0);
    left(100);
    click(1);
    click(2); // the MP3 replaces the WAV that waited
    EXPECT_EQ(litPads(), (std::vector<int>{0, 2}));
    EXPECT_EQ(bar->Deck.PendingPad, 2);
    const std::vector<float> out = left(1000);
    EXPECT_NEAR(out[899], 0.1f + 999 / 10000.0f, 2e-4f);
    EXPECT_NEAR(LevelsOf(Render(2000), 1000).left, 0.3f, 0.01f);
    ASSERT_TRUE(Settles([&] { return bar->Deck.ActivePad == 2; }));

    click(0);
    click(0); // the same pad again calls the change off
    EXPECT_EQ(bar->Deck.PendingPad, PadDeck::kNoPad);
    EXPECT_EQ(litPads(), std::vector<int>{2});
    EXPECT_NEAR(LevelsOf(Render(20000), 4000).left, 0.3f, 0.01f) << "the loop plays on";
    EXPECT_EQ(bar->Deck.ActivePad, 2);
}

TEST_F(BarSwitch, ThePlayingPadStopsAtItsCycleEnd)
{
    click(0);
    left(250);
    click(0);
    EXPECT_EQ(litPads(), std::vector<int>{0}) << "lit until it ends";
    const std::vector<float> out = left(1000);
    EXPECT_NEAR(out[749], 0.1f + 999 / 10000.0f, 2e-4f);
    EXPECT_EQ(out[750], 0.0f);
    EXPECT_EQ(out[999], 0.0f);
    ASSERT_TRUE(Settles([&] { return bar->Deck.ActivePad == PadDeck::kNoPad; }));
    EXPECT_TRUE(litPads().empty());
}

TEST_F(BarSwitch, AFailedPressLeavesTheWaitingPadWaiting)
{
    click(0);
    click(1);
    press(9); // unbound
    EXPECT_EQ(litPads(), std::vector<int>{9});
    release(9);
    EXPECT_EQ(litPads(), (std::vector<int>{0, 1}));
    EXPECT_EQ(bar->Deck.PendingPad, 1);
}

TEST_F(BarSwitch, TheTunerSilencesAtOnceAndDropsWhatWaits)
{
    click(0);
    click(1);
    QTest::mousePress(bar->Picture1[1], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(bar->Deck.PendingPad, PadDeck::kNoPad);
    EXPECT_EQ(bar->Deck.ActivePad, PadDeck::kNoPad);
    EXPECT_TRUE(litPads().empty());
    const std::vector<float> out = left(3000);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
}

TEST_F(BarSwitch, AtOnceIsTheDefaultAndTheSettingsWindowStoresTheChoice)
{
    writeSetting("Switch", "nonsense");
    click(0);
    left(100);
    click(1);
    EXPECT_EQ(bar->Deck.ActivePad, 1) << "anything unknown switches at once";
    EXPECT_NEAR(left(400)[300], 0.5f + 300 / 10000.0f, 2e-4f) << "past the stop's short fade";

    QTest::mousePress(bar->Picture4, Qt::LeftButton, {}, QPoint(5, 5));
    Settings* settings = LoadedForm<Settings>();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->SwitchChoice->currentIndex(), 0);
    settings->SwitchChoice->setCurrentIndex(1);
    emit settings->SwitchChoice->activated(1);
    EXPECT_EQ(PadDeck::StoredSwitchMode(), PadDeck::SwitchMode::AtLoopEnd);
    EXPECT_EQ(ReadSetting("Quendel", "Switch", folder->settingsFile(), ""), "at loop end");
}

} // namespace
