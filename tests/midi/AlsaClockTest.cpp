// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's MIDI clock scheduled on the ALSA sequencer, heard by a sequencer client of the
// test's own. Needs /dev/snd/seq (the snd-seq module); without it the test is skipped.

#include "audio/host/MidiClockOut.h"
#include "audio/mixer/Mixer.h"
#include "audio/mixer/Voice.h"
#include "audio/sounds/SampleBuffer.h"
#include "midi/AlsaClockOut.h"
#include "midi/AlsaSeqTransport.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kRate = 48000;

std::int64_t nanosNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
        .count();
}

struct Heard {
    int type;
    std::int64_t nanos;
};

} // namespace

TEST(AlsaClockOut, TheClockReachesASequencerClientOnItsTimes)
{
    if (access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing: modprobe snd-seq)";
    auto sequencer = AlsaSeqTransport::Open("QuendelClockTest");
    ASSERT_TRUE(sequencer);
    int client = -1, port = -1;
    sequencer->useSequencer([&](snd_seq_t* seq, int out) {
        client = snd_seq_client_id(seq);
        port = out;
    });
    snd_seq_t* ear = nullptr;
    ASSERT_GE(snd_seq_open(&ear, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK), 0);
    const int earPort =
        snd_seq_create_simple_port(ear, "ear", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                   SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE(snd_seq_connect_from(ear, earPort, client, port), 0);

    // The audio thread: a mixer rendering 5 ms blocks at real-time pace, heard 20 ms later.
    MidiClockOut source;
    source.setEnabled(true);
    Mixer mixer;
    mixer.start(kRate, true);
    const double beat = kRate * 60.0 / 137.0;
    mixer.setTempo(beat, 4);
    auto data = std::make_unique<float[]>(2 * kRate);
    auto loop = std::make_unique<SampleVoice>(
        std::make_shared<SampleBuffer>(std::move(data), std::size_t{kRate}), true);
    loop->anchorsGrid = true;
    Voice* playing = mixer.startVoice(std::move(loop));
    std::atomic<bool> rendering{true};
    std::thread audio([&] {
        std::vector<float> out(240 * 2);
        auto next = Steady::now();
        while (rendering.load()) {
            mixer.render(out.data(), 240);
            source.follow(mixer.gridBlock(), nanosNow() + 20000000, kRate);
            next += std::chrono::microseconds(5000);
            std::this_thread::sleep_until(next);
        }
    });

    AlsaClockOut clockOut(*sequencer, source);
    std::vector<Heard> heard;
    const auto listen = [&](std::chrono::milliseconds span) {
        const auto end = Steady::now() + span;
        auto topUp = Steady::now();
        while (Steady::now() < end) {
            if (Steady::now() >= topUp) {
                clockOut.topUp();
                topUp += std::chrono::milliseconds(AlsaClockOut::kTopUpMs);
            }
            pollfd fd{};
            snd_seq_poll_descriptors(ear, &fd, 1, POLLIN);
            poll(&fd, 1, 2);
            snd_seq_event_t* event = nullptr;
            while (snd_seq_event_input(ear, &event) >= 0 && event)
                heard.push_back({event->type, nanosNow()});
        }
    };
    listen(std::chrono::milliseconds(2000));
    mixer.stopVoice(playing);
    listen(std::chrono::milliseconds(300));
    rendering.store(false);
    audio.join();
    mixer.stop();
    snd_seq_close(ear);

    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard[0].type, SND_SEQ_EVENT_SONGPOS);
    EXPECT_EQ(heard[1].type, SND_SEQ_EVENT_START);
    EXPECT_EQ(heard.back().type, SND_SEQ_EVENT_STOP);
    std::vector<std::int64_t> clocks;
    for (const Heard& h : heard)
        if (h.type == SND_SEQ_EVENT_CLOCK)
            clocks.push_back(h.nanos);
    // Two seconds at 137 BPM: about 110 clocks, each within a few ms of its time.
    ASSERT_GT(clocks.size(), 90u);
    double worst = 0.0;
    for (std::size_t n = 0; n < clocks.size(); ++n) {
        const double ideal = static_cast<double>(n) * beat / 24.0 / kRate * 1e9;
        worst = std::max(worst, std::abs(static_cast<double>(clocks[n] - clocks[0]) - ideal));
    }
    RecordProperty("worst_clock_jitter_ms", std::to_string(worst / 1e6));
    EXPECT_LT(worst / 1e6, 6.0);
}
