// SPDX-License-Identifier: GPL-3.0-or-later
// A gig's set saved on the rehearsal laptop and opened on the stage laptop: what it carries comes
// back, what it leaves stays with the machine, and missing sounds are found by name or content.
#include "sets/SetFiles.h"

#include "core/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// One machine: a settings file and a Sounds folder.
struct Machine {
    QTemporaryDir dir;
    QString settings() const { return dir.filePath("quendel.ini"); }
    QString sounds() const { return dir.filePath("Sounds") + '/'; }
    Machine() { QDir(dir.path()).mkpath("Sounds"); }
    void set(const QString& section, const QString& key, const QString& value) const
    {
        WriteSetting(section, key, value, settings());
    }
    QString get(const QString& section, const QString& key) const
    {
        return ReadSetting(section, key, settings(), "<none>");
    }
    QByteArray text() const { return ReadSettingsText(settings()).value_or(QByteArray()); }
};

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under a folder with its size and time: what a search must leave as it was.
QStringList Listing(const QString& folder)
{
    QStringList out;
    QDirIterator files(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QFileInfo info(files.next());
        out << info.filePath() + QString::number(info.size()) +
                   info.lastModified().toString(Qt::ISODateWithMs);
    }
    out.sort();
    return out;
}

class SetFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteFile(home.sounds() + "Kick.wav", "RIFF kick"));
        ASSERT_TRUE(WriteFile(home.sounds() + "Bass.wav", "RIFF bass line"));
        home.set("Samples", "Sample 1", "Kick.wav");
        home.set("Samples", "Mode 1", "one-shot");
        home.set("Samples", "Gain 1", "-3.0");
        home.set("Samples B", "Sample 2", "Bass.wav");
        home.set("Samples B", "Sample 5", "Gone.wav"); // bound, but not in Sounds
        home.set("Setlist", "Song 1", "Opener | B | 96");
        home.set("Quendel", "Tempo", "96.00");
        home.set("Quendel", "Volume", "70"); // the machine's, not the set's
        home.set("Triggers", "Pad 1", "F1"); // the keyboard's, not the set's
        stage.set("Samples", "Sample 3", "Old.wav");
        stage.set("Samples", "Tempo 3", "120.00");
        stage.set("Quendel", "Volume", "50");
        stage.set("Triggers", "Pad 1", "Q");
    }
    QString setPath(const Machine& machine) const { return machine.dir.filePath("Gig.qset"); }

    Machine home;
    Machine stage;
};

TEST_F(SetFilesTest, ACollectedSetCarriedToAnotherMachineOpensAsItWasSaved)
{
    const SetFiles::Saved saved =
        SetFiles::Save(setPath(home), home.settings(), home.sounds(), true);
    ASSERT_EQ(saved.error, QString());
    EXPECT_EQ(saved.copied, 2);
    EXPECT_EQ(saved.missing, QStringList{"Gone.wav"});
    EXPECT_EQ(ReadFile(SetFiles::CollectedFolder(setPath(home)) + "Bass.wav"), "RIFF bass line");

    // The set and its folder carried over; the stage laptop's own settings stay its own.
    ASSERT_TRUE(QFile::copy(setPath(home), setPath(stage)));
    QDir().mkpath(SetFiles::CollectedFolder(setPath(stage)));
    for (const char* name : {"Kick.wav", "Bass.wav"})
        ASSERT_TRUE(QFile::copy(SetFiles::CollectedFolder(setPath(home)) + name,
                                SetFiles::CollectedFolder(setPath(stage)) + name));
    const SetFiles::Opened opened =
        SetFiles::Open(setPath(stage), stage.settings(), stage.sounds(), {});
    ASSERT_EQ(opened.error, QString());
    EXPECT_EQ(opened.missing, QStringList{"Gone.wav"});
    EXPECT_EQ(ReadFile(stage.sounds() + "Kick.wav"), "RIFF kick");
    EXPECT_EQ(stage.get("Samples", "Sample 1"), "Kick.wav");
    EXPECT_EQ(stage.get("Samples", "Mode 1"), "one-shot");
    EXPECT_EQ(stage.get("Samples", "Gain 1"), "-3.0");
    EXPECT_EQ(stage.get("Samples B", "Sample 2"), "Bass.wav");
    EXPECT_EQ(stage.get("Setlist", "Song 1"), "Opener | B | 96");
    EXPECT_EQ(stage.get("Quendel", "Tempo"), "96.00");
    EXPECT_EQ(stage.get("Samples", "Sample 3"), "<none>") << "the set leaves it unbound";
    EXPECT_EQ(stage.get("Samples", "Tempo 3"), "<none>");
    EXPECT_EQ(stage.get("Quendel", "Volume"), "50");
    EXPECT_EQ(stage.get("Triggers", "Pad 1"), "Q");

    // Saved again from the stage, the set is the same set.
    ASSERT_EQ(SetFiles::Save(setPath(stage), stage.settings(), stage.sounds(), false).error,
              QString());
    EXPECT_EQ(ReadFile(setPath(stage)), ReadFile(setPath(home)));
}

TEST_F(SetFilesTest, MissingSoundsAreFoundByNameOrContentAndTheSearchedFoldersStayAsTheyWere)
{
    ASSERT_EQ(SetFiles::Save(setPath(home), home.settings(), home.sounds(), false).error,
              QString());
    ASSERT_TRUE(QFile::copy(setPath(home), setPath(stage)));
    // The stage's Sounds holds another Kick.wav; the search folder a renamed copy of the right
    // one (which comes in under its own name), a wrong file under its name, and the bass deep in
    // a subfolder.
    ASSERT_TRUE(WriteFile(stage.sounds() + "Kick.wav", "RIFF another kick"));
    QTemporaryDir search;
    ASSERT_TRUE(WriteFile(search.filePath("Kick.wav"), "RIFF not this one"));
    ASSERT_TRUE(WriteFile(search.filePath("drums/kick take 3.wav"), "RIFF kick"));
    ASSERT_TRUE(WriteFile(search.filePath("a/b/c/Bass.wav"), "RIFF bass line"));
    const QStringList before = Listing(search.path());

    const SetFiles::Opened opened =
        SetFiles::Open(setPath(stage), stage.settings(), stage.sounds(), {search.path()});
    ASSERT_EQ(opened.error, QString());
    EXPECT_EQ(opened.missing, QStringList{"Gone.wav"});
    EXPECT_EQ(opened.relinked, QStringList{"Kick.wav -> kick take 3.wav"});
    EXPECT_EQ(stage.get("Samples", "Sample 1"), "kick take 3.wav");
    EXPECT_EQ(ReadFile(stage.sounds() + "kick take 3.wav"), "RIFF kick");
    EXPECT_EQ(ReadFile(stage.sounds() + "Kick.wav"), "RIFF another kick") << "never overwritten";
    EXPECT_EQ(ReadFile(stage.sounds() + "Bass.wav"), "RIFF bass line");
    EXPECT_EQ(Listing(search.path()), before);
}

TEST_F(SetFilesTest, WhatIsNoSetChangesNothingAndNamesOutsideSoundsAreNeverFollowed)
{
    const QByteArray settingsBefore = stage.text();
    QTemporaryDir other;
    ASSERT_TRUE(WriteFile(other.filePath("notes.qset"), "[Samples]\nSample 1=Kick.wav\n"));
    ASSERT_TRUE(WriteFile(other.filePath("empty.qset"), ""));
    QDir(other.path()).mkpath("folder.qset");
    for (const char* name : {"notes.qset", "empty.qset", "folder.qset", "missing.qset"}) {
        const SetFiles::Opened opened =
            SetFiles::Open(other.filePath(name), stage.settings(), stage.sounds(), {});
        EXPECT_TRUE(opened.error.endsWith("is not a Quendel set")) << name;
    }
    EXPECT_EQ(stage.text(), settingsBefore);

    // A set edited to reach out of the folders it is looked for in.
    ASSERT_TRUE(WriteFile(other.filePath("secret.wav"), "RIFF secret"));
    ASSERT_TRUE(WriteFile(other.filePath("evil.qset"),
                          "[Set]\nFormat=1\n[Samples]\nSample 1=../secret.wav\n"
                          "[Sounds]\nSound 1=../secret.wav\n"));
    const SetFiles::Opened opened = SetFiles::Open(other.filePath("evil.qset"), stage.settings(),
                                                   stage.sounds(), {other.filePath("x")});
    EXPECT_EQ(opened.missing, QStringList{"../secret.wav"});
    EXPECT_FALSE(QFile::exists(stage.sounds() + "secret.wav"));

    // A set that cannot be written leaves the good one where it was.
    ASSERT_EQ(SetFiles::Save(setPath(home), home.settings(), home.sounds(), false).error,
              QString());
    const QByteArray good = ReadFile(setPath(home));
    ASSERT_TRUE(WriteFile(home.dir.filePath("file"), "x"));
    EXPECT_FALSE(
        SetFiles::Save(home.dir.filePath("file/Gig.qset"), home.settings(), home.sounds(), false)
            .error.isEmpty());
    EXPECT_EQ(ReadFile(setPath(home)), good);
}

} // namespace
