// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTestSupport.h"

#include "settings/FileListDrop.h"
#include "support/DropEvents.h"

#include <QDir>

namespace {

class FileListDropping : public SettingsFixture {
protected:
    void touch(const QString& path) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < settings->File1->count(); ++i)
            names << settings->File1->item(i)->text();
        return names;
    }
};

TEST_F(FileListDropping, ADropCopiesAndSelectsTheFileButBindsAndPlaysNothing)
{
    open();
    const QString elsewhere = folder->root() + "Kick.wav";
    ASSERT_TRUE(WriteTestSound(elsewhere, Constant(0.5f, 4410)));
    touch(folder->root() + "Notes.txt");

    QWidget* viewport = settings->File1->viewport();
    ASSERT_TRUE(
        DropFiles(viewport, viewport->rect().center(), {elsewhere, folder->root() + "Notes.txt"}));
    SettleImports();
    EXPECT_EQ(listed(), QStringList({"Groove.wav", "Kick.wav"}));
    EXPECT_EQ(settings->File1->FileName(), "Kick.wav");
    EXPECT_EQ(settings->Label2->text(), "Added Kick.wav; Notes.txt is not a sound file");
    EXPECT_EQ(storedPad(3), "Groove.wav");
    EXPECT_EQ(storedPad(0), "<none>");
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive()); // auto-play is on, but no one clicked
}

TEST_F(FileListDropping, TheListShowsEveryFormatThePadsPlayAndFilesAddedMeanwhile)
{
    for (const char* name : {"Kick.flac", "Air.ogg", "Tone.aif", "Voice.opus", "Notes.txt"})
        touch(folder->soundsFolder() + name);
    open();
    EXPECT_EQ(listed(),
              QStringList({"Air.ogg", "Groove.wav", "Kick.flac", "Tone.aif", "Voice.opus"}));
    pick(settings->File1, "Kick.flac");

    // Opened again, the page lists what came into Sounds and keeps the file picked.
    touch(folder->soundsFolder() + "Late.wav");
    open();
    EXPECT_TRUE(listed().contains("Late.wav"));
    EXPECT_EQ(settings->File1->FileName(), "Kick.flac");
}

} // namespace
