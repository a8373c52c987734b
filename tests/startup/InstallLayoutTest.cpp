// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/InstallLayout.h"
#include "core/ProgramState.h"
#include "startup/InstallationStep.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

StartPlace place(bool hasSkin, bool writable)
{
    StartPlace p;
    p.programFile = QStringLiteral("/opt/q/bin/quendel");
    p.programFolder = QStringLiteral("/opt/q/bin/");
    p.programHasSkin = hasSkin;
    p.programWritable = writable;
    p.installedData = QStringLiteral("/opt/q/share/quendel/");
    p.configHome = QStringLiteral("/home/u/.config/");
    p.dataHome = QStringLiteral("/home/u/.local/share/");
    return p;
}

TEST(ChooseLayout, PortableOnlyWhenTheProgramFolderHasASkinAndMayBeWritten)
{
    const Layout portable = ChooseLayout(place(true, true));
    EXPECT_FALSE(portable.installed);
    EXPECT_EQ(portable.skinFolder, "/opt/q/bin/Skin/");
    EXPECT_EQ(portable.soundsFolder, "/opt/q/bin/Sounds/");
    EXPECT_EQ(portable.settingsFile, "/Opt/Q/Bin/Quendel.ini"); // no such file: title case

    const Layout installed = ChooseLayout(place(false, true));
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(installed.skinFolder, "/opt/q/share/quendel/Skin/");
    EXPECT_EQ(installed.userSkinFolder, "/home/u/.local/share/quendel/Skin/");
    EXPECT_EQ(installed.soundsFolder, "/home/u/.local/share/quendel/Sounds/");
    EXPECT_EQ(installed.settingsFile, "/home/u/.config/quendel/quendel.ini");
    EXPECT_EQ(installed.starterSettings, "/opt/q/share/quendel/quendel.ini");

    // A portable folder on a read-only medium brings its own skin and loops, but stores nothing.
    const Layout readOnly = ChooseLayout(place(true, false));
    EXPECT_TRUE(readOnly.installed);
    EXPECT_EQ(readOnly.skinFolder, "/opt/q/bin/Skin/");
    EXPECT_EQ(readOnly.demoKitFolder, "/opt/q/bin/Sounds/");
    EXPECT_EQ(readOnly.settingsFile, "/home/u/.config/quendel/quendel.ini");
}

class UserFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            m_saved.emplace_back(name, qgetenv(name));
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root() + "config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root() + "data"));
        // An installation under root()/usr: the program, the skin, the kit and the starter file.
        writeFile(root() + "usr/bin/quendel", "program");
        for (const QString& image : RequiredSkinImages())
            writeFile(share() + "Skin/" + image + ".bmp", "BM");
        writeFile(share() + "Sounds/Drums.wav", "drums");
        writeFile(share() + "Sounds/Bass.wav", "bass");
        writeFile(share() + "quendel.ini", "[Samples]\nSample 1=Drums.wav\n");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved)
            qputenv(name, value);
        SetMessagePresenter({});
        AppModul::ResetState();
    }
    QString root() const { return m_dir.path() + u'/'; }
    QString home() const { return root() + "home"; }
    QString share() const { return root() + "usr/share/quendel/"; }
    QString sounds() const { return root() + "data/quendel/Sounds/"; }
    QString settings() const { return root() + "config/quendel/quendel.ini"; }
    Layout installedLayout() const
    {
        return ChooseLayout(ProbeStartPlace(root() + "usr/bin/quendel"));
    }

    QTemporaryDir m_dir;
    std::vector<std::pair<const char*, QByteArray>> m_saved;
};

TEST_F(UserFoldersTest, TheProbeFindsThePrefixAndTheUsersFolders)
{
    const StartPlace found = ProbeStartPlace(root() + "usr/bin/quendel");
    EXPECT_EQ(found.installedData, share());
    EXPECT_EQ(found.configHome, root() + "config/");
    EXPECT_EQ(found.dataHome, root() + "data/");

    // Relative XDG folders are ignored in favour of the home folder's defaults.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    qunsetenv("XDG_DATA_HOME");
    const StartPlace fallback = ProbeStartPlace(root() + "usr/bin/quendel");
    EXPECT_EQ(fallback.configHome, home() + "/.config/");
    EXPECT_EQ(fallback.dataHome, home() + "/.local/share/");
}

TEST_F(UserFoldersTest, TheFirstStartSeedsSoundsAndSettingsAndLaterStartsTouchNothing)
{
    const Layout layout = installedLayout();
    PrepareUserFolders(layout);
    EXPECT_EQ(readFile(sounds() + "Drums.wav"), "drums");
    EXPECT_EQ(readFile(sounds() + "Bass.wav"), "bass");
    EXPECT_EQ(readFile(settings()), "[Samples]\nSample 1=Drums.wav\n");
    EXPECT_TRUE(QFileInfo(root() + "data/quendel/Skin").isDir());

    // The user binds their own sound, removes a demo loop and edits a kit file.
    writeFile(settings(), "[Samples]\nSample 1=Mine.wav\n");
    QFile::remove(sounds() + "Bass.wav");
    writeFile(sounds() + "Drums.wav", "my drums");
    PrepareUserFolders(layout);
    EXPECT_EQ(readFile(settings()), "[Samples]\nSample 1=Mine.wav\n");
    EXPECT_FALSE(QFile::exists(sounds() + "Bass.wav"));
    EXPECT_EQ(readFile(sounds() + "Drums.wav"), "my drums");
}

TEST_F(UserFoldersTest, FoldersThatCannotBeMadeLeaveTheStartGoing)
{
    // A file where the folders should be: neither can be created, whoever runs the test.
    writeFile(root() + "config", "not a folder");
    writeFile(root() + "data", "not a folder");
    const Layout layout = installedLayout();
    PrepareUserFolders(layout);
    EXPECT_FALSE(QFile::exists(settings()));
    EXPECT_FALSE(QFile::exists(sounds()));
    EXPECT_EQ(readFile(root() + "config"), "not a folder");

    // A dangling link where the settings file belongs is not written through.
    QFile::remove(root() + "config");
    QDir().mkpath(root() + "config/quendel");
    ASSERT_TRUE(QFile::link(root() + "elsewhere.ini", settings()));
    PrepareUserFolders(layout);
    EXPECT_FALSE(QFile::exists(root() + "elsewhere.ini"));
}

TEST_F(UserFoldersTest, TheInstallationStepRunsTheInstalledWayWithTheUsersSkinFirst)
{
    writeFile(root() + "data/quendel/Skin/AllOn.jpg", "JFIF");
    std::vector<QString> messages;
    SetMessagePresenter([&](const QString& text, int) { messages.push_back(text); });
    QTemporaryDir temp;
    AppModul::SetupFolders(root() + "usr/bin/quendel", temp.path() + u'/');
    ASSERT_TRUE(InstallationStep());

    EXPECT_EQ(AppModul::SettingsFile, settings());
    EXPECT_EQ(AppModul::SoundsFolder, sounds());
    EXPECT_EQ(readFile(sounds() + "Drums.wav"), "drums");
    // The user's image replaces the default one although it has the other format; the rest
    // come from the installation.
    EXPECT_EQ(AppModul::SkinImageFile("AllOn"), root() + "data/quendel/Skin/AllOn.jpg");
    EXPECT_EQ(AppModul::SkinImageFile("AllOff"), share() + "Skin/AllOff.bmp");
    // Nothing is written beside the program.
    EXPECT_EQ(QDir(root() + "usr/bin").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"quendel"});
    EXPECT_TRUE(messages.empty());
}

TEST_F(UserFoldersTest, ASessionStartsFromTheKitAndAPortableOneWithoutAnInstallationEmpty)
{
    const QString session = root() + "session/Quendel.nA/";
    const Layout layout = SessionLayout(ProbeStartPlace(root() + "usr/bin/quendel"), session);
    EXPECT_EQ(layout.settingsFile, session + "quendel.ini");
    EXPECT_EQ(layout.skinFolder, share() + "Skin/");
    PrepareUserFolders(layout);
    EXPECT_EQ(readFile(session + "Sounds/Drums.wav"), "drums");
    EXPECT_EQ(readFile(session + "quendel.ini"), "[Samples]\nSample 1=Drums.wav\n");
    EXPECT_FALSE(QFile::exists(sounds())); // the user's own folders are not the session's

    // A portable program's own Sounds and settings are its user's: they stay out of a session.
    writeFile(root() + "portable/quendel", "program");
    writeFile(root() + "portable/Skin/AllOn.bmp", "BM");
    writeFile(root() + "portable/Sounds/Mine.wav", "mine");
    writeFile(root() + "portable/quendel.ini", "[Samples]\nSample 1=Mine.wav\n");
    const QString empty = root() + "session/Quendel.nB/";
    PrepareUserFolders(SessionLayout(ProbeStartPlace(root() + "portable/quendel"), empty));
    EXPECT_TRUE(QFileInfo(empty + "Sounds").isDir());
    EXPECT_TRUE(QDir(empty + "Sounds").isEmpty());
    EXPECT_FALSE(QFile::exists(empty + "quendel.ini"));
}

} // namespace
