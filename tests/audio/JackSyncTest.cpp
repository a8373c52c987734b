// SPDX-License-Identifier: GPL-3.0-or-later
// Quendel keeping time with others on a private jackd (dummy driver, 48 kHz, 256 frames): the
// grid's MIDI clock heard by a client of the test's own, and JACK's transport led and followed.
// Periods of 1024 frames: a sanitized build on a busy machine still keeps up with them.

#include "AudioTestSupport.h"
#include "audio/mixer/Mixer.h"
#include "support/JackClockProbe.h"
#include "support/PrivateJackServer.h"

#include <jack/jack.h>

using namespace audiotest;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 1024;

class JackSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateJackServer::installed())
            GTEST_SKIP() << "jackd is not installed (scripts/setup installs jackd2)";
        ASSERT_TRUE(server.start(kRate, kPeriod));
        ASSERT_TRUE(probe.open());
        player.engine.setEnv("QUENDEL_AUDIO", "jack");
        player.start();
        ASSERT_EQ(player.device(), "jack");
        player.control.AnchorGrid(true);
    }
    void TearDown() override { player.control.TerminateBASS(); }
    void playAt(double bpm)
    {
        mixer().setTempo(kRate * 60.0 / bpm, 4);
        mixer().commitPending();
        player.playLoop();
    }
    Mixer& mixer() { return player.engine->mixer(); }
    OutputHost& host() { return player.engine->host(); }

    PrivateJackServer server;
    JackClockProbe probe;
    LevelLoopEngine player;
};

} // namespace

TEST_F(JackSyncTest, TheClockGoesOutTwentyFourABeatOnItsFramesBetweenStartAndStop)
{
    host().clockOut().setEnabled(true);
    ASSERT_EQ(jack_connect(probe.client(), "Quendel:midi_out", probe.midiIn().c_str()), 0);
    const double beat = kRate * 60.0 / 137.0; // 21021.9 frames: clocks fall between frames
    playAt(137.0);
    ASSERT_TRUE(eventually([&] { return probe.clocks().size() >= 24 * 8; }));
    player.control.StopSample();
    ASSERT_TRUE(eventually([&] { return probe.heard().back().status == 0xFC; }));

    const std::vector<JackClockProbe::Heard> heard = probe.heard();
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard[0].status, 0xF2) << "the song position before the Start";
    EXPECT_EQ(heard[1].status, 0xFA);
    EXPECT_EQ(heard[2].status, 0xF8);
    EXPECT_EQ(heard[2].frame, heard[1].frame) << "the first clock on the Start";
    const std::vector<long long> clocks = probe.clocks();
    EXPECT_EQ(
        std::count_if(heard.begin(), heard.end(), [](const auto& h) { return h.status == 0xFC; }),
        1);
    EXPECT_GE(heard.back().frame, clocks.back()) << "no clock after the Stop";
    // Every clock on its frame: each step from the one before is the ideal one, to the frame. A
    // period the server ran late (an xrun) is one the clock, with the sound, was not heard in.
    const auto ideal = [&](std::size_t n) {
        return static_cast<long long>(std::floor(static_cast<double>(n) * beat / 24.0 + 1e-6));
    };
    int late = 0;
    for (std::size_t n = 1; n < clocks.size(); ++n) {
        const long long off = (clocks[n] - clocks[n - 1]) - (ideal(n) - ideal(n - 1));
        if (off != 0) {
            ++late;
            EXPECT_EQ(off % kPeriod, 0) << "clock " << n;
        }
    }
    EXPECT_LE(late, probe.xruns());
}

TEST_F(JackSyncTest, LeadingTheTransportGivesItTheSessionTempoAndRollsIt)
{
    host().setTransportMode(JackTransportShare::Mode::Lead);
    playAt(123.0);
    host().rollTransport(true);
    EXPECT_TRUE(eventually([&] { return probe.rolling(); }));
    EXPECT_TRUE(eventually([&] { return std::abs(probe.transportBpm() - 123.0) < 1e-6; }))
        << probe.transportBpm();
    host().rollTransport(false);
    EXPECT_TRUE(eventually([&] { return !probe.rolling(); }));
}

TEST_F(JackSyncTest, FollowingTheTransportHearsItsTempoAndWhetherItRolls)
{
    JackTransportShare& transport = host().transport();
    host().setTransportMode(JackTransportShare::Mode::Follow);
    ASSERT_TRUE(probe.leadAt(104.5));
    jack_transport_start(probe.client());
    EXPECT_TRUE(eventually([&] { return transport.rolling() && transport.bpm() == 104.5; }));
    jack_transport_stop(probe.client());
    EXPECT_TRUE(eventually([&] { return transport.heard() && !transport.rolling(); }));
}
