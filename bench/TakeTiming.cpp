// SPDX-License-Identifier: GPL-3.0-or-later
// measure_take_timing: how far from the grid a click played in time lands in a recorded take.
//
// A private jackd on its dummy driver at 48 kHz carries Quendel's left output through a
// "Cable" client back into Quendel's "in" port, as a loopback cable would. For each period size
// the round trip is measured as the musician's "measure" step does (a click sent and heard
// back), then, at each tempo, four bars of the metronome are recorded with that figure and every
// click's first frame in the take is compared with the frame of its beat on the grid counted
// from the take's first frame. The figure is the worst click's error in frames.
//
//   measure_take_timing

#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "support/JackCable.h"
#include "support/PrivateJackServer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kBars = 4;

template <typename Done> bool waitFor(Done done, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

struct Figures {
    std::int64_t roundTrip = -1;
    int clicks = 0;
    std::int64_t worst = 0;
    std::int64_t dropped = 0;
};

// One tempo's take on the running engine: the worst click's distance from its beat.
bool measureTempo(Mixer& mixer, double bpm, std::int64_t roundTrip, Figures& figures)
{
    const double beat = 60.0 / bpm * kRate;
    TakeRecorder& recorder = mixer.recorder();
    mixer.setTempo(0.0); // a fresh grid for each tempo
    mixer.setTempo(beat, 4);
    mixer.setMetronome(true, 1.0f);
    MonoRing ring(static_cast<std::size_t>(kRate) * 30);
    Mixer::TakeRequest request;
    request.bars = kBars;
    request.countIn = true;
    request.roundTrip = roundTrip;
    request.target = &ring;
    const std::uint32_t before = recorder.progress().serial;
    mixer.recordTake(request);
    mixer.commitPending();
    if (!waitFor(
            [&] {
                const TakeRecorder::Progress shown = recorder.progress();
                return shown.serial != before && shown.state == TakeRecorder::State::Done;
            },
            30))
        return false;
    mixer.setMetronome(false, 1.0f);
    mixer.commitPending();
    const TakeRecorder::Progress progress = recorder.progress();
    std::vector<float> take(ring.readable());
    ring.read(take.data(), take.size());
    figures.dropped += progress.dropped;
    // Each click's first frame in the take.
    std::vector<std::int64_t> onsets;
    for (int i = 0; i < kBars * 4; ++i) {
        auto first = static_cast<std::int64_t>(std::llround(i * beat - beat / 2));
        first = std::max<std::int64_t>(first, 0);
        while (first < static_cast<std::int64_t>(take.size()) &&
               std::fabs(take[static_cast<std::size_t>(first)]) < 1e-4f)
            ++first;
        onsets.push_back(first);
    }
    // The grid's beats from the take's first frame, a bar line whose exact time lies a fraction
    // of a frame after it (which this side cannot see): the error is the worst click's distance
    // from its beat for the fraction that fits best (the click's sine starts from zero on its
    // beat's frame, so it is heard from the frame after).
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (int step = 0; step < 64; ++step) {
        const double fraction = step / 64.0;
        std::int64_t worst = 0;
        for (std::size_t i = 0; i < onsets.size(); ++i) {
            const auto due =
                static_cast<std::int64_t>(std::floor(fraction + static_cast<double>(i) * beat)) + 1;
            worst = std::max<std::int64_t>(worst, std::llabs(onsets[i] - due));
        }
        best = std::min(best, worst);
    }
    figures.worst = std::max(figures.worst, best);
    figures.clicks += static_cast<int>(onsets.size());
    return true;
}

} // namespace

int main()
{
    if (!PrivateJackServer::installed()) {
        std::fprintf(stderr, "jackd is not installed (scripts/setup installs jackd2)\n");
        return 1;
    }
    setenv("QUENDEL_AUDIO", "jack", 1);
    std::printf("%8s %12s %8s %12s %8s\n", "period", "round trip", "clicks", "worst error",
                "dropped");
    for (const int period : {64, 256, 1024}) {
        PrivateJackServer server;
        if (!server.start(kRate, period)) {
            std::fprintf(stderr, "jackd did not start\n");
            return 1;
        }
        Figures figures;
        {
            AudioEngine engine;
            AudioControl control(engine);
            control.InitBASS(0, kRate, false, false);
            JackCable cable;
            if (!cable.open("Quendel:out_left", "Quendel:in")) {
                std::fprintf(stderr, "the cable did not connect\n");
                return 1;
            }
            Mixer& mixer = engine.mixer();
            auto input = engine.openInput(&TakeRecorder::Hear, &mixer.recorder());
            if (!input) {
                std::fprintf(stderr, "Quendel's input did not open\n");
                return 1;
            }
            mixer.recorder().restartInput();
            mixer.measureRoundTrip();
            mixer.commitPending();
            if (waitFor(
                    [&] {
                        return mixer.recorder().progress().state == TakeRecorder::State::Measured;
                    },
                    10))
                figures.roundTrip = mixer.recorder().progress().roundTrip;
            for (const double bpm : {97.0, 120.0, 173.0})
                if (figures.roundTrip < 0 || !measureTempo(mixer, bpm, figures.roundTrip, figures))
                    figures.worst = -1;
            input->close();
            control.TerminateBASS();
        }
        std::printf("%8d %12lld %8d %12lld %8lld\n", period,
                    static_cast<long long>(figures.roundTrip), figures.clicks,
                    static_cast<long long>(figures.worst), static_cast<long long>(figures.dropped));
    }
    return 0;
}
