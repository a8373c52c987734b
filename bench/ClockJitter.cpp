// SPDX-License-Identifier: GPL-3.0-or-later
// measure_clock_jitter: how far the MIDI clock Quendel sends through JACK lies from its ideal
// frames.
//
// A private jackd on its dummy driver (48 kHz, 256 frames a period) carries Quendel's clock from
// midi_out to a "ClockProbe" client that notes the server frame of every clock (the period's
// frame time plus the event's offset). A loop plays at 137 BPM (21021.9 frames a beat, so clocks
// fall between frames) for the given seconds; the figure is, for each clock, its frame minus the
// first clock's less the ideal distance (n beats / 24, floored), in frames. Periods the server
// ran late (xruns) move every later clock by a whole period, and are counted apart.
//
//   measure_clock_jitter [--seconds S]

#include "BenchFolder.h"
#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "support/JackClockProbe.h"
#include "support/PrivateJackServer.h"

#include <jack/jack.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;

bool writeLoop(const std::string& path)
{
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = kRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const std::vector<float> level(kRate, 0.25f);
    const bool ok = sf_writef_float(file, level.data(), kRate) == kRate;
    sf_close(file);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 20.0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
    if (!PrivateJackServer::installed()) {
        std::puts("jackd is not installed (scripts/setup installs jackd2)");
        return 1;
    }
    setenv("QUENDEL_AUDIO", "jack", 1);
    const BenchFolder folder;
    const std::string wav = folder.file("loop.wav");
    PrivateJackServer server;
    JackClockProbe probe;
    if (!writeLoop(wav) || !server.start(kRate, kPeriod) || !probe.open()) {
        std::puts("could not set up the server, the probe or the loop");
        return 1;
    }
    AudioEngine engine;
    AudioControl control(engine);
    control.InitBASS(0, 44100, false, false);
    engine.host().clockOut().setEnabled(true);
    if (jack_connect(probe.client(), "Quendel:midi_out", probe.midiIn().c_str()) != 0) {
        std::puts("Quendel's midi_out is not there");
        return 1;
    }
    const double beat = kRate * 60.0 / 137.0;
    engine.mixer().setTempo(beat, 4);
    engine.mixer().commitPending();
    control.AnchorGrid(true);
    control.OpenSample(wav);
    control.PlaySample(true);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    control.TerminateBASS();

    const std::vector<long long> clocks = probe.clocks();
    std::map<long long, long> steps; // off by this many frames: how many clock steps
    long long worst = 0;
    for (std::size_t n = 1; n < clocks.size(); ++n) {
        const auto ideal = [&](std::size_t k) {
            return static_cast<long long>(std::floor(static_cast<double>(k) * beat / 24.0 + 1e-6));
        };
        const long long off = (clocks[n] - clocks[n - 1]) - (ideal(n) - ideal(n - 1));
        ++steps[off];
        if (off % kPeriod != 0 || off == 0)
            worst = std::max(worst, std::llabs(off));
    }
    std::printf("JACK dummy driver, %d Hz, %d frames a period, 137 BPM, %.0f s\n", kRate, kPeriod,
                seconds);
    std::printf("clocks heard: %zu (%.1f a second; 24 a beat is %.1f)\n", clocks.size(),
                static_cast<double>(clocks.size()) / seconds, 24.0 * 137.0 / 60.0);
    std::printf("server xruns: %d\n", probe.xruns());
    for (const auto& [off, count] : steps)
        std::printf("  clock step off by %lld frame(s): %ld\n", off, count);
    std::printf("clock-out jitter, xruns aside: %lld frame(s) at most\n", worst);
    return 0;
}
