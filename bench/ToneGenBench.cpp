// The tone generator rebuilds its tone on every mouse move of a marker drag: the readouts, the
// 4101-byte sine block at 1000 Hz, the rewrite of the looping buffer (which the engine crossfades)
// and the waveform picture. Target: a median of at most 100 us per refresh.
//
// An audio thread renders beside the window at the device's pace, as a sound card would, so the
// rewritten blocks are taken up and handed back while the benchmark runs.

#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/Form.h"
#include "tonegen/ToneBlock.h"
#include "tonegen/ToneDisplay.h"
#include "tonegen/frmToneGen.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

class AudioThread {
public:
    AudioThread()
        : m_thread([this] {
              std::vector<float> out(256 * 2);
              while (!m_stop.load()) {
                  AudioEngine::instance().render(out.data(), 256);
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
        AudioEngine::setOfflineForTests(true);
        AudioEngine::instance().start(44100);
        AppModul::SkinFolder = QDir(QCoreApplication::applicationDirPath()).filePath("Skin/");
        started = true;
    }
    return TheForm<frmToneGen>();
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
    AudioEngine::instance().stop();
    return 0;
}
