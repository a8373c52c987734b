// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/NsmClient.h"

#include "FakeManager.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

// A client that announced itself to the manager, which heard it.
void announce(NsmClient& client, FakeManager& manager)
{
    ASSERT_TRUE(client.announce(QStringLiteral("Quendel"), {}, QStringLiteral("q"), 1));
    ASSERT_TRUE(manager.receive());
}

TEST(NsmClient, TakesTheOpenPastGarbageAndStrangersAndAnswersTheManager)
{
    FakeManager manager;
    NsmClient client(manager.url());
    announce(client, manager);
    manager.send(std::vector<char>{'g', 'a', 'r', 'b', 'a', 'g', 'e', '!'});
    manager.send(std::vector<char>{'/', 'x', 0});
    manager.send("/nsm/client/open", {Text("/nowhere"), {'i', 1}, Text("id")});
    const int stranger = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    manager.send(OscPacket("/nsm/client/open", {Text("/stranger"), Text("S"), Text("s")}),
                 stranger);
    close(stranger);
    manager.send("/nsm/client/open", {Text("/tmp/s/Quendel.nABC"), Text("Q"), Text("nABC")});
    const auto open = client.waitForOpen(20s);
    ASSERT_TRUE(open) << client.problem().toStdString();
    EXPECT_EQ(open->path, QStringLiteral("/tmp/s/Quendel.nABC"));

    QString saveProblem = QStringLiteral("disk full");
    std::vector<bool> shown;
    client.listen({[&] { return saveProblem; }, [&](bool show) { shown.push_back(show); }});
    manager.send("/nsm/client/session_is_loaded"); // asks nothing: the next answer is the save's
    manager.send("/nsm/client/save");
    EXPECT_EQ(manager.answer()->args, (Args{"/nsm/client/save", "-1", "disk full"}));
    manager.send("/nsm/client/hide_optional_gui");
    EXPECT_EQ(manager.answer()->path, "/nsm/client/gui_is_hidden");
    manager.send("/nsm/client/show_optional_gui");
    EXPECT_EQ(manager.answer()->path, "/nsm/client/gui_is_shown");
    EXPECT_EQ(shown, (std::vector<bool>{false, true}));

    // Another session while running: refused, Quendel stays where it is.
    manager.send("/nsm/client/open", {Text("/tmp/other"), Text("Q"), Text("nXYZ")});
    const auto refused = manager.answer();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->path, "/error");
    EXPECT_EQ(refused->args.at(0), "/nsm/client/open");
}

TEST(NsmClient, ARefusalEndsTheWaitAtOnce)
{
    FakeManager refusing;
    NsmClient refused(refusing.url());
    announce(refused, refusing);
    refusing.send("/error", {Text("/nsm/server/announce"), {'i', -2}, Text("Incompatible API")});
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(refused.waitForOpen(600s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 300s); // long before the wait's end
    EXPECT_TRUE(refused.problem().contains(QStringLiteral("Incompatible API")));
}

} // namespace
