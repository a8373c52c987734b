// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/AppModul.h"
#include "core/PrivateFiles.h"
#include "startup/InstallLayout.h"
#include "startup/InstallationStep.h"
#include "support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(TitleCasePath, ReproducesTheShortNameExample)
{
    EXPECT_EQ(AppModul::TitleCasePath(QStringLiteral("C:\\PROGRA~1\\MY-PADS\\PAD_DECK.EXE")),
              QStringLiteral("C:\\Progra~1\\My-Pads\\Pad_Deck.exe"));
    EXPECT_EQ(AppModul::TitleCasePath(QStringLiteral("/opt/my tools/(new)pad")),
              QStringLiteral("/Opt/My Tools/(New)pad"));
    EXPECT_EQ(AppModul::TitleCasePath(QString()), QString());
}

TEST(SettingsFileFor, ReplacesTheExtensionOfTheProgramFile)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    for (const char* name : {"quendel", "Paddeck.exe", "PADDECK.EXE"}) {
        QFile f(folder + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(AppModul::SettingsFileFor(folder + "quendel"), folder + "quendel.ini");
    EXPECT_EQ(AppModul::SettingsFileFor(folder + "Paddeck.exe"), folder + "Paddeck.ini");
    EXPECT_EQ(AppModul::SettingsFileFor(folder + "PADDECK.EXE"), folder + "PADDECK.ini");
    // A program file that cannot be found gives the title-case form of its path.
    EXPECT_EQ(AppModul::SettingsFileFor(QStringLiteral("C:\\PROGRA~1\\MY-PADS\\PAD_DECK.EXE")),
              QStringLiteral("C:\\Progra~1\\My-Pads\\Pad_Deck.ini"));
}

TEST(SetupFolders, EveryFolderEndsInOneSeparator)
{
    AppModul::SetupFolders(QStringLiteral("/quendel"), UserPrivateTempFolder());
    EXPECT_EQ(AppModul::ProgramFolder, QStringLiteral("/"));
    EXPECT_EQ(AppModul::ProgramName, QStringLiteral("quendel"));
    EXPECT_TRUE(AppModul::TempFolder.endsWith(u'/'));
    AppModul::ResetState();

    // A portable program in the root folder.
    StartPlace root;
    root.programFile = QStringLiteral("/quendel");
    root.programFolder = QStringLiteral("/");
    root.programHasSkin = root.programWritable = true;
    const Layout layout = ChooseLayout(root);
    EXPECT_EQ(layout.skinFolder, QStringLiteral("/Skin/"));
    EXPECT_EQ(layout.soundsFolder, QStringLiteral("/Sounds/"));
}

TEST(PrivateFolder, IsCreatedOwnerOnlyAndRefusesWhatItCannotTrust)
{
    QTemporaryDir base;
    const QString folder = PreparePrivateFolder(base.path(), QStringLiteral("mine"));
    ASSERT_EQ(folder, base.path() + QStringLiteral("/mine/"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A folder opened up by hand is closed again.
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    EXPECT_EQ(PreparePrivateFolder(base.path(), QStringLiteral("mine")), folder);
    ::stat(QFile::encodeName(folder).constData(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A symbolic link to a folder, or a plain file, under the name is refused.
    QDir(base.path()).mkdir(QStringLiteral("elsewhere"));
    QFile::link(base.path() + "/elsewhere", base.path() + "/planted");
    EXPECT_TRUE(PreparePrivateFolder(base.path(), QStringLiteral("planted")).isEmpty());
    QFile file(base.path() + "/afile");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(PreparePrivateFolder(base.path(), QStringLiteral("afile")).isEmpty());
}

TEST(WriteFileReplacing, ReplacesALinkInsteadOfWritingThroughItAndFailsCleanly)
{
    QTemporaryDir dir;
    const QString victim = dir.path() + "/victim";
    const QString planted = dir.path() + "/pink.wav";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    ASSERT_TRUE(QFile::link(victim, planted));
    ASSERT_TRUE(WriteFileReplacing(planted, "RIFF"));

    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(planted).isSymLink());
    QFile p(planted);
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_EQ(p.readAll(), QByteArray("RIFF"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2);
    EXPECT_FALSE(WriteFileReplacing(dir.path() + "/missing/x.wav", "data"));
}

// Main runs the real start: a lock in the user's private temp folder (TMPDIR points into the
// test's own folder), folder setup from this test program's path, the installation step.
class MainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        SetMessagePresenter(
            [this](const QString& text, int kind) { m_messages.emplace_back(text, kind); });
    }
    void TearDown() override
    {
        qputenv("TMPDIR", m_oldTmp);
        SetMessagePresenter({});
        AppModul::ResetState();
    }
    QString lockPath() const { return UserPrivateTempFolder() + QStringLiteral("quendel.lock"); }

    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
    std::vector<std::pair<QString, int>> m_messages;
};

TEST_F(MainTest, ASecondCopyEndsSilentlyWithExitCodeZero)
{
    QLockFile running(lockPath());
    ASSERT_TRUE(running.tryLock(0));
    bool shown = false;
    EXPECT_EQ(AppModul::Main([&] { shown = true; }), 0);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_TRUE(AppModul::SettingsFile.isEmpty()); // it ended before the folder setup
}

TEST_F(MainTest, AStaleLockFromACrashedCopyDoesNotBlockTheStart)
{
    const QString path = lockPath();
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile crashed(path);
        crashed.tryLock(0);
        ::_exit(0); // dies holding the lock, as a crash would
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(QFile::exists(path));

    // The test program has no skins beside it: the start goes on past the lock and then ends
    // with the missing-files message.
    bool shown = false;
    EXPECT_EQ(AppModul::Main([&] { shown = true; }), 1);
    EXPECT_FALSE(shown);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].first, kMissingFilesMessage);
    EXPECT_EQ(m_messages[0].second, 3);
}

} // namespace
