// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeManager.h"
#include "core/PrivateFiles.h"
#include "core/SettingsStore.h"
#include "session/SessionFiles.h"
#include "startup/AppModul.h"
#include "support/ProgramFolder.h"

#include <QDir>
#include <QLockFile>
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

void (*termHandler())(int)
{
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    return now.sa_handler;
}

// The real start of a program folder with its skin, under a session manager the test plays.
class SessionStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_program.root()));
        m_program.writeAllSkins();
        m_bar = {[this] { ++shows; }, {}, [] {}, [this] { ++closes; }};
    }
    void TearDown() override
    {
        AppModul::CloseSession();
        AppModul::SetSessionOpenWait(AppModul::kSessionOpenWait);
        qunsetenv("NSM_URL");
        qputenv("TMPDIR", m_oldTmp);
    }
    // Main, while the manager answers the announce and opens the session.
    std::optional<int> startOpening()
    {
        qputenv("NSM_URL", m_manager.url("localhost").toUtf8());
        std::thread manager([&] {
            announce = m_manager.receive();
            m_manager.send("/reply", {Text("/nsm/server/announce"), Text("Hi"), Text("NSM")});
            m_manager.send("/nsm/client/open", {Text(m_path.toStdString()), Text("Q"), Text("n")});
        });
        const std::optional<int> exitCode = AppModul::Main(m_bar, programFile());
        manager.join();
        return exitCode;
    }
    QString programFile() const { return m_program.root() + QStringLiteral("quendel"); }

    ProgramFolder m_program;
    const QString m_path = m_program.root() + QStringLiteral("My Song/Quendel.nABC");
    QByteArray m_oldTmp;
    FakeManager m_manager;
    AppModul::BarHooks m_bar;
    int shows = 0, closes = 0;
    std::optional<FakeManager::Received> announce;
};

TEST_F(SessionStart, TheSessionFolderHoldsSettingsAndSoundsBesideAQuendelOutsideIt)
{
    QLockFile outside(UserPrivateTempFolder() + QStringLiteral("quendel.lock"));
    ASSERT_TRUE(outside.tryLock(0));
    const auto before = termHandler();
    ASSERT_EQ(startOpening(), std::nullopt);
    EXPECT_EQ(shows, 1);
    ASSERT_TRUE(announce);
    EXPECT_EQ(announce->path, "/nsm/server/announce");
    EXPECT_EQ(announce->types, "sssiii");
    EXPECT_EQ(announce->args, (std::vector<std::string>{"Quendel", ":optional-gui:", "quendel", "1",
                                                        "2", std::to_string(::getpid())}));
    EXPECT_EQ(m_manager.receive()->args.at(0), "/nsm/client/open"); // the /reply
    EXPECT_EQ(m_manager.receive()->path, "/nsm/client/gui_is_shown");

    const QString folder = m_path + u'/';
    EXPECT_EQ(AppModul::SoundsFolder, folder + QStringLiteral("Sounds/"));
    EXPECT_TRUE(QDir(folder + QStringLiteral("Sounds")).exists());
    EXPECT_EQ(AppModul::SkinFolder, m_program.skinFolder());
    WriteSetting(QStringLiteral("Quendel"), QStringLiteral("Probe"), QStringLiteral("1"),
                 AppModul::SettingsFile);
    EXPECT_EQ(ReadSetting(QStringLiteral("Quendel"), QStringLiteral("Probe"),
                          folder + QStringLiteral("quendel.ini"), {}),
              QStringLiteral("1"));
    m_manager.send("/nsm/client/save");
    EXPECT_EQ(m_manager.answer()->args, (std::vector<std::string>{"/nsm/client/save", "Saved"}));

    // The manager's SIGTERM closes the bar from the event loop; afterwards it ends as before.
    ASSERT_EQ(std::raise(SIGTERM), 0);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (closes == 0 && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(closes, 1);
    AppModul::CloseSession();
    EXPECT_EQ(termHandler(), before);
}

TEST_F(SessionStart, ASecondQuendelInTheSameSessionEndsAndTheManagerHearsWhy)
{
    QLockFile running(UserPrivateTempFolder() + SessionCopyName(m_path + u'/') + ".lock");
    ASSERT_TRUE(running.tryLock(0));
    EXPECT_EQ(startOpening(), 0);
    EXPECT_EQ(shows, 0);
    const auto refused = m_manager.receive();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->path, "/error");
}

TEST_F(SessionStart, WithoutAManagerThatAnswersTheStartGoesOnAsWithoutOne)
{
    AppModul::SetSessionOpenWait(20ms);
    const auto before = termHandler();
    for (const char* url : {"silent", "osc.udp://nowhere", "\x01garbage"}) {
        qputenv("NSM_URL",
                url == std::string("silent") ? m_manager.url().toUtf8() : QByteArray(url));
        EXPECT_EQ(AppModul::Main(m_bar, programFile()), std::nullopt) << url;
        EXPECT_EQ(AppModul::SettingsFile, m_program.settingsFile());
        EXPECT_EQ(termHandler(), before);
    }
    EXPECT_EQ(shows, 3);
}

} // namespace
