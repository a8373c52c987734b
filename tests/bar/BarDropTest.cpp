// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarTestSupport.h"

#include "bar/PadDrop.h"
#include "core/SettingsStore.h"
#include "import/SoundImport.h"
#include "import/SoundImporter.h"
#include "support/DropEvents.h"

#include <QDir>
#include <QSemaphore>

#include <set>

namespace {

// Files dragged from a folder outside the program onto the bar, as a file manager drags them.
class BarDrop : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
        ASSERT_TRUE(QDir().mkpath(outside()));
    }
    void TearDown() override
    {
        SoundImporter::shared().setTestHooks({});
        gate.release(100);
        SettleImports();
        BarFixture::TearDown();
    }
    QString outside() const { return folder->root() + "Downloads/"; }
    QString sound(const QString& name) const
    {
        EXPECT_TRUE(WriteTestSound(outside() + name, Constant(0.5f, 4410)));
        return outside() + name;
    }
    static QPoint padCentre(int pad) { return SkinLayout::padRect(pad).center(); }
    bool drop(QPoint at, const QStringList& paths, Qt::KeyboardModifiers mods = {}) const
    {
        return DropFiles(bar, at, paths, mods);
    }
    QString status() const { return bar->StatusLine->text(); }
    QString storedPad(int pad) const
    {
        return ReadSetting("Samples", QString("Sample %1").arg(pad + 1), folder->settingsFile(),
                           "<none>");
    }

    QSemaphore gate;
};

TEST(PadDropTargets, TheFirstFileTakesThePadTheOthersTheNextUnboundOnes)
{
    const auto bound = [](std::set<int> pads) {
        return [pads](int pad) { return pads.count(pad); };
    };
    EXPECT_EQ(PadDrop::TargetPads(4, 3, bound({4, 5, 8})), (std::vector<int>{4, 6, 7}));
    EXPECT_EQ(PadDrop::TargetPads(25, 4, bound({26})), (std::vector<int>{25, 27, -1, -1}));
}

TEST_F(BarDrop, DragsAreTakenOverPadsOnlyAndAlwaysAsCopies)
{
    const QString kick = sound("Kick.wav");
    EXPECT_FALSE(drop(QPoint(60, 300), {kick}));                // beside the pads
    EXPECT_FALSE(drop(QPoint(195, 470), {kick}));               // between pads 1 and 2
    EXPECT_TRUE(drop(padCentre(4), {kick}, Qt::ShiftModifier)); // a move is taken as a copy

    QMimeData text;
    text.setText("Kick.wav");
    QDragEnterEvent enter(padCentre(4), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(bar, &enter);
    EXPECT_FALSE(enter.isAccepted());
    SettleImports();
    EXPECT_TRUE(QFileInfo::exists(kick));
}

TEST_F(BarDrop, ADropBindsThePadWithoutPlayingAndTellsSo)
{
    ASSERT_TRUE(drop(padCentre(4), {sound("Kick.wav")}));
    SettleImports();
    EXPECT_EQ(storedPad(4), "Kick.wav");
    EXPECT_TRUE(QFileInfo::exists(folder->soundsFolder() + "Kick.wav"));
    EXPECT_EQ(status(), "Bound Kick.wav to pad 5");
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_TRUE(litPads().empty());
}

TEST_F(BarDrop, SeveralFilesFillThePadAndTheNextUnboundPads)
{
    bind(5, "Groove.wav");
    ASSERT_TRUE(drop(padCentre(4), {sound("A.wav"), sound("B.wav"), sound("C.wav")}));
    SettleImports();
    const QStringList pads = {storedPad(4), storedPad(5), storedPad(6), storedPad(7)};
    EXPECT_EQ(pads, QStringList({"A.wav", "Groove.wav", "B.wav", "C.wav"}));
    EXPECT_EQ(status(), "Bound 3 files to pads 5, 7 and 8");
}

TEST_F(BarDrop, WhatCannotComeInChangesNothingAndTheStatusSaysWhy)
{
    bind(4, "Groove.wav");
    QFile notes(outside() + "Notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    ASSERT_TRUE(drop(padCentre(4), {notes.fileName()}));
    SettleImports();
    EXPECT_EQ(status(), "Notes.txt is not a sound file");
    EXPECT_EQ(storedPad(4), "Groove.wav");
    EXPECT_EQ(QDir(folder->soundsFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Groove.wav"});

    AppModul::SoundsFolder = "/proc/"; // a folder not even root may write to
    ASSERT_TRUE(drop(padCentre(4), {sound("Kick.wav")}));
    SettleImports();
    EXPECT_EQ(status(), "Kick.wav could not be copied: the Sounds folder cannot be written");
    EXPECT_EQ(storedPad(4), "Groove.wav");
}

TEST_F(BarDrop, DroppedFlacAndOggFilesPlayFromTheirPadsAsSamples)
{
    ASSERT_TRUE(drop(padCentre(2), {sound("Pad.flac"), sound("Air.ogg")}));
    SettleImports();
    ASSERT_EQ(storedPad(3), "Air.ogg");
    for (int pad : {2, 3}) {
        click(pad);
        EXPECT_TRUE(bar->Deck.DMC.SampleIsActive()) << pad;
        EXPECT_FALSE(bar->Deck.DMC.StreamIsActive()) << pad;
        // Volume 80 of a 0.5 level; the Ogg coder may shift the level slightly.
        EXPECT_NEAR(LevelsOf(Render(44100), 8000).left, 0.4f, 0.02f) << pad;
    }
}

TEST_F(BarDrop, ALongCopyShowsItsProgressWhileTheBarKeepsPlaying)
{
    // A short wave file grown to 64 MiB by a sparse tail (which players ignore), copied in four
    // chunks that the test lets through one by one.
    constexpr qint64 kSize = 64 << 20;
    const QString big = sound("Big.wav");
    ASSERT_TRUE(QFile::resize(big, kSize));
    SoundImporter::shared().setTestHooks(
        {kSize / 4, 0, [this] { EXPECT_TRUE(gate.tryAcquire(1, 20000)); }});
    bind(2, "Groove.wav");

    ASSERT_TRUE(drop(padCentre(4), {big}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == "Copying Big.wav \u2026 0 %"; }));
    // The copy is held: the bar still plays, and nothing is under the sound's name yet.
    click(2);
    EXPECT_NEAR(LevelsOf(Render(4096), 1024).left, 0.4f, 0.002f);
    EXPECT_FALSE(QFileInfo::exists(folder->soundsFolder() + "Big.wav"));

    gate.release(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == "Copying Big.wav \u2026 25 %"; }));
    gate.release(4);
    SettleImports();
    EXPECT_EQ(status(), "Bound Big.wav to pad 5");
    EXPECT_EQ(QFileInfo(folder->soundsFolder() + "Big.wav").size(), kSize);
    EXPECT_FALSE(QFileInfo::exists(SoundImport::PartFilePath(folder->soundsFolder())));
}

} // namespace
