// SPDX-License-Identifier: GPL-3.0-or-later
// Takes recorded through a JACK server on its dummy driver: another client is the loopback
// cable, carrying Quendel's left output back into its "in" port, so the metronome's clicks that
// Quendel plays come back as the musician's playing would, a round trip late.
#include "AudioTestSupport.h"
#include "audio/host/JackAudioDevice.h"
#include "support/JackCable.h"
#include "support/PrivateJackServer.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace audiotest;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;

} // namespace

TEST(JackTake, AClickPlayedInTimeLandsOnTheBarLineToTheFrameAfterTheMeasuredRoundTrip)
{
    if (!PrivateJackServer::installed())
        GTEST_SKIP() << "jackd is not installed (scripts/setup installs jackd2)";
    PrivateJackServer server;
    ASSERT_TRUE(server.start(kRate, kPeriod));
    setenv("QUENDEL_AUDIO", "jack", 1);
    LevelLoopEngine player;
    player.start(kRate);
    ASSERT_STREQ(player.engine->host().deviceName(), "jack");
    JackCable cable;
    ASSERT_TRUE(cable.open("Quendel:out_left", "Quendel:in"));

    Mixer& mixer = player.engine->mixer();
    TakeRecorder& recorder = mixer.recorder();
    auto input = player.engine->openInput(&TakeRecorder::Hear, &recorder);
    ASSERT_NE(input, nullptr);
    ASSERT_STREQ(input->name(), "jack");
    recorder.restartInput();

    // The round trip through the cable, as the musician's "measure" step finds it.
    mixer.measureRoundTrip();
    mixer.commitPending();
    ASSERT_TRUE(
        eventually([&] { return recorder.progress().state == TakeRecorder::State::Measured; }));
    const std::int64_t roundTrip = recorder.progress().roundTrip;
    EXPECT_GE(roundTrip, 0);
    EXPECT_LE(roundTrip, 4 * kPeriod);
    std::printf("round trip through the cable: %lld frames\n", static_cast<long long>(roundTrip));
    // Without a measurement a take is placed by what the server reports: at least the period
    // on the way out to the speakers (the cable is no capture port, so nothing on the way in).
    EXPECT_GE(player.engine->host().reportedRoundTripFrames(), kPeriod);

    // A bar of clicks at 240 BPM (a beat of 12000 frames), the first one louder, taken as played.
    mixer.setTempo(12000.0, 4);
    mixer.setMetronome(true, 1.0f);
    MonoRing ring(static_cast<std::size_t>(kRate) * 10);
    Mixer::TakeRequest request;
    request.bars = 1;
    request.countIn = true;
    request.roundTrip = roundTrip;
    request.target = &ring;
    mixer.recordTake(request);
    mixer.commitPending();
    ASSERT_TRUE(eventually([&] { return recorder.progress().state == TakeRecorder::State::Done; }));
    const TakeRecorder::Progress progress = recorder.progress();
    EXPECT_EQ(progress.end - progress.start, 48000);
    std::vector<float> take(ring.readable());
    ring.read(take.data(), take.size());
    ASSERT_EQ(take.size(), 48000u);
    EXPECT_EQ(progress.dropped, 0);
    // Each click where it was played: its sine starts from zero on the beat's own frame, so the
    // first frame heard is the one after.
    for (int beat = 0; beat < 4; ++beat) {
        const std::size_t onset = static_cast<std::size_t>(beat) * 12000;
        const std::size_t from = onset >= 200 ? onset - 200 : 0;
        std::size_t first = from;
        while (first < take.size() && std::fabs(take[first]) < 1e-4f)
            ++first;
        EXPECT_EQ(first, onset + 1) << "beat " << beat;
    }
    input->close();
    player.control.TerminateBASS();
    unsetenv("QUENDEL_AUDIO");
}
