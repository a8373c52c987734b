// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTestSupport.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace {

class SettingsWindow : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Drums.wav", Constant(0.3f, 4410)));
    }
    QString settingsText() const
    {
        QFile file(folder->settingsFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    static QStringList entries(const ListControl* list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
};

TEST_F(SettingsWindow, OpensSkinnedWithThePadListAndBothAutoPlayBoxesTicked)
{
    open();
    EXPECT_EQ(settings->background(), ProgramFolder::patternImage(820, 268, 3));
    // The STOP button is red, not only in its style sheet.
    const QImage stop = settings->Command2->grab().toImage();
    const QColor corner = stop.pixelColor(4, 4);
    EXPECT_GT(corner.red(), 180);
    EXPECT_LT(corner.green(), 60);

    QStringList pads;
    for (int i = 1; i <= 28; ++i)
        pads << QStringLiteral("Sample %1").arg(i);
    EXPECT_EQ(entries(settings->List1), pads);
    EXPECT_EQ(settings->List1->ListIndex(), -1);
    EXPECT_TRUE(settings->Check1[0]->isChecked());
    EXPECT_TRUE(settings->Check1[1]->isChecked());
    EXPECT_FALSE(settings->Check2->isChecked());
}

TEST_F(SettingsWindow, OpeningTheWindowStoresNothing)
{
    writeSetting("Volume", "70");
    const QString before = settingsText();
    open();
    padPage();
    EXPECT_EQ(settingsText(), before);
}

TEST_F(SettingsWindow, TheFileListShowsWavAndMp3FilesWhateverTheirCase)
{
    const QString sounds = folder->soundsFolder();
    for (const char* name :
         {"b.WAV", "Track.MP3", "A.mp3", "notes.txt", "x.wav.bak", "wav", ".hidden.wav"})
        ASSERT_TRUE(WriteTestSound(sounds + name, Constant(0.1f, 100)));
    ASSERT_TRUE(QDir(sounds).mkdir("folder.wav"));
    open();
    EXPECT_EQ(entries(settings->File1),
              QStringList({"A.mp3", "b.WAV", "Drums.wav", "Groove.wav", "Track.MP3"}));
}

TEST_F(SettingsWindow, WithoutASoundsFolderTheFileListIsEmpty)
{
    // Not even files in the current folder: they could be listed but never played.
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder->soundsFolder()));
    ASSERT_TRUE(QDir(folder->root()).rename("Sounds", "Elsewhere"));
    open();
    QDir::setCurrent(current);
    EXPECT_EQ(settings->File1->count(), 0);
    pick(settings->List1, "Sample 4"); // the binding shows, nothing breaks
    EXPECT_EQ(settings->Label2->text(), QStringLiteral("Groove.wav"));
    EXPECT_EQ(bar->Deck.ActivePad, 100);
}

TEST_F(SettingsWindow, ABindingIsWrittenAndThenPlayedByThePad)
{
    open();
    pick(settings->List1, "Sample 12");
    EXPECT_EQ(settings->Label2->text(), QString()); // no binding yet: nothing plays
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    pick(settings->File1, "Drums.wav");
    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    EXPECT_EQ(storedPad(11), QStringLiteral("Drums.wav"));
    EXPECT_EQ(settings->Label2->text(), QStringLiteral("Drums.wav"));
    EXPECT_EQ(settings->focusWidget(), settings->List1);

    padPage();
    EXPECT_EQ(LoadedForm<Settings>(), nullptr);
    EXPECT_EQ(bar->PadNames[11]->lines(), QStringList{"Drums"}) << "seen as the pads show again";
    click(11);
    EXPECT_EQ(bar->Deck.ActivePad, 11);
    EXPECT_NEAR(levelsNow().left, 0.3 * 0.8, 0.002);
}

TEST_F(SettingsWindow, WithNoFileSelectedTheBindingIsEmptiedAndWithNoPadNothingIsWritten)
{
    open();
    pick(settings->File1, "Drums.wav");
    QTest::mouseClick(settings->Command1, Qt::LeftButton); // no pad selected
    EXPECT_EQ(storedPad(11), QStringLiteral("<none>"));
    EXPECT_EQ(settings->Label2->text(), QString());

    padPage();
    open();
    ASSERT_EQ(settings->File1->ListIndex(), -1);
    pick(settings->List1, "Sample 4");
    EXPECT_EQ(settings->Label2->text(), QStringLiteral("Groove.wav"));
    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    EXPECT_TRUE(settingsText().contains(QStringLiteral("Sample 4=\n")));
    EXPECT_EQ(settings->Label2->text(), QString());

    padPage();
    click(3);
    EXPECT_EQ(bar->Deck.PadPressFailed, 1);
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_TRUE(litPads().empty());
}

TEST_F(SettingsWindow, APreviewStopsAndDarkensThePlayingPadButStopLeavesItLit)
{
    click(3);
    open();
    pick(settings->File1, "Drums.wav");
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_TRUE(litPads().empty());
    EXPECT_NEAR(levelsNow().left, 0.3 * 0.8, 0.002); // at the channel's last volume

    padPage();
    click(3); // starts again: the pad was no longer playing
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());

    open();
    QTest::mouseClick(settings->Command2, Qt::LeftButton);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_EQ(levelsNow().left, 0.0f);
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    EXPECT_EQ(litPads(), std::vector<int>{3});
    padPage();
    click(3); // taken as the press that stops the pad
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
}

TEST_F(SettingsWindow, MpThreeFilesPreviewOnTheStreamAndOthersOnTheSampleChannel)
{
    std::vector<float> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.3f * static_cast<float>(std::sin(2 * 3.14159265 * 440 * i / 44100.0));
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Track.MP3", tone));
    open();
    pick(settings->File1, "Track.MP3");
    EXPECT_TRUE(bar->Deck.DMC.StreamIsActive());
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    const auto out = Render(22050);
    EXPECT_NEAR(LevelsOf(out, 4410).left, 0.3 * 2 / 3.14159265, 0.02); // a sine's mean level

    pick(settings->File1, "Groove.wav"); // replaces the stream
    EXPECT_FALSE(bar->Deck.DMC.StreamIsActive());
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());

    pick(settings->File1, "Track.MP3");
    Render(22050);
    QTest::mouseClick(settings->Command2, Qt::LeftButton); // STOP ends the stream as well
    EXPECT_FALSE(bar->Deck.DMC.StreamIsActive());
    EXPECT_EQ(levelsNow().left, 0.0f);
}

TEST_F(SettingsWindow, TheLoopBoxDecidesForTheNextPreviewOnly)
{
    open();
    pick(settings->File1, "Drums.wav"); // 0.1 s, played once
    Render(44100);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());

    QTest::mouseClick(settings->Check2, Qt::LeftButton);
    ASSERT_TRUE(settings->Check2->isChecked());
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive()); // ticking plays nothing
    pick(settings->File1, "Drums.wav");           // the same entry again plays it again
    Render(44100);
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());

    QTest::mouseClick(settings->Check2, Qt::LeftButton); // the loop that plays goes on
    Render(44100);
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());

    padPage(); // leaving the page lets the looping preview go on
    EXPECT_EQ(LoadedForm<Settings>(), nullptr);
    EXPECT_NEAR(levelsNow().left, 0.3, 0.002);
}

TEST_F(SettingsWindow, APadEntryShowsItsFileAndPlaysItOnlyWhenItExistsAndAutoPlayIsOn)
{
    bind(5, "Gone.wav");
    click(3);
    open();
    pick(settings->List1, "Sample 6"); // bound to a missing file: shown, nothing stops
    EXPECT_EQ(settings->Label2->text(), QStringLiteral("Gone.wav"));
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    pick(settings->List1, "Sample 1"); // unbound
    EXPECT_EQ(settings->Label2->text(), QString());
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());

    QTest::mouseClick(settings->Check1[0], Qt::LeftButton);
    ASSERT_FALSE(settings->Check1[0]->isChecked());
    pick(settings->List1, "Sample 4");
    EXPECT_EQ(settings->Label2->text(), QStringLiteral("Groove.wav"));
    EXPECT_EQ(bar->Deck.ActivePad, 3); // not played: the pad plays on

    QTest::mouseClick(settings->Check1[0], Qt::LeftButton);
    pick(settings->List1, "Sample 4");
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_TRUE(litPads().empty());
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
}

TEST_F(SettingsWindow, TheKeyboardPicksEntriesAsTheMouseDoes)
{
    bind(1, "Drums.wav");
    open();
    pick(settings->List1, "Sample 1");
    QTest::keyClick(settings->List1, Qt::Key_Down);
    EXPECT_EQ(settings->List1->Text(), QStringLiteral("Sample 2"));
    EXPECT_EQ(settings->Label2->text(), QStringLiteral("Drums.wav"));
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
    QTest::keyClick(settings->List1, Qt::Key_Up);
    EXPECT_EQ(settings->Label2->text(), QString());

    QTest::mouseClick(settings->Check1[1], Qt::LeftButton); // no auto-play for files
    pick(settings->File1, "Drums.wav");
    EXPECT_EQ(settings->Label2->text(), QString()); // a file pick never changes the label
    QTest::mouseClick(settings->Check1[1], Qt::LeftButton);
    Render(44100); // the pad preview has ended
    ASSERT_FALSE(bar->Deck.DMC.SampleIsActive());
    QTest::keyClick(settings->File1, Qt::Key_Down);
    EXPECT_EQ(settings->File1->FileName(), QStringLiteral("Groove.wav"));
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
    QTest::keyClick(settings->File1, Qt::Key_Down); // the last entry: nothing new is picked
    Render(44100);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
}

TEST_F(SettingsWindow, EveryOpeningStartsFromTheDesignValues)
{
    open();
    QTest::mouseClick(settings->Check1[0], Qt::LeftButton);
    QTest::mouseClick(settings->Check2, Qt::LeftButton);
    pick(settings->List1, "Sample 4");
    pick(settings->File1, "Drums.wav");
    Settings* first = settings;

    padPage();
    open();
    EXPECT_EQ(settings, first);
    EXPECT_TRUE(settings->Check1[0]->isChecked());
    EXPECT_FALSE(settings->Check2->isChecked());
    EXPECT_EQ(settings->List1->ListIndex(), -1);
    EXPECT_EQ(settings->File1->ListIndex(), -1);
    EXPECT_EQ(settings->Label2->text(), QString());
    EXPECT_EQ(settings->List1->count(), 28);
}

} // namespace
