// SPDX-License-Identifier: GPL-3.0-or-later
#include "import/SoundImport.h"
#include "import/SoundImporter.h"
#include "support/AudioTestKit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace SoundImport;

namespace {

// A source folder and a Sounds folder of the test's own.
class Import : public ::testing::Test {
protected:
    QString source(const QString& name) const { return m_dir.path() + "/" + name; }
    QString sounds() const { return m_dir.path() + "/Sounds/"; }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
    QStringList soundsListing() const
    {
        return QDir(sounds()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(sounds())); }

    QTemporaryDir m_dir;
};

TEST(SoundImportNames, NumberedChoicesPatternAndBindableNames)
{
    EXPECT_EQ(NumberedName("Drum.Loop.flac", 3), "Drum.Loop (3).flac");
    EXPECT_EQ(NumberedName("Drums", 2), "Drums (2)");
    EXPECT_EQ(FilePattern(), "*.wav;*.mp3;*.flac;*.ogg;*.oga;*.aif;*.aiff;*.opus");
    for (const char* name :
         {"a.WAV", "b.Mp3", "c.flac", "d.ogg", "e.oga", "f.aif", "g.AIFF", "h.opus"})
        EXPECT_TRUE(HasSoundExtension(name)) << name;
    for (const char* name : {"Notes.txt", "wav", ".wav", "Loop.wav.part", "Song.m4a"})
        EXPECT_FALSE(HasSoundExtension(name)) << name;
    EXPECT_EQ(BindableName("..Kick\nHard.wav"), "Kick Hard.wav");
}

TEST_F(Import, AFileTakesTheFirstFreeNameUnlessAnIdenticalFileHoldsOne)
{
    write(source("Drums.wav"), "drums");
    write(sounds() + "Drums.wav", "DRUMS"); // same size, other bytes
    write(sounds() + "Drums (2).wav", "old drums");
    const Placement placed = PlaceInFolder(source("Drums.wav"), sounds(), {});
    EXPECT_EQ(placed.name, "Drums (3).wav");
    EXPECT_TRUE(placed.copied);
    EXPECT_EQ(read(sounds() + "Drums.wav") + read(sounds() + "Drums (2).wav") +
                  read(sounds() + "Drums (3).wav"),
              "DRUMSold drumsdrums");

    // Dropped again, it finds its copy instead of making a fourth file.
    const Placement again = PlaceInFolder(source("Drums.wav"), sounds(), {});
    EXPECT_EQ(again.name, "Drums (3).wav");
    EXPECT_FALSE(again.copied);
    EXPECT_EQ(soundsListing().size(), 3);

    // A file in Sounds already keeps its name and is not copied.
    EXPECT_EQ(PlaceInFolder(sounds() + "Drums.wav", sounds(), {}).name, "Drums.wav");
    EXPECT_EQ(soundsListing().size(), 3);
}

TEST_F(Import, ACopyIsWrittenToAHiddenPartAndNamedOnlyWhenComplete)
{
    write(source("Loop.wav"), QByteArray(10000, 'x'));
    std::vector<qint64> seen;
    const auto watch = [&](qint64 done, qint64 total) {
        seen.push_back(done);
        EXPECT_EQ(total, 10000);
        EXPECT_FALSE(QFile::exists(sounds() + "Loop.wav")) << "at " << done;
        EXPECT_EQ(QFileInfo(PartFilePath(sounds())).size(), done);
        return true;
    };
    EXPECT_EQ(PlaceInFolder(source("Loop.wav"), sounds(), watch, 4096).name, "Loop.wav");
    EXPECT_EQ(seen, (std::vector<qint64>{0, 4096, 8192, 10000}));
    EXPECT_EQ(read(sounds() + "Loop.wav"), QByteArray(10000, 'x'));
    EXPECT_EQ(soundsListing(), QStringList{"Loop.wav"});

    // An abandoned copy leaves neither the part nor the name.
    write(source("Other.wav"), QByteArray(10000, 'y'));
    const Placement stopped = PlaceInFolder(
        source("Other.wav"), sounds(), [](qint64 done, qint64) { return done == 0; }, 4096);
    EXPECT_NE(stopped.error, "");
    EXPECT_EQ(soundsListing(), QStringList{"Loop.wav"});
}

TEST_F(Import, AFolderThatCannotBeWrittenGivesAReasonAndNoFile)
{
    write(source("Kick.wav"), "kick");
    write(source("NotAFolder"), "");
    // /proc refuses new files even to root; a path through a file cannot become a folder.
    for (const QString& folder : {QStringLiteral("/proc/"), source("NotAFolder/Sounds/")}) {
        const Placement placed = PlaceInFolder(source("Kick.wav"), folder, {});
        EXPECT_EQ(placed.name, "") << folder.toStdString();
        EXPECT_TRUE(placed.error.startsWith("Kick.wav could not be copied: the Sounds folder"))
            << placed.error.toStdString();
    }
}

// The importer on its worker: only what the engine decodes comes in, in the order given.
TEST_F(Import, TheImporterTakesEveryDecodedFormatAndSaysWhyItRefusesTheRest)
{
    const std::vector<float> tone = Constant(0.5f, 4800);
    QStringList paths;
    for (const char* name : {"Kick.wav", "Pad.flac", "Air.ogg", "Tone.aiff", "Voice.opus"}) {
        ASSERT_TRUE(WriteTestSound(source(name), tone, {}, 48000)) << name;
        paths << source(name);
    }
    write(source("Notes.txt"), "notes");
    write(source("Fake.wav"), "not really a wave file");
    ASSERT_TRUE(QDir().mkpath(source("Loops.wav")));
    paths << source("Notes.txt") << source("Fake.wav") << source("Loops.wav") << source("Gone.wav");

    QObject context;
    std::optional<ImportOutcome> outcome;
    SoundImporter::shared().import(paths, sounds(), &context, {},
                                   [&](const ImportOutcome& got) { outcome = got; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20000));
    EXPECT_EQ(outcome->names,
              QStringList({"Kick.wav", "Pad.flac", "Air.ogg", "Tone.aiff", "Voice.opus"}));
    EXPECT_EQ(outcome->problems,
              QStringList({"Notes.txt is not a sound file", "Fake.wav does not play as sound",
                           "Loops.wav is a folder, not a sound file", "Gone.wav is not there"}));
    EXPECT_EQ(soundsListing().size(), 5);
}

} // namespace
