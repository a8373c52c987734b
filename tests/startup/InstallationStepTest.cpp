// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/InstallationStep.h"
#include "core/SoundFiles.h"
#include "startup/AppModul.h"
#include "support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList kWrittenSounds = {"Chord.wav", "A.wav",  "D.wav",    "E.wav",    "G.wav",
                                    "H.wav",     "E2.wav", "pink.wav", "Phase.wav"};

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

TEST(InstallationStep, MissingSkinImagesShowOneCriticalMessageAndEndTheStart)
{
    ProgramFolder folder;
    folder.writeSkin("AllOff", 4, 4, 1);
    folder.writeSkin("AllOn", 4, 4, 1, "jpg");
    folder.writeSkin("Settings", 4, 4, 1); // TunerOff and TunerOn are missing

    EXPECT_FALSE(InstallationStep());
    ASSERT_EQ(folder.messages.size(), 1u);
    EXPECT_EQ(folder.messages[0].first, kMissingFilesMessage);
    EXPECT_EQ(folder.messages[0].second, 3);
    EXPECT_FALSE(QFile::exists(folder.tempFolder() + "pink.wav")); // nothing written
}

TEST(InstallationStep, EitherTheBitmapOrTheJpegCountsAsPresent)
{
    ProgramFolder folder;
    folder.writeSkin("AllOff", 4, 4, 1, "jpg");
    folder.writeSkin("AllOn", 4, 4, 1);
    folder.writeSkin("Settings", 4, 4, 1, "jpg");
    folder.writeSkin("TunerOff", 4, 4, 1);
    folder.writeSkin("TunerOn", 4, 4, 1); // only TunerOn.bmp

    EXPECT_TRUE(InstallationStep());
    EXPECT_TRUE(folder.messages.empty());
}

TEST(InstallationStep, WritesTheReferenceSoundsWhenPinkIsMissing)
{
    ProgramFolder folder;
    folder.writeAllSkins();
    EXPECT_TRUE(InstallationStep());
    EXPECT_TRUE(folder.messages.empty());
    for (const QString& name : kWrittenSounds) {
        QFile file(folder.tempFolder() + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray head = file.read(44);
        EXPECT_TRUE(head.startsWith("RIFF") && head.mid(8, 4) == "WAVE") << name.toStdString();
    }
    // The two signals that are carried but never written stay inside the program.
    EXPECT_FALSE(QFile::exists(folder.tempFolder() + "Phase_R.wav"));
    EXPECT_FALSE(QFile::exists(folder.tempFolder() + "White.wav"));

    // The file written is byte for byte the resource.
    QFile written(folder.tempFolder() + "E2.wav");
    QFile resource(":/WAVE/E2");
    ASSERT_TRUE(written.open(QIODevice::ReadOnly) && resource.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), resource.readAll());
}

TEST(InstallationStep, APresentPinkFileStandsForTheWholeSet)
{
    ProgramFolder folder;
    folder.writeAllSkins();
    ASSERT_TRUE(InstallationStep());
    ASSERT_TRUE(QFile::remove(folder.tempFolder() + "A.wav"));
    ASSERT_TRUE(InstallationStep());
    EXPECT_FALSE(QFile::exists(folder.tempFolder() + "A.wav"));
}

TEST(InstallationStep, AnUnwritableOrUntrustedTempFolderIsReportedAndTheStartGoesOn)
{
    // A folder nobody can write into, root included: its path runs through a plain file. No
    // folder at all is what the start leaves when it could not trust the private one.
    for (const char* temp : {"blocker/", ""}) {
        SCOPED_TRACE(temp);
        ProgramFolder folder;
        folder.writeAllSkins();
        QFile blocker(folder.root() + "blocker");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        AppModul::TempFolder = *temp ? folder.root() + temp : QString();
        EXPECT_TRUE(InstallationStep());
        ASSERT_EQ(folder.messages.size(), 1u);
        EXPECT_EQ(folder.messages[0].first, kTempReadOnlyMessage);
        EXPECT_EQ(folder.messages[0].second, 2);
    }
}

TEST(FileExists, OnlyReadableFilesCount)
{
    ProgramFolder folder;
    const QString file = folder.root() + "a.wav";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_TRUE(FileExists(file)); // empty, but it opens
    EXPECT_FALSE(FileExists(folder.root() + "missing.wav"));
    EXPECT_FALSE(FileExists(folder.soundsFolder()));
    EXPECT_FALSE(FileExists(QString()));
    const QString fifo = folder.root() + "pipe.wav";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(FileExists(fifo)); // and does not block
    if (!runningAsRoot()) {
        ::chmod(QFile::encodeName(file).constData(), 0);
        EXPECT_FALSE(FileExists(file));
    }
}

TEST(WriteResourceFile, ReportsFailureWithAnEmptyResult)
{
    ProgramFolder folder;
    const QString target = folder.tempFolder() + "x.wav";
    EXPECT_EQ(WriteResourceFile(target, "PINK", "WAVE"), target);
    EXPECT_EQ(WriteResourceFile(folder.tempFolder() + "y.wav", "NOSUCH", "WAVE"), QString());
    EXPECT_FALSE(QFile::exists(folder.tempFolder() + "y.wav"));
    EXPECT_EQ(WriteResourceFile(folder.root() + "missing/z.wav", "PINK", "WAVE"), QString());
}

TEST(ShowMessage, KindsOutsideOneToFourShowNothing)
{
    ProgramFolder folder;
    ShowMessage("a", 0);
    ShowMessage("b", 5);
    ShowMessage("c", 4);
    ASSERT_EQ(folder.messages.size(), 1u);
    EXPECT_EQ(folder.messages[0].first, QStringLiteral("c"));
}

} // namespace
