// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarTestSupport.h"

#include <QFile>
#include <QLocale>
#include <QTime>

namespace {

constexpr int kBlock = 256;

class BarPads : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Bass.wav", Constant(0.25f, 4410)));
        bind(2, "Bass.wav");
        bind(6, "Groove.wav");
    }
    ChannelLevels levelsNow() { return LevelsOf(Render(4 * kBlock), kBlock); }
};

TEST_F(BarFixture, StartsWithThePadPageAndTheExitButtonLitAndEveryPadDark)
{
    EXPECT_TRUE(isLit(bar->Picture1[0]));
    EXPECT_TRUE(isUnlit(bar->Picture1[1]));
    EXPECT_TRUE(isUnlit(bar->Picture1[2]));
    EXPECT_TRUE(isLit(bar->Picture3));
    EXPECT_TRUE(isUnlit(bar->Picture4));
    EXPECT_TRUE(litPads().empty());
    EXPECT_EQ(bar->size(), QSize(1018, 761));
    EXPECT_EQ(bar->background(), ProgramFolder::patternImage(1018, 761, 1));
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_TRUE(engine->isRunning());
    EXPECT_EQ(bar->Picture1[2]->toolTip(), QStringLiteral("Tone Generator ( BETA )"));
}

TEST_F(BarPads, APressLoopsThePadsFileWithTheStoredVolumeAndPan)
{
    click(6);
    EXPECT_EQ(litPads(), std::vector<int>{6});
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    EXPECT_EQ(bar->Deck.PadPressFailed, 0);
    // No settings file: volume 80, pan 0. The 4410-frame file loops far past its end.
    const auto out = Render(44100);
    const ChannelLevels levels = LevelsOf(out, 8000);
    EXPECT_NEAR(levels.left, 0.4f, 0.002f);
    EXPECT_NEAR(levels.right, 0.4f, 0.002f);
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
}

TEST_F(BarPads, AnotherPadSwitchesAndTheSamePadStops)
{
    click(6);
    click(2);
    EXPECT_EQ(litPads(), std::vector<int>{2});
    EXPECT_EQ(bar->Deck.ActivePad, 2);
    EXPECT_NEAR(levelsNow().left, 0.2f, 0.002f);

    click(2);
    EXPECT_TRUE(litPads().empty());
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_EQ(levelsNow().left, 0.0f);
}

TEST_F(BarPads, EveryButtonAndShiftStatePressesAlike)
{
    press(6, Qt::RightButton, Qt::ShiftModifier);
    release(6, Qt::RightButton);
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    press(6, Qt::MiddleButton, Qt::ControlModifier);
    release(6, Qt::MiddleButton);
    EXPECT_EQ(bar->Deck.ActivePad, 100);
}

TEST_F(BarPads, ThePlayingPadsDeletedFileFailsWithoutStoppingTheSound)
{
    click(6);
    ASSERT_TRUE(QFile::remove(folder->soundsFolder() + "Groove.wav"));
    press(6);
    EXPECT_EQ(litPads(), std::vector<int>{6});
    release(6);
    EXPECT_TRUE(litPads().empty()); // dark on release, as the failed press was on this pad
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    EXPECT_NEAR(levelsNow().left, 0.4f, 0.002f);
}

TEST_F(BarPads, StoredVolumeAndPanAreRoundedHalfToEven)
{
    writeSetting("Volume", "62.5");
    writeSetting("PanVal", "-37.5");
    click(6);
    // Volume 62, pan -38: the right side is scaled by 0.62.
    const ChannelLevels levels = LevelsOf(Render(8 * kBlock), kBlock);
    EXPECT_NEAR(levels.left, 0.5f * 0.62f, 0.002f);
    EXPECT_NEAR(levels.right, 0.5f * 0.62f * 0.62f, 0.002f);
}

TEST_F(BarPads, VolumeAndPanApplyFromTheFilesFirstFrame)
{
    writeSetting("Volume", "50");
    writeSetting("PanVal", "100");
    click(6);
    const auto out = Render(kBlock);
    EXPECT_NEAR(out[0], 0.0f, 1e-6f);   // left silenced by full right pan
    EXPECT_NEAR(out[1], 0.25f, 0.001f); // right at half volume from frame 0
}

TEST_F(BarPads, AnMp3EndingGoesToTheStream)
{
    std::vector<float> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.3f * static_cast<float>(std::sin(i * 2 * M_PI * 441.0 / 44100.0));
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Loop.MP3", tone));
    bind(9, "Loop.MP3");
    click(9);
    EXPECT_TRUE(bar->Deck.DMC.StreamIsActive());
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_EQ(bar->Deck.ActivePad, 9);
}

TEST_F(BarFixture, DraggingTheSurfaceKeepsTheGrabbedPointUnderThePointer)
{
    const QPoint start = bar->pos();
    // A move with the button held before any press on the surface has nothing to keep.
    sendMouse(bar, QEvent::MouseMove, {300, 20}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(bar->pos(), start);

    sendMouse(bar, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(bar, QEvent::MouseMove, {230, 15}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(bar->pos(), start + QPoint(30, 5));

    // The right button does not drag, but still turns the minimise label black.
    bar->Label3->setForeColor(QColor(0, 255, 0));
    sendMouse(bar, QEvent::MouseMove, {260, 30}, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(bar->pos(), start + QPoint(30, 5));
    EXPECT_EQ(bar->Label3->foreColor(), QColor(Qt::black));
}

TEST_F(BarFixture, TheMinimiseLabelGlowsUnderThePointerAndMinimises)
{
    sendMouse(bar->Label3, QEvent::MouseMove, {8, 8}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(bar->Label3->foreColor(), QColor(0, 255, 0));
    sendMouse(bar->Picture6[0], QEvent::MouseMove, {8, 8}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(bar->Label3->foreColor(), QColor(0, 255, 0)); // a pad is no bare surface
    sendMouse(bar, QEvent::MouseMove, {500, 30}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(bar->Label3->foreColor(), QColor(Qt::black));

    QTest::mouseClick(bar->Label3, Qt::LeftButton);
    EXPECT_TRUE(bar->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Quendel"));
}

TEST_F(BarPads, TheExitButtonEndsOnReleaseWhereverThePointerIs)
{
    click(6);
    QTest::mousePress(bar->Picture3, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(isUnlit(bar->Picture3));
    EXPECT_FALSE(AppModul::ProgramEnded());
    QTest::mouseRelease(bar->Picture3, Qt::LeftButton, {}, QPoint(400, -200));
    EXPECT_TRUE(AppModul::ProgramEnded());
    EXPECT_FALSE(engine->isRunning());
}

TEST_F(BarPads, ClosingTheBarSilencesAndEnds)
{
    click(6);
    bar->close();
    EXPECT_TRUE(AppModul::ProgramEnded());
    EXPECT_TRUE(isUnlit(bar->Picture3));
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_FALSE(engine->isRunning());
}

TEST_F(BarPads, TheClockShowsTheTimeFromTheStartAndWakesJustPastEachSecond)
{
    const QString shown = bar->Label4->text();
    EXPECT_NE(shown, QStringLiteral("00:00:00"));
    EXPECT_EQ(bar->Label5->text(), shown);
    // Just past the next turn of the second, and only then.
    EXPECT_TRUE(bar->Timer3.isActive());
    EXPECT_TRUE(bar->Timer3.isSingleShot());
    EXPECT_LE(bar->Timer3.remainingTime(), 1005);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Label4->text() != shown; }, 3000));
    EXPECT_EQ(bar->Label4->text(), Bar::ClockText(QTime::currentTime(), QLocale::system()));
    EXPECT_TRUE(bar->Timer3.isActive());
}

TEST(BarClock, ShowsTheSystemsTimeFormatWithSecondsAndNoZone)
{
    EXPECT_EQ(Bar::ClockText(QTime(14, 5, 9), QLocale(QLocale::German)),
              QStringLiteral("14:05:09"));
    EXPECT_EQ(Bar::ClockText(QTime(14, 5, 9), QLocale::c()), QStringLiteral("14:05:09"));
    EXPECT_TRUE(Bar::ClockText(QTime(14, 5, 9), QLocale(QLocale::English, QLocale::UnitedStates))
                    .contains(QStringLiteral("05:09")));
}

} // namespace
