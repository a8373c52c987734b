// SPDX-License-Identifier: GPL-3.0-or-later
// measure_jack: MIDI note-on to the pad's first frame at Quendel's JACK outputs.
//
// A private jackd on its dummy driver (48 kHz) runs at 128 and then 256 frames a period. A
// "keys" client writes a note-on into Quendel:midi_in at the first frame of a period; the
// engine's MIDI receiver wakes a UI-like thread, which plays a pad (AudioControl::PlaySample on
// an opened WAV whose first frame is loud); an "ear" client on Quendel:out_left notes the
// server frame of the first frame that is not silent. The figure is that frame minus the
// note-on's frame: the engine's part only, without the sound card's own buffer behind the
// outputs. The UI-like thread polls the receiver's flag every 100 us, which adds up to about
// 5 frames.
//
//   measure_jack [--presses N]

#include "BenchFolder.h"
#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "support/PrivateJackServer.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <typename Done> bool waitFor(Done done, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

bool writeClick(const std::string& path)
{
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = 48000;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const std::vector<float> loud(480, 0.5f); // 10 ms
    const bool ok = sf_writef_float(file, loud.data(), 480) == 480;
    sf_close(file);
    return ok;
}

bool measure(int period, int presses, const std::string& wav)
{
    PrivateJackServer server;
    if (!server.start(48000, period)) {
        std::fprintf(stderr, "jackd did not start\n");
        return false;
    }
    std::atomic<bool> noteOn{false};
    AudioEngine engine;
    engine.host().midi().setReceiver([&noteOn](const std::uint8_t* bytes, std::size_t size) {
        if (size == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0)
            noteOn.store(true, std::memory_order_release);
    });
    AudioControl control(engine);
    control.InitBASS(0, 44100, false, false);
    if (std::strcmp(engine.host().deviceName(), "jack") != 0) {
        std::fprintf(stderr, "the engine did not open JACK\n");
        return false;
    }
    control.OpenSample(wav);
    JackTestClient keys("QuendelKeys");
    JackTestClient ear("QuendelEar");
    if (!keys.open(0) || !ear.open(0) || !keys.connect(keys.port("midi_out"), "Quendel:midi_in") ||
        !ear.connect("Quendel:out_left", ear.port("in_left"))) {
        std::fprintf(stderr, "the measuring clients did not connect\n");
        return false;
    }
    std::vector<long long> latencies;
    for (int press = 0; press < presses; ++press) {
        // The last click has ended and a few silent periods have passed.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        noteOn = false;
        ear.awaitSound();
        keys.sendMidi({0x90, 36, 100});
        if (!waitFor([&] { return noteOn.load(std::memory_order_acquire); },
                     std::chrono::milliseconds(2000)))
            continue;
        control.PlaySample(false);
        if (waitFor([&] { return ear.soundFrame() >= 0 && keys.sentFrame() >= 0; },
                    std::chrono::milliseconds(2000)))
            latencies.push_back(ear.soundFrame() - keys.sentFrame());
    }
    control.TerminateBASS();
    engine.host().midi().setReceiver({});
    if (latencies.empty()) {
        std::fprintf(stderr, "no press was heard\n");
        return false;
    }
    std::sort(latencies.begin(), latencies.end());
    const long long median = latencies[latencies.size() / 2];
    const long long worst = latencies.back();
    std::printf("period %4d: %zu of %d presses heard; note-on to first frame: median %lld frames "
                "(%.2f ms), worst %lld frames (%.2f ms), best %lld frames\n",
                period, latencies.size(), presses, median, median / 48.0, worst, worst / 48.0,
                latencies.front());
    return latencies.size() == static_cast<std::size_t>(presses);
}

} // namespace

int main(int argc, char** argv)
{
    int presses = 200;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--presses") == 0)
            presses = std::max(1, std::atoi(argv[i + 1]));
    if (!PrivateJackServer::installed()) {
        std::fprintf(stderr, "jackd is not installed (scripts/setup installs jackd2)\n");
        return 1;
    }
    setenv("QUENDEL_AUDIO", "jack", 1);
    const BenchFolder folder;
    const std::string wav = folder.file("click.wav");
    if (!folder.valid() || !writeClick(wav))
        return 1;
    bool ok = true;
    for (const int period : {128, 256})
        ok = measure(period, presses, wav) && ok;
    return ok ? 0 : 1;
}
