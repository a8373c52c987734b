// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the listening tuner's pitch detector: accuracy in cents on steady tones, on the
// tuner's own reference sounds and under noise, the first reading after a pluck (counted in
// samples), and the analysis cost per second of audio at 44.1 and 48 kHz.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENDEL_BUILD_BENCH=ON
//   cmake --build build-bench --target bench_pitch && build-bench/bench/bench_pitch

#include "pitch/PitchDetector.h"
#include "pitch/PitchTestSignals.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using pitch::PitchDetector;
using pitch::PitchReading;

const std::vector<double> kRichPartials{1.0, 0.5, 0.33, 0.25, 0.2, 0.15};

struct Accuracy {
    double worstCents = 0.0;
    int readings = 0;
    int missing = 0; // readings without pitch where one was due
};

Accuracy accuracyOf(const std::vector<PitchReading>& readings, double expected, int rate,
                    double fromSeconds, double toSeconds = 1e9)
{
    Accuracy a;
    for (const PitchReading& r : readings) {
        const double t = static_cast<double>(r.frame) / rate;
        if (t < fromSeconds || t > toSeconds)
            continue;
        if (!r.hasPitch) {
            ++a.missing;
            continue;
        }
        ++a.readings;
        a.worstCents = std::max(a.worstCents, std::abs(pitchtest::cents(r.frequency, expected)));
    }
    return a;
}

void reportSteadyTones()
{
    std::printf("Steady tones with six harmonics, readings from 0.4 s to 1.5 s, worst |cents|\n");
    for (int rate : {8000, 44100, 48000, 96000, 192000}) {
        std::printf("  %6d Hz:", rate);
        for (double f : {40.0, 41.2, 82.41, 110.0, 246.94, 440.0, 880.0, 1318.5, 1500.0}) {
            PitchDetector detector(rate);
            const auto readings =
                pitchtest::listen(detector, pitchtest::harmonicTone(f, kRichPartials, 1.5, rate));
            const Accuracy a = accuracyOf(readings, f, rate, 0.4);
            std::printf(" %g:%.4f%s", f, a.worstCents, a.missing ? "(gaps)" : "");
        }
        std::printf("\n");
    }
}

void reportNoise()
{
    std::printf(
        "White noise 10 dB below the tone, 44.1 kHz, readings 0.4 s to 3 s, worst |cents|\n ");
    for (double f : {41.2, 82.41, 110.0, 196.0, 440.0, 1000.0, 1500.0}) {
        PitchDetector detector(44100);
        auto tone = pitchtest::harmonicTone(f, kRichPartials, 3.0, 44100);
        pitchtest::addWhiteNoise(tone, 10.0, 99);
        const Accuracy a = accuracyOf(pitchtest::listen(detector, tone), f, 44100, 0.4);
        std::printf(" %g:%.3f(%d gaps)", f, a.worstCents, a.missing);
    }
    std::printf("\n");
}

void reportReferenceSounds()
{
    std::printf("Reference sounds at A4 = 440, every reading of the ring, worst |cents|, "
                "first and last reading\n");
    const struct {
        const char* name;
        int note;
    } strings[] = {{"E", 40}, {"A", 45}, {"D", 50}, {"G", 55}, {"H", 59}, {"E2", 64}};
    for (const auto& s : strings) {
        const double f = 440.0 * std::exp2((s.note - 69) / 12.0);
        const auto sound = pitchtest::referenceSound(s.name);
        PitchDetector detector(44100);
        const auto readings = pitchtest::listen(detector, sound);
        double first = -1.0, last = -1.0;
        for (const auto& r : readings)
            if (r.hasPitch) {
                if (first < 0)
                    first = r.frame / 44100.0;
                last = r.frame / 44100.0;
            }
        const Accuracy a = accuracyOf(readings, f, 44100, 0.0);
        std::printf("  %-2s %7.2f Hz: worst %.3f cents over %d readings, %.0f ms to %.0f ms of "
                    "%.0f ms\n",
                    s.name, f, a.worstCents, a.readings, first * 1000, last * 1000,
                    sound.size() / 44.1);
    }
}

void reportLatency()
{
    std::printf("First reading after a pluck (samples from the onset, 44.1 kHz and 48 kHz)\n");
    const std::vector<double> lowE{0.3, 1.0, 0.6, 0.4, 0.3, 0.2}; // second harmonic strongest
    for (int rate : {44100, 48000})
        for (double f : {82.41, 41.2}) {
            const double silence = 0.25;
            PitchDetector detector(rate);
            const auto readings =
                pitchtest::listen(detector, pitchtest::pluckedNote(f, lowE, silence, 1.0, rate), 1);
            for (const auto& r : readings)
                if (r.hasPitch) {
                    const double samples = r.frame - silence * rate;
                    std::printf(
                        "  %d Hz, %.2f Hz: %.0f samples = %.1f ms, reading %.2f cents off\n", rate,
                        f, samples, samples * 1000.0 / rate, pitchtest::cents(r.frequency, f));
                    break;
                }
        }
}

// One iteration analyses one second of a ringing note with noise: the time per iteration is
// the analysis time per second of audio (1 % of a core = 10 ms).
void BM_AnalysisPerSecondOfAudio(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    auto sound =
        pitchtest::harmonicTone(static_cast<double>(state.range(1)), kRichPartials, 1.0, rate);
    pitchtest::addWhiteNoise(sound, 20.0, 5);
    PitchDetector detector(rate);
    constexpr std::size_t kBlock = 256;
    for (auto _ : state) {
        for (std::size_t at = 0; at < sound.size(); at += kBlock)
            detector.feed(sound.data() + at, std::min(kBlock, sound.size() - at));
        benchmark::DoNotOptimize(detector.reading());
    }
    state.counters["core_percent"] = benchmark::Counter(
        0.01, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AnalysisPerSecondOfAudio)
    ->Args({44100, 110})
    ->Args({48000, 110})
    ->Args({44100, 41})
    ->Args({48000, 41})
    ->Args({8000, 110})
    ->Args({192000, 110})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    reportSteadyTones();
    reportNoise();
    reportReferenceSounds();
    reportLatency();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
