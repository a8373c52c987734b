// SPDX-License-Identifier: GPL-3.0-or-later
// OpenSample of a 1 MB and a 10 MB WAV (16-bit stereo, 44.1 kHz; targets 2 ms and 15 ms), and
// the memory a decoded sample holds against its decoded size (target at most 1 % above); a press
// (open and play) on a 30 MB WAV whose sound is ready (target 1 ms).

#include "BenchFolder.h"
#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "audio/sounds/ReadySounds.h"
#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/SoundFile.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <malloc.h>
#include <sndfile.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string writeWav(const BenchFolder& folder, std::size_t megabytes)
{
    const std::string path = folder.file(std::to_string(megabytes) + "mb.wav");
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = 44100;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const auto frames = static_cast<sf_count_t>(megabytes * 1024 * 1024 / 4);
    std::vector<short> samples(static_cast<std::size_t>(frames) * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<short>((i * 7919) % 30000 - 15000);
    sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    return path;
}

void BM_OpenSample(benchmark::State& state)
{
    const BenchFolder folder;
    if (!folder.valid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = writeWav(folder, static_cast<std::size_t>(state.range(0)));
    AudioEngine engine(AudioEngine::Options{true, {}});
    AudioControl control(engine);
    control.InitBASS(0, 44100, false, false);
    for (auto _ : state) {
        control.OpenSample(path);
        benchmark::ClobberMemory();
    }
    control.TerminateBASS();

    // What the heap really hands out for the decoded data, against its frames' size.
    std::shared_ptr<const SampleBuffer> buffer;
    decodeSample(path, 44100, AudioEngine::kDefaultSampleSizeLimit, buffer);
    if (buffer) {
        const double usable =
            static_cast<double>(malloc_usable_size(const_cast<float*>(buffer->data())));
        state.counters["held_over_decoded"] = usable / static_cast<double>(buffer->bytesHeld());
    }
}
BENCHMARK(BM_OpenSample)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// A pad press as the deck makes it (open, then play looped) on a 30 MB WAV (about three minutes
// of 16-bit stereo at 44.1 kHz) whose sound is ready in memory: target at most 1 ms.
void BM_PressReadySample(benchmark::State& state)
{
    const BenchFolder folder;
    if (!folder.valid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = writeWav(folder, 30);
    AudioEngine engine(AudioEngine::Options{true, {}});
    AudioControl control(engine);
    control.InitBASS(0, 44100, false, false);
    control.KeepSamplesReady({path});
    ReadySounds& ready = engine.sounds();
    for (int waited = 0; !ready.isReady(path) && waited < 10000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!ready.isReady(path))
        state.SkipWithError("the sound did not get ready within 10 s");
    std::vector<float> block(512);
    for (auto _ : state) {
        control.OpenSample(path);
        control.PlaySample(true);
        state.PauseTiming();
        engine.mixer().render(block.data(), 256);
        state.ResumeTiming();
    }
    control.TerminateBASS();
}
BENCHMARK(BM_PressReadySample)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
