// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarTestSupport.h"

#include "settings/Settings.h"
#include "tonegen/frmToneGen.h"

#include "support/OfflineAudioInput.h"

#include <QDir>
#include <QKeyEvent>

namespace {

class BarKeysFixture : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
        for (int pad : {0, 5, 15, 19})
            bind(pad, "Groove.wav");
    }
    // A key as the window system delivers it: with the native scan code of its place.
    static void send(QWidget* to, QEvent::Type type, int key, quint32 scan = 0,
                     bool autoRepeat = false, const QString& text = QString(), quint64 time = 0)
    {
        QKeyEvent event(type, key, Qt::NoModifier, scan, 0, 0, text, autoRepeat);
        event.setTimestamp(time);
        QApplication::sendEvent(to, &event);
    }
    // One half of an X auto-repeat that came through unmarked: a plain event with a time stamp.
    static void sendAt(quint64 time, QEvent::Type type, int key, quint32 scan, QWidget* to)
    {
        send(to, type, key, scan, false, QString(), time);
    }
    void tap(int key, quint32 scan = 0, QWidget* to = nullptr) const
    {
        send(to ? to : bar, QEvent::KeyPress, key, scan);
        send(to ? to : bar, QEvent::KeyRelease, key, scan);
    }
    float levelNow() { return LevelsOf(Render(1024), 256).left; }
};

TEST_F(BarKeysFixture, F1PlaysPadOneAsTheMouseDoesAndAHeldKeyIsOnePress)
{
    QTest::keyPress(bar, Qt::Key_F1);
    EXPECT_EQ(bar->Deck.ActivePad, 0);
    EXPECT_EQ(litPads(), std::vector<int>{0});
    EXPECT_NEAR(levelNow(), 0.4f, 0.002f);
    // Auto-repeat, and a second press without a release, would stop the pad if they retriggered.
    for (int i = 0; i < 5; ++i) {
        send(bar, QEvent::KeyRelease, Qt::Key_F1, 0, true);
        send(bar, QEvent::KeyPress, Qt::Key_F1, 0, true);
    }
    QTest::keyPress(bar, Qt::Key_F1);
    QTest::keyRelease(bar, Qt::Key_F1);
    EXPECT_EQ(bar->Deck.ActivePad, 0);
    EXPECT_NEAR(levelNow(), 0.4f, 0.002f);

    QTest::keyClick(bar, Qt::Key_F1); // a new press: the playing pad stops
    EXPECT_EQ(bar->Deck.ActivePad, 100);
}

TEST_F(BarKeysFixture, UnmarkedRepeatsOfAHeldKeyAreOnePressAndARealReleaseStillCounts)
{
    // F3 (scan 69) held on a busy machine: every repeat arrives as a plain release and press
    // with one time stamp.
    sendAt(1000, QEvent::KeyPress, Qt::Key_F3, 69, bar);
    ASSERT_EQ(litPads(), std::vector<int>{2}); // pad 3 has no sound: lit while held
    for (quint64 time = 1660; time < 3000; time += 40) {
        sendAt(time, QEvent::KeyRelease, Qt::Key_F3, 69, bar);
        sendAt(time, QEvent::KeyPress, Qt::Key_F3, 69, bar);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(litPads(), std::vector<int>{2});
    // Released for real: nothing follows.
    sendAt(3010, QEvent::KeyRelease, Qt::Key_F3, 69, bar);
    EXPECT_TRUE(Settles([&] { return litPads().empty(); }));

    // The same with a sounding pad: repeats keep it playing, a release and a later press of
    // the key is a second press, which stops it.
    sendAt(4000, QEvent::KeyPress, Qt::Key_F1, 67, bar);
    ASSERT_EQ(bar->Deck.ActivePad, 0);
    for (quint64 time = 4660; time < 5000; time += 40) {
        sendAt(time, QEvent::KeyRelease, Qt::Key_F1, 67, bar);
        sendAt(time, QEvent::KeyPress, Qt::Key_F1, 67, bar);
    }
    EXPECT_EQ(bar->Deck.ActivePad, 0);
    EXPECT_NEAR(levelNow(), 0.4f, 0.002f);
    sendAt(5100, QEvent::KeyRelease, Qt::Key_F1, 67, bar);
    sendAt(5180, QEvent::KeyPress, Qt::Key_F1, 67, bar);
    EXPECT_EQ(bar->Deck.ActivePad, 100);
}

TEST_F(BarKeysFixture, PositionKeysPlayTheMirroredPad)
{
    tap(Qt::Key_A, 24); // AZERTY's A on the place of Q: pad 16
    EXPECT_EQ(bar->Deck.ActivePad, 15);
    EXPECT_EQ(litPads(), std::vector<int>{15});
    EXPECT_NEAR(levelNow(), 0.4f, 0.002f);
}

TEST_F(BarKeysFixture, EnterAndSpaceChangePagesAndEscEndsNothing)
{
    tap(Qt::Key_F1);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_FALSE(AppModul::ProgramEnded());
    EXPECT_EQ(bar->Deck.ActivePad, 0);

    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_EQ(bar->CurrentPage, 2);
    frmToneGen* toneGen = LoadedForm<frmToneGen>();
    ASSERT_NE(toneGen, nullptr);
    EXPECT_EQ(bar->Deck.ActivePad, 100); // the tone generator silences the pads
    QTest::keyClick(toneGen, Qt::Key_Enter);
    EXPECT_EQ(bar->CurrentPage, 0);
    QTest::keyClick(bar, Qt::Key_Space);
    EXPECT_EQ(bar->CurrentPage, 3);
    Settings* settings = LoadedForm<Settings>();
    ASSERT_NE(settings, nullptr);
    QTest::keyClick(settings->List1, Qt::Key_Return);
    EXPECT_EQ(bar->CurrentPage, 2);
    EXPECT_FALSE(AppModul::ProgramEnded());
}

TEST_F(BarKeysFixture, PageDownAndUpWalkTheBoundPadsFromTheOneThatWaits)
{
    const std::vector<std::pair<int, int>> steps = {{Qt::Key_PageUp, 19},   {Qt::Key_PageDown, 0},
                                                    {Qt::Key_PageDown, 5},  {Qt::Key_PageDown, 15},
                                                    {Qt::Key_PageDown, 19}, {Qt::Key_PageDown, 0},
                                                    {Qt::Key_PageUp, 19},   {Qt::Key_PageUp, 15}};
    for (const auto& [key, pad] : steps) {
        QTest::keyClick(bar, static_cast<Qt::Key>(key));
        EXPECT_EQ(bar->Deck.ActivePad, pad);
    }

    writeSetting("Switch", "at loop end");
    Render(1000); // the loop is under way
    QTest::keyClick(bar, Qt::Key_PageDown);
    EXPECT_EQ(bar->Deck.ActivePad, 15);
    EXPECT_EQ(bar->Deck.PendingPad, 19);
    QTest::keyClick(bar, Qt::Key_PageDown);
    EXPECT_EQ(bar->Deck.PendingPad, 0);
}

TEST_F(BarKeysFixture, TheSettingsListPlaysTriggersButKeepsItsArrows)
{
    QTest::keyClick(bar, Qt::Key_Space);
    Settings& settings = *LoadedForm<Settings>();
    settings.List1->setCurrentRow(0);
    QTest::keyClick(settings.List1, Qt::Key_F6);
    EXPECT_EQ(bar->Deck.ActivePad, 5);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_End, Qt::Key_Up})
        QTest::keyClick(settings.List1, key);
    EXPECT_EQ(settings.List1->currentRow(), 26);
    EXPECT_EQ(bar->Deck.ActivePad, 5);
}

} // namespace

TEST_F(BarKeysFixture, InsertArmsThePadPressedNextAndInsertAgainCallsTheTakeOff)
{
    engine->setInputFactory([] { return std::make_unique<OfflineAudioInput>(); });
    bar->Deck.Tempo.setTempo(120.0); // the take waits for the next bar line
    tap(Qt::Key_Insert);
    click(0);
    EXPECT_EQ(bar->Recorder.phase(), LoopRecorder::Phase::Armed);
    EXPECT_EQ(bar->Recorder.pad(), 0);
    EXPECT_EQ(bar->Deck.activeDeckPad(), -1) << "the press that arms plays nothing";
    EXPECT_EQ(bar->PadNames[0]->take(), PadOverlay::Take::Armed);
    EXPECT_EQ(bar->PadNames[1]->take(), PadOverlay::Take::None);

    tap(Qt::Key_Insert);
    EXPECT_EQ(bar->Recorder.phase(), LoopRecorder::Phase::Idle);
    EXPECT_EQ(bar->PadNames[0]->take(), PadOverlay::Take::None);
    EXPECT_TRUE(QDir(folder->soundsFolder()).entryList({"Take*"}).isEmpty());
    click(0);
    EXPECT_EQ(bar->Deck.activeDeckPad(), 0) << "after the take, the pad plays as always";
}
