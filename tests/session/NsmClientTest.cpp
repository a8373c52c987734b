// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/NsmClient.h"

#include "FakeManager.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// While the event loop runs the client, the next thing the manager hears.
std::optional<FakeManager::Received> nextAnswer(FakeManager& manager)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        if (auto message = manager.receive(10ms))
            return message;
    }
    return std::nullopt;
}

TEST(NsmUrl, TakesOnlyAnOscUdpAddressWithAPort)
{
    const auto local = NsmClient::ParseUrl(QStringLiteral("osc.udp://localhost:12345/"));
    ASSERT_TRUE(local);
    EXPECT_EQ(local->host, QStringLiteral("localhost"));
    EXPECT_EQ(local->port, 12345);
    const auto v6 = NsmClient::ParseUrl(QStringLiteral("osc.udp://[::1]:9000/"));
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, QStringLiteral("::1"));

    for (const char* bad : {"", "garbage", "osc.tcp://localhost:12345/", "osc.udp://localhost/",
                            "osc.udp://localhost:0/", "osc.udp://localhost:70000/",
                            "osc.udp://:12345/", "osc.udp://local host:12345/"}) {
        QString problem;
        EXPECT_FALSE(NsmClient::ParseUrl(QString::fromLatin1(bad), &problem)) << bad;
        EXPECT_FALSE(problem.isEmpty()) << bad;
        NsmClient client{QString::fromLatin1(bad)};
        EXPECT_FALSE(client.isConnected()) << bad;
        EXPECT_FALSE(client.waitForOpen(0ms));
    }
}

TEST(NsmClient, AnnouncesTakesTheOpenPastGarbageAndAnswersTheManager)
{
    FakeManager manager;
    NsmClient client(manager.url("localhost"));
    ASSERT_TRUE(client.isConnected()) << client.problem().toStdString();
    ASSERT_TRUE(client.announce(QStringLiteral("Quendel"), QStringLiteral(":optional-gui:"),
                                QStringLiteral("quendel"), 4242));
    const auto announce = manager.receive();
    ASSERT_TRUE(announce);
    EXPECT_EQ(announce->path, "/nsm/server/announce");
    ASSERT_EQ(announce->types, "sssiii");
    EXPECT_EQ(announce->texts[0], "Quendel");
    EXPECT_EQ(announce->texts[1], ":optional-gui:");
    EXPECT_EQ(announce->texts[2], "quendel");
    EXPECT_EQ(announce->numbers[3], 1);
    EXPECT_EQ(announce->numbers[4], 2);
    EXPECT_EQ(announce->numbers[5], 4242);

    // What is not an open, or not from the manager, goes by.
    manager.send("/reply", {Text("/nsm/server/announce"), Text("Hi"), Text("Fake NSM"),
                            Text(":server-control:")});
    manager.send(std::vector<char>{'g', 'a', 'r', 'b', 'a', 'g', 'e', '!'});
    manager.send(std::vector<char>{'/', 'x', 0});
    manager.send("/nsm/client/open", {Text("/nowhere"), Int(1), Text("id")});
    manager.send("/nsm/client/open", {Text("/nowhere")});
    const int stranger = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    manager.sendFrom(stranger,
                     OscPacket("/nsm/client/open", {Text("/stranger"), Text("S"), Text("s.id")}));
    close(stranger);
    manager.send("/nsm/client/open",
                 {Text("/tmp/session/Quendel.nABC"), Text("Quendel"), Text("nABC")});

    const auto open = client.waitForOpen(20s);
    ASSERT_TRUE(open) << client.problem().toStdString();
    EXPECT_EQ(open->path, QStringLiteral("/tmp/session/Quendel.nABC"));
    EXPECT_EQ(open->displayName, QStringLiteral("Quendel"));
    EXPECT_EQ(open->clientId, QStringLiteral("nABC"));
    EXPECT_EQ(client.managerName(), QStringLiteral("Fake NSM"));

    client.replyOpened(QStringLiteral("ready"));
    const auto opened = manager.receive();
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->path, "/reply");
    ASSERT_EQ(opened->types, "ss");
    EXPECT_EQ(opened->texts[0], "/nsm/client/open");

    QString saveProblem;
    std::vector<bool> shown;
    client.listen({[&] { return saveProblem; }, [&](bool show) { shown.push_back(show); }});

    manager.send("/nsm/client/session_is_loaded"); // asks nothing: the next answer is the save's
    manager.send("/nsm/client/save");
    auto saved = nextAnswer(manager);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, "/reply");
    ASSERT_EQ(saved->types, "ss");
    EXPECT_EQ(saved->texts[0], "/nsm/client/save");

    saveProblem = QStringLiteral("disk full");
    manager.send("/nsm/client/save");
    saved = nextAnswer(manager);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, "/error");
    ASSERT_EQ(saved->types, "sis");
    EXPECT_EQ(saved->texts[0], "/nsm/client/save");
    EXPECT_EQ(saved->numbers[1], NsmClient::kGeneralError);
    EXPECT_EQ(saved->texts[2], "disk full");

    manager.send("/nsm/client/hide_optional_gui");
    auto gui = nextAnswer(manager);
    ASSERT_TRUE(gui);
    EXPECT_EQ(gui->path, "/nsm/client/gui_is_hidden");
    manager.send("/nsm/client/show_optional_gui");
    gui = nextAnswer(manager);
    ASSERT_TRUE(gui);
    EXPECT_EQ(gui->path, "/nsm/client/gui_is_shown");
    EXPECT_EQ(shown, (std::vector<bool>{false, true}));

    // Another session while running: refused, Quendel stays where it is.
    manager.send("/nsm/client/open", {Text("/tmp/other"), Text("Quendel"), Text("nXYZ")});
    const auto switched = nextAnswer(manager);
    ASSERT_TRUE(switched);
    EXPECT_EQ(switched->path, "/error");
    ASSERT_EQ(switched->types, "sis");
    EXPECT_EQ(switched->texts[0], "/nsm/client/open");
    EXPECT_EQ(switched->numbers[1], NsmClient::kGeneralError);
}

TEST(NsmClient, TheWaitEndsWhenTheManagerIsSilentOrRefuses)
{
    FakeManager silent;
    NsmClient unanswered(silent.url());
    ASSERT_TRUE(unanswered.announce(QStringLiteral("Quendel"), QStringLiteral(":"),
                                    QStringLiteral("quendel"), 1));
    EXPECT_FALSE(unanswered.waitForOpen(20ms));
    EXPECT_FALSE(unanswered.problem().isEmpty());

    // A refusal ends the wait at once, long before its end.
    FakeManager refusing;
    NsmClient refused(refusing.url());
    ASSERT_TRUE(refused.announce(QStringLiteral("Quendel"), QStringLiteral(":"),
                                 QStringLiteral("quendel"), 1));
    ASSERT_TRUE(refusing.receive());
    refusing.send("/error", {Text("/nsm/server/announce"), Int(-2), Text("Incompatible API")});
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(refused.waitForOpen(600s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 300s);
    EXPECT_TRUE(refused.problem().contains(QStringLiteral("Incompatible API")));

    // No manager at all on the port: the refused datagram does not end the program or the wait
    // before its time.
    int port = 0;
    {
        FakeManager gone;
        port = gone.port();
    }
    NsmClient nobody(QStringLiteral("osc.udp://127.0.0.1:%1/").arg(port));
    ASSERT_TRUE(nobody.isConnected());
    nobody.announce(QStringLiteral("Quendel"), QStringLiteral(":"), QStringLiteral("quendel"), 1);
    EXPECT_FALSE(nobody.waitForOpen(20ms));
}

} // namespace
