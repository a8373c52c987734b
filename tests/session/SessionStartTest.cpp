// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeManager.h"
#include "core/PrivateFiles.h"
#include "core/SettingsStore.h"
#include "session/SessionFiles.h"
#include "startup/AppModul.h"
#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The real start of a program folder with its skin, under a session manager the test plays.
class SessionStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        m_program.writeAllSkins();
        m_bar.show = [this] { ++shows; };
        m_bar.raise = [this] { ++raises; };
        m_bar.hide = [this] { ++hides; };
        m_bar.close = [this] { ++closes; };
    }
    void TearDown() override
    {
        AppModul::CloseSession();
        AppModul::SetSessionOpenWait(AppModul::kSessionOpenWait);
        qunsetenv("NSM_URL");
        qputenv("TMPDIR", m_oldTmp);
    }

    // Main, while the manager answers the announce and opens `path`.
    std::optional<int> startOpening(const QString& path)
    {
        qputenv("NSM_URL", m_manager.url("localhost").toUtf8());
        std::thread manager([&] {
            announce = m_manager.receive();
            m_manager.send("/reply", {Text("/nsm/server/announce"), Text("Welcome"),
                                      Text("Fake NSM"), Text(":server-control:")});
            m_manager.send("/nsm/client/open",
                           {Text(path.toStdString()), Text("Quendel"), Text("nABC")});
        });
        const std::optional<int> exitCode = AppModul::Main(m_bar, programFile());
        manager.join();
        return exitCode;
    }
    QString programFile() const { return m_program.root() + QStringLiteral("quendel"); }

    // While the event loop runs, the next thing the manager hears.
    std::optional<FakeManager::Received> nextAnswer()
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            if (auto message = m_manager.receive(10ms))
                return message;
        }
        return std::nullopt;
    }

    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
    ProgramFolder m_program;
    FakeManager m_manager;
    AppModul::BarHooks m_bar;
    int shows = 0, raises = 0, hides = 0, closes = 0;
    std::optional<FakeManager::Received> announce;
};

TEST_F(SessionStart, TheSessionFolderHoldsSettingsAndSoundsBesideAQuendelOutsideIt)
{
    // A Quendel outside any session runs: it does not stop one in a session.
    QLockFile outside(UserPrivateTempFolder() + QStringLiteral("quendel.lock"));
    ASSERT_TRUE(outside.tryLock(0));

    const QString path = m_tmp.path() + QStringLiteral("/sessions/My Song/Quendel.nABC");
    const QString folder = path + u'/';
    ASSERT_EQ(startOpening(path), std::nullopt);
    EXPECT_EQ(shows, 1);
    ASSERT_TRUE(announce);
    EXPECT_EQ(announce->path, "/nsm/server/announce");
    ASSERT_EQ(announce->types, "sssiii");
    EXPECT_EQ(announce->texts[0], "Quendel");
    EXPECT_EQ(announce->texts[1], ":optional-gui:");
    EXPECT_EQ(announce->texts[2], "quendel");
    EXPECT_EQ(announce->numbers[5], QCoreApplication::applicationPid());

    const auto opened = m_manager.receive();
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->path, "/reply");
    EXPECT_EQ(opened->texts[0], "/nsm/client/open");
    const auto gui = m_manager.receive();
    ASSERT_TRUE(gui);
    EXPECT_EQ(gui->path, "/nsm/client/gui_is_shown");

    EXPECT_EQ(AppModul::SettingsFile, folder + QStringLiteral("quendel.ini"));
    EXPECT_EQ(AppModul::SoundsFolder, folder + QStringLiteral("Sounds/"));
    EXPECT_TRUE(QDir(folder + QStringLiteral("Sounds")).exists());
    EXPECT_EQ(AppModul::SkinFolder, m_program.skinFolder()); // the skin stays the program's
    WriteSetting(QStringLiteral("Quendel"), QStringLiteral("Probe"), QStringLiteral("in session"),
                 AppModul::SettingsFile);
    EXPECT_EQ(ReadSetting(QStringLiteral("Quendel"), QStringLiteral("Probe"),
                          folder + QStringLiteral("quendel.ini"), {}),
              QStringLiteral("in session"));
    EXPECT_FALSE(QFile::exists(m_program.settingsFile()));

    m_manager.send("/nsm/client/save");
    auto saved = nextAnswer();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, "/reply");
    EXPECT_EQ(saved->texts[0], "/nsm/client/save");

    // A settings file that can no longer be written fails the save, and the manager hears why.
    ASSERT_TRUE(QFile::remove(AppModul::SettingsFile));
    ASSERT_TRUE(QDir().mkdir(AppModul::SettingsFile));
    m_manager.send("/nsm/client/save");
    saved = nextAnswer();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, "/error");
    ASSERT_EQ(saved->types, "sis");
    EXPECT_EQ(saved->texts[0], "/nsm/client/save");

    m_manager.send("/nsm/client/hide_optional_gui");
    ASSERT_TRUE(nextAnswer());
    m_manager.send("/nsm/client/show_optional_gui");
    ASSERT_TRUE(nextAnswer());
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(raises, 1);

    // The manager's SIGTERM closes the bar from the event loop.
    ASSERT_EQ(std::raise(SIGTERM), 0);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (closes == 0 && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(closes, 1);
}

TEST_F(SessionStart, ASecondQuendelInTheSameSessionEndsAndTheManagerHearsWhy)
{
    const QString path = m_tmp.path() + QStringLiteral("/session/Quendel.nABC");
    QLockFile running(UserPrivateTempFolder() + SessionCopyName(path + u'/') +
                      QStringLiteral(".lock"));
    ASSERT_TRUE(running.tryLock(0));
    EXPECT_EQ(startOpening(path), 0);
    EXPECT_EQ(shows, 0);
    const auto refused = m_manager.receive();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->path, "/error");
    EXPECT_EQ(refused->texts[0], "/nsm/client/open");
}

TEST_F(SessionStart, WithoutAManagerThatAnswersTheStartGoesOnAsWithoutOne)
{
    AppModul::SetSessionOpenWait(20ms);
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    for (const QString& url :
         {m_manager.url(), QStringLiteral("osc.udp://nowhere"), QStringLiteral("\x01garbage")}) {
        qputenv("NSM_URL", url.toUtf8());
        EXPECT_EQ(AppModul::Main(m_bar, programFile()), std::nullopt) << url.toStdString();
        EXPECT_EQ(AppModul::SettingsFile, m_program.settingsFile());
        EXPECT_EQ(AppModul::SoundsFolder, m_program.soundsFolder());
        struct sigaction now {};
        sigaction(SIGTERM, nullptr, &now);
        EXPECT_EQ(now.sa_handler, before.sa_handler); // SIGTERM ends Quendel as it always did
    }
    EXPECT_EQ(shows, 3);
}

} // namespace
