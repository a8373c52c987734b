// SPDX-License-Identifier: GPL-3.0-or-later
// What stretching a pad costs: a 32 s stereo loop at 44.1 kHz (noise-burst drums over a chord)
// from 120 to 100 BPM with Rubber Band's finer engine, as a multiple of real time ("xRealTime":
// seconds of audio per second of CPU). bench/stretch-reference times the rubberband tool on the
// same loop.
//
//   build-bench/bench_stretch                    the figures
//   build-bench/bench_stretch --memory           peak memory of one render against the loop's size
//   build-bench/bench_stretch --write-loop F     writes the loop as a 16-bit WAV to F

#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/Stretch.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 32.0;
constexpr double kSlower = 120.0 / 100.0;

// Sixteen bars at 120 BPM: a kick on every beat, a noise burst on every eighth, and an A minor
// chord with a few partials, a little wider on the right.
SampleBuffer makeLoop()
{
    const auto frames = static_cast<std::size_t>(kSeconds * kRate);
    auto data = std::make_unique<float[]>(frames * 2);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-1.0f, 1.0f);
    const double eighth = kRate * 0.25;
    const double chord[] = {220.0, 261.63, 329.63};
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double inEighth = std::fmod(static_cast<double>(i), eighth) / kRate;
        const double inBeat = std::fmod(static_cast<double>(i), 2 * eighth) / kRate;
        const double kick = 0.6 * std::exp(-inBeat * 25.0) * std::sin(2 * M_PI * 55.0 * inBeat);
        const double hat = 0.15 * std::exp(-inEighth * 60.0) * spread(random);
        double left = 0.0, right = 0.0;
        for (const double f : chord)
            for (int partial = 1; partial <= 3; ++partial) {
                left += 0.06 / partial * std::sin(2 * M_PI * f * partial * t);
                right += 0.06 / partial * std::sin(2 * M_PI * f * 1.002 * partial * t);
            }
        data[2 * i] = static_cast<float>(kick + hat + left);
        data[2 * i + 1] = static_cast<float>(kick + 0.8 * hat + right);
    }
    return SampleBuffer(std::move(data), frames);
}

const SampleBuffer& theLoop()
{
    static const SampleBuffer loop = makeLoop();
    return loop;
}

void stretch(benchmark::State& state, bool loop)
{
    const SampleBuffer& source = theLoop();
    for (auto _ : state) {
        auto out = RenderStretched(source, source.frames() * kSlower, 1.0, loop, nullptr, kRate);
        benchmark::DoNotOptimize(out);
    }
    state.counters["xRealTime"] = benchmark::Counter(
        kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void StretchLoop120To100(benchmark::State& state)
{
    stretch(state, true);
}
void StretchOnce120To100(benchmark::State& state)
{
    stretch(state, false);
}
BENCHMARK(StretchLoop120To100)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(StretchOnce120To100)->Unit(benchmark::kSecond)->Iterations(3);

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In a fresh process: the loop is made first, so what the peak grows by is the render's own.
int measureMemory()
{
    const SampleBuffer& source = theLoop();
    const long before = peakKilobytes();
    const auto out = RenderStretched(source, source.frames() * kSlower, 1.0, true, nullptr, kRate);
    const long after = peakKilobytes();
    const double loopMb = static_cast<double>(source.bytesHeld()) / 1e6;
    const double resultMb = static_cast<double>(out->bytesHeld()) / 1e6;
    const double grownMb = static_cast<double>(after - before) * 1024.0 / 1e6;
    std::printf("decoded loop %.1f MB, result %.1f MB, peak grew by %.1f MB during the render\n"
                "peak of a render: %.2f x the decoded size (the stretcher's own state: %.1f MB)\n",
                loopMb, resultMb, grownMb, grownMb / loopMb, grownMb - resultMb);
    return 0;
}

int writeLoop(const char* path)
{
    const SampleBuffer& loop = theLoop();
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    const auto frames = static_cast<sf_count_t>(loop.frames());
    const bool written = sf_writef_float(file, loop.data(), frames) == frames;
    sf_close(file);
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--memory") == 0)
        return measureMemory();
    if (argc == 3 && std::strcmp(argv[1], "--write-loop") == 0)
        return writeLoop(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
