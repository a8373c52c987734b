// SPDX-License-Identifier: GPL-3.0-or-later
// The tone generator rebuilds its tone on every mouse move of a marker drag: the readouts, the
// 4410-byte sine block at 1000 Hz (44100 bytes for a frequency like 997 Hz that shares no factor
// with the rate), the rewrite of the looping buffer (which the engine crossfades) and the
// waveform picture. Target: a median of at most 100 us per refresh.
//
// An audio thread renders beside the window at the device's pace, as a sound card would, so the
// rewritten blocks are taken up and handed back while the benchmark runs.
//
// BM_LoopedTone measures what the loop sounds like rather than how fast it is built: THD+N of
// the looped block at level 0.8 and the largest step at its wrap, for today's whole-period length
// and for the length the buffer had before (as many rounded periods as fit into 4096 samples), in
// the counters thdn_dB, thdn_pct, seam_step and within_step (steps in 8-bit levels):
//   bench_tonegen --benchmark_filter=LoopedTone

#include "audio/AudioEngine.h"
#include "core/Form.h"
#include "core/ProgramState.h"
#include "tonegen/ToneBlock.h"
#include "tonegen/ToneDisplay.h"
#include "tonegen/frmToneGen.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

// The engine the benchmarks play on, offline: an audio thread of their own pulls from it.
AudioEngine& engine()
{
    static AudioEngine offline(AudioEngine::Options{true, {}});
    return offline;
}

class AudioThread {
public:
    AudioThread()
        : m_thread([this] {
              std::vector<float> out(256 * 2);
              while (!m_stop.load()) {
                  engine().mixer().render(out.data(), 256);
                  std::this_thread::sleep_for(std::chrono::microseconds(5805));
              }
          })
    {
    }
    ~AudioThread()
    {
        m_stop.store(true);
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

frmToneGen& openToneGenerator()
{
    static bool started = false;
    if (!started) {
        engine().start(44100);
        AppModul::SkinFolder = QDir(QCoreApplication::applicationDirPath()).filePath("Skin/");
        started = true;
    }
    return TheForm<frmToneGen>(engine());
}

void BM_RefreshTone1000Hz(benchmark::State& state)
{
    frmToneGen& toneGen = openToneGenerator();
    AudioThread audio;
    toneGen.RefreshTone(1000, 0.8f);
    for (auto _ : state)
        toneGen.RefreshTone(1000, 0.8f);
}
BENCHMARK(BM_RefreshTone1000Hz)->Repetitions(5)->ReportAggregatesOnly(true);

// A drag: every move changes the frequency, and with it the block length, so a new buffer
// replaces the sounding one each time.
void BM_RefreshToneDrag(benchmark::State& state)
{
    frmToneGen& toneGen = openToneGenerator();
    AudioThread audio;
    int frequency = 900;
    for (auto _ : state) {
        toneGen.Frequency = frequency;
        toneGen.RefreshTone(frequency, 0.8f);
        frequency = frequency == 1100 ? 900 : frequency + 1;
    }
}
BENCHMARK(BM_RefreshToneDrag)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ToneBlock1000Hz(benchmark::State& state)
{
    std::vector<std::uint8_t> block;
    for (auto _ : state) {
        ToneBlock::Fill(block, 1000, 0.8f, 1.0f);
        benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(BM_ToneBlock1000Hz)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ToneDisplay1000Hz(benchmark::State& state)
{
    QImage face(400, 136, QImage::Format_RGB32);
    ToneDisplay display;
    for (auto _ : state) {
        display.draw(face, 1000, 0.8f, 1.0f);
        benchmark::DoNotOptimize(face.constBits());
    }
}
BENCHMARK(BM_ToneDisplay1000Hz)->Repetitions(5)->ReportAggregatesOnly(true);

// The block length before the loop held whole periods: the period in single precision, as many
// rounded periods as fit into 4096 samples, times the true period (1000 Hz: 93 x 44.1 = 4101,
// 92.993 periods).
int cutShortLength(int frequency)
{
    const auto samples = static_cast<float>(44100.0 / frequency);
    const auto rounded = static_cast<int>(std::nearbyint(samples));
    const int length = static_cast<int>(
        std::nearbyint(static_cast<double>(samples) * (ToneBlock::kTargetLength / rounded)));
    return length != 0 ? length : rounded;
}

// THD+N of a block as the engine loops it ((byte - 128) / 128), as a notch at the fundamental
// would measure it. The looped sound repeats with the block, so its spectrum holds only the
// multiples of 44100 / length Hz, and one block gives every one of them exactly: the fundamental
// is the strongest line next to the tone's frequency (a cut-short loop pulls it off the tone a
// little), everything else (the seam's jumps, the 8-bit rounding) is distortion and noise.
double thdPlusNoise(const std::vector<std::uint8_t>& block, int frequency)
{
    const auto length = static_cast<double>(block.size());
    std::vector<double> sound;
    double sum = 0;
    for (const std::uint8_t byte : block) {
        sound.push_back((byte - 128.0) / 128.0);
        sum += sound.back();
    }
    const double mean = sum / length;
    double alternating = 0;
    for (const double x : sound)
        alternating += (x - mean) * (x - mean) / length;
    const long nearest = std::lround(frequency * length / ToneBlock::kSampleRate);
    double fundamental = 0;
    for (long line = std::max(1L, nearest - 1); line <= nearest + 1; ++line) {
        double sine = 0, cosine = 0;
        for (std::size_t i = 0; i < sound.size(); ++i) {
            const double phase =
                2.0 * M_PI * static_cast<double>(line) * static_cast<double>(i) / length;
            sine += sound[i] * std::sin(phase);
            cosine += sound[i] * std::cos(phase);
        }
        const double a = 2.0 * sine / length, b = 2.0 * cosine / length;
        fundamental = std::max(fundamental, (a * a + b * b) / 2.0);
    }
    return (alternating - fundamental) / fundamental;
}

// Args: frequency, and 0 for the cut-short length or 1 for the whole-period one.
void BM_LoopedTone(benchmark::State& state)
{
    const int frequency = static_cast<int>(state.range(0));
    const bool wholePeriods = state.range(1) != 0;
    const int length = wholePeriods ? ToneBlock::Length(frequency) : cutShortLength(frequency);
    std::vector<std::uint8_t> block;
    ToneBlock::FillLength(block, length, frequency, 0.8f, 1.0f);
    double ratio = 0;
    for (auto _ : state) {
        ratio = thdPlusNoise(block, frequency);
        benchmark::DoNotOptimize(ratio);
    }
    int within = 0;
    for (std::size_t i = 1; i < block.size(); ++i)
        within = std::max(within, std::abs(block[i] - block[i - 1]));
    state.counters["length"] = length;
    state.counters["thdn_dB"] = 10.0 * std::log10(ratio);
    state.counters["thdn_pct"] = 100.0 * std::sqrt(ratio);
    state.counters["seam_step"] = std::abs(block.front() - block.back());
    state.counters["within_step"] = within;
    state.SetLabel(wholePeriods ? "whole periods" : "cut short");
}
BENCHMARK(BM_LoopedTone)
    ->ArgsProduct({{1000, 997, 10960, 20000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    FormRegistry::DestroyAll();
    engine().stop();
    return 0;
}
