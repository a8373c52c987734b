// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/OscServer.h"

#include "OscPackets.h"
#include "core/PadBanks.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"
#include "support/TestEngine.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>

namespace {

constexpr int kRate = 44100;

// A UDP socket on 127.0.0.1 (any free port): the tests never leave the loopback interface.
int LoopbackSocket(int* port = nullptr)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return -1;
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    if (port)
        *port = ntohs(address.sin_port);
    return fd;
}

// An argument as a number; copied out first, as liblo's arguments lie on 4-byte boundaries.
double Number(lo_type type, const lo_arg* arg)
{
    if (type != LO_INT32 && type != LO_FLOAT && type != LO_INT64 && type != LO_DOUBLE)
        return std::nan("");
    lo_arg aligned{};
    std::memcpy(&aligned, static_cast<const void*>(arg), lo_arg_size(type, nullptr));
    return static_cast<double>(lo_hires_val(type, &aligned));
}

// A client on the loopback interface: sends to the server's port and keeps the last reply to
// each address (numbers only: every reply holds numbers).
class Client {
public:
    explicit Client(int serverPort) : m_fd(LoopbackSocket())
    {
        m_server.sin_family = AF_INET;
        m_server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_server.sin_port = htons(static_cast<uint16_t>(serverPort));
    }
    ~Client() { close(m_fd); }

    void sendRaw(const void* bytes, std::size_t size)
    {
        sendto(m_fd, bytes, size, 0, reinterpret_cast<const sockaddr*>(&m_server), sizeof m_server);
    }
    void send(const char* path, const std::vector<OscArg>& args = {})
    {
        const std::vector<char> packet = OscPacket(path, args);
        sendRaw(packet.data(), packet.size());
    }

    // Plays the UI thread's events and reads replies until `done` holds; false after 20 s.
    bool waitFor(const std::function<bool()>& done)
    {
        const QDeadlineTimer deadline(20000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            pollfd wait{m_fd, POLLIN, 0};
            if (poll(&wait, 1, 10) > 0)
                readReplies();
        }
        return true;
    }
    // The reply to path holds exactly these numbers.
    bool waitForReply(const std::string& path, const std::vector<double>& numbers)
    {
        return waitFor([&] {
            const auto found = replies.find(path);
            return found != replies.end() && found->second == numbers;
        });
    }

    std::map<std::string, std::vector<double>> replies;

private:
    void readReplies()
    {
        std::vector<char> packet(kMaxOscPacket);
        for (;;) {
            const ssize_t size = recv(m_fd, packet.data(), packet.size(), MSG_DONTWAIT);
            if (size <= 0)
                return;
            int result = 0;
            lo_message message =
                lo_message_deserialise(packet.data(), static_cast<std::size_t>(size), &result);
            if (!message)
                continue;
            const char* types = lo_message_get_types(message);
            lo_arg** argv = lo_message_get_argv(message);
            std::vector<double> numbers;
            for (int i = 0; i < lo_message_get_argc(message); ++i)
                numbers.push_back(Number(static_cast<lo_type>(types[i]), argv[i]));
            replies[packet.data()] = numbers;
            lo_message_free(message);
        }
    }

    int m_fd;
    sockaddr_in m_server{};
};

QByteArray SettingsNow()
{
    return ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
}

std::vector<double> Lights(std::initializer_list<int> litPads)
{
    std::vector<double> lights(kPadCount, 0.0);
    for (int pad : litPads)
        lights[static_cast<std::size_t>(pad - 1)] = 1.0;
    return lights;
}

// A deck over an offline engine with loops on pads 1 and 2, played over OSC on the loopback
// interface.
class OscServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine->start(kRate);
        const std::vector<float> loop(kRate, 0.1f);
        ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "One.wav", loop));
        ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "Two.wav", loop));
        WriteSetting(AppModul::PadSection, "Sample 1", "One.wav", AppModul::SettingsFile);
        WriteSetting(AppModul::PadSection, "Sample 2", "Two.wav", AppModul::SettingsFile);
        deck = std::make_unique<PadDeck>(*engine);
        server = std::make_unique<OscServer>(*deck, QStringLiteral("127.0.0.1"), 0);
        ASSERT_TRUE(server->isOpen()) << server->problem().toStdString();
        ASSERT_GT(server->port(), 0);
        client = std::make_unique<Client>(server->port());
    }
    void TearDown() override
    {
        client.reset();
        server.reset();
        deck.reset();
    }

    ProgramFolder folder;
    TestEngine engine;
    std::unique_ptr<PadDeck> deck;
    std::unique_ptr<OscServer> server;
    std::unique_ptr<Client> client;
};

TEST_F(OscServerTest, APressPlaysThePadAndTheSenderHearsTheLightsAndThePlayingPad)
{
    client->send("/quendel/press", {{'i', 1}});
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == 0; }));
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({1})));
    EXPECT_TRUE(client->waitForReply("/quendel/playing", {1}));
    EXPECT_TRUE(client->waitForReply("/quendel/tempo", {0}));
    EXPECT_TRUE(deck->DMC.SampleIsActive() || deck->DMC.StreamIsActive());

    client->send("/quendel/release", {{'f', 1}});
    client->send("/quendel/press", {{'d', 1}}); // the playing pad pressed again stops it
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == PadDeck::kNoPad; }));
    EXPECT_TRUE(client->waitForReply("/quendel/playing", {0}));
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({})));
}

TEST_F(OscServerTest, TempoAndTransposeSetTheSessionAndTheTempoComesBack)
{
    client->send("/quendel/tempo", {{'f', 96.5}});
    ASSERT_TRUE(client->waitFor([&] { return deck->Tempo.now().tempo == 96.5; }));
    EXPECT_TRUE(client->waitForReply("/quendel/tempo", {96.5}));

    client->send("/quendel/transpose", {{'i', -2}, {'i', 15}});
    ASSERT_TRUE(client->waitFor([&] { return deck->Tempo.now().semitones == -2; }));
    EXPECT_EQ(deck->Tempo.now().cents, 15);

    client->send("/quendel/tempo", {{'i', 0}});
    ASSERT_TRUE(client->waitFor([&] { return deck->Tempo.now().tempo == 0.0; }));
    EXPECT_TRUE(client->waitForReply("/quendel/tempo", {0}));
}

TEST_F(OscServerTest, NextStepsToTheNextBoundPadAndStopSilencesAll)
{
    client->send("/quendel/press", {{'i', 1}});
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == 0; }));
    client->send("/quendel/next");
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == 1; }));
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({2})));
    EXPECT_TRUE(client->waitForReply("/quendel/playing", {2}));
    client->send("/quendel/previous");
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == 0; }));

    client->send("/quendel/stop");
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == PadDeck::kNoPad; }));
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({})));
    EXPECT_TRUE(client->waitForReply("/quendel/playing", {0}));
    EXPECT_FALSE(deck->DMC.SampleIsActive() || deck->DMC.StreamIsActive());
}

TEST_F(OscServerTest, ABankIsShownWhileTheLoopPlaysOnAndTheSenderHearsWhichAndItsLights)
{
    client->send("/quendel/press", {{'i', 1}});
    ASSERT_TRUE(client->waitFor([&] { return deck->ActivePad == 0; }));
    client->send("/quendel/bank", {{'i', 2}});
    ASSERT_TRUE(client->waitFor([&] { return PadBanks::Shown() == 1; }));
    EXPECT_TRUE(client->waitForReply("/quendel/bank", {2}));
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({})));
    EXPECT_TRUE(client->waitForReply("/quendel/playing", {0}));
    EXPECT_EQ(deck->activeDeckPad(), 0);
    EXPECT_TRUE(deck->DMC.SampleIsActive() || deck->DMC.StreamIsActive());
    client->send("/quendel/bank", {{'i', 1}});
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({1})));
    EXPECT_TRUE(client->waitForReply("/quendel/bank", {1}));
}

TEST_F(OscServerTest, ChangesMadeElsewhereReachTheLastSender)
{
    client->send("/quendel/hello");
    ASSERT_TRUE(client->waitForReply("/quendel/playing", {0}));
    deck->Tempo.setTempo(120.0); // the tempo strip, say
    EXPECT_TRUE(client->waitForReply("/quendel/tempo", {120}));
    deck->press(1); // a click on pad 2
    EXPECT_TRUE(client->waitForReply("/quendel/pads", Lights({2})));
    EXPECT_TRUE(client->waitForReply("/quendel/playing", {2}));
}

TEST_F(OscServerTest, GarbageChangesNothingAndTheServerStillAnswers)
{
    client->send("/quendel/press", {{'i', 1}});
    ASSERT_TRUE(client->waitForReply("/quendel/playing", {1}));
    client->replies.clear();

    std::mt19937 random(7);
    std::vector<unsigned char> bytes(2000);
    for (int n = 0; n < 300; ++n) {
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(random());
        client->sendRaw(bytes.data(), random() % bytes.size());
    }
    client->send("/quendel/press", {{'i', 99}});
    client->send("/quendel/tempo", {{'s', 0, "fast"}});
    client->send("/quendel/stop", {{'i', 1}});
    client->sendRaw("/quendel/stop", 13); // no type string, not padded
    client->send("/quendel/hello");
    ASSERT_TRUE(client->waitForReply("/quendel/playing", {1}));
    EXPECT_EQ(deck->ActivePad, 0);
    EXPECT_EQ(deck->Tempo.now().tempo, 0.0);
    EXPECT_EQ(server->dropped(), 0);
}

TEST(OscServerSettings, OffMissingOrNonsensePortsOpenNothing)
{
    ProgramFolder folder;
    const auto place = [](const char* text, QString* problem = nullptr) {
        return OscServer::PlaceIn(QByteArray("[Quendel]\n") + text + "\n", problem);
    };
    EXPECT_FALSE(place(""));
    EXPECT_FALSE(place("OscPort=off"));
    EXPECT_FALSE(place("OscPort=OFF"));
    EXPECT_FALSE(place("OscPort="));
    for (const char* nonsense : {"OscPort=abc", "OscPort=80", "OscPort=70000", "OscPort=-9000",
                                 "OscPort=9000.5", "OscPort=0"}) {
        QString problem;
        EXPECT_FALSE(place(nonsense, &problem)) << nonsense;
        EXPECT_TRUE(problem.contains("OSC port")) << nonsense;
    }
    const std::optional<OscServer::Place> stored = place("OscPort= 9000 ");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->port, 9000);
    EXPECT_EQ(stored->address, "127.0.0.1");
    EXPECT_EQ(place("OscPort=9000\nOscAddress=::1")->address, "::1");

    TestEngine engine;
    PadDeck deck(*engine);
    QStringList reports;
    const auto report = [&](const QString& text) { reports << text; };
    EXPECT_FALSE(OscServer::FromSettings(deck, SettingsNow(), report)); // no key at all
    WriteSetting(AppModul::AppTitle, "OscPort", "off", AppModul::SettingsFile);
    EXPECT_FALSE(OscServer::FromSettings(deck, SettingsNow(), report));
    EXPECT_TRUE(reports.isEmpty());
    WriteSetting(AppModul::AppTitle, "OscPort", "abc", AppModul::SettingsFile);
    EXPECT_FALSE(OscServer::FromSettings(deck, SettingsNow(), report));
    EXPECT_EQ(reports.size(), 1);
}

TEST(OscServerSettings, APortAlreadyTakenOrANonsenseAddressIsSaidOnceAndNothingOpens)
{
    ProgramFolder folder;
    TestEngine engine;
    PadDeck deck(*engine);
    int taken = 0;
    const int holder = LoopbackSocket(&taken);
    ASSERT_GE(holder, 0);

    OscServer busy(deck, QStringLiteral("127.0.0.1"), taken);
    EXPECT_FALSE(busy.isOpen());
    EXPECT_EQ(busy.port(), 0);
    EXPECT_EQ(busy.problem(), QStringLiteral("OSC port %1 cannot be opened").arg(taken));

    WriteSetting(AppModul::AppTitle, "OscPort", QString::number(taken), AppModul::SettingsFile);
    QStringList reports;
    EXPECT_FALSE(OscServer::FromSettings(deck, SettingsNow(),
                                         [&](const QString& text) { reports << text; }));
    EXPECT_EQ(reports, QStringList{busy.problem()});

    OscServer named(deck, QStringLiteral("not an address"), 0);
    EXPECT_FALSE(named.isOpen());
    close(holder);

    // Opened and closed again and again: the receiving thread always ends.
    for (int n = 0; n < 20; ++n) {
        OscServer server(deck, QStringLiteral("localhost"), 0);
        EXPECT_TRUE(server.isOpen());
    }
}

} // namespace
