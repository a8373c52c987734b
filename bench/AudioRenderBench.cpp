// SPDX-License-Identifier: GPL-3.0-or-later
// Render cost of one 256-frame block with a sample, a stream, a second control's sample and the
// tone generator's PCM buffer all playing. The "realtime" counter is seconds of audio rendered
// per second of CPU: the target is at least 500.

#include "BenchFolder.h"
#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "audio/DirectSound.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

std::string writeTone(const std::string& path, int format, int channels, int rate, int frames)
{
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<float> samples(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * static_cast<float>(std::sin(static_cast<double>(i) * 0.03));
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return path;
}

void BM_RenderBlockAllVoices(benchmark::State& state)
{
    constexpr int kBlock = 256;
    constexpr int kBlocksPerRound = 64;
    const BenchFolder folder;
    if (!folder.valid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    AudioEngine engine(AudioEngine::Options{true, {}});
    engine.mixer().setOfflineStreamWait(false);
    const std::string sample =
        writeTone(folder.file("sample.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 88200);
    const std::string stream = writeTone(
        folder.file("stream.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 44100, 441000);
    {
        AudioControl bar(engine);
        AudioControl tuner(engine);
        bar.InitBASS(0, 44100, false, false);
        bar.BufferLenInSeconds(10.0);
        bar.OpenSample(sample);
        bar.PlaySample(true);
        bar.OpenStream(stream);
        bar.PlayStream(true);
        tuner.OpenSample(sample);
        tuner.PlaySample(true);
        bar.SampleVol(80);
        tuner.SamplePan(-40);
        DirectX7 dx(engine);
        DSBUFFERDESC desc;
        desc.lBufferBytes = 4101;
        auto buffer = dx.DirectSoundCreate("")->CreateSoundBuffer(desc, WAVEFORMATEX{});
        std::vector<std::uint8_t> bytes(4101);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(i * 0.1428)));
        buffer->WriteBuffer(0, 0, bytes.data(), DSBLOCK_ENTIREBUFFER);
        buffer->Play(DSBPLAY_LOOPING);

        std::vector<float> out(kBlock * 2);
        for (auto _ : state) {
            state.PauseTiming(); // the stream's reader thread decodes ahead, off the clock
            engine.mixer().waitForStreams(kBlock * kBlocksPerRound);
            state.ResumeTiming();
            for (int i = 0; i < kBlocksPerRound; ++i) {
                engine.mixer().render(out.data(), kBlock);
                benchmark::DoNotOptimize(out.data());
            }
        }
        state.counters["realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                            kBlocksPerRound * kBlock / 44100.0,
                                                        benchmark::Counter::kIsRate);
        state.counters["us_per_block"] =
            benchmark::Counter(static_cast<double>(state.iterations()) * kBlocksPerRound * 1e-6,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        buffer.reset();
        bar.TerminateBASS();
    }
    engine.mixer().setOfflineStreamWait(true);
}
BENCHMARK(BM_RenderBlockAllVoices)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
