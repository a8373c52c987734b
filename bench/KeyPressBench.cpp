// A pad key on the real bar, from the key event to the sound queued for the audio thread: the
// key handler's look-up, the deck's press (29 redraws, three settings reads, the file check, a
// 1 MB WAV opened and started) and the commit of its commands. The engine renders offline, so
// no device thread competes for the core.

#include "audio/AudioEngine.h"
#include "bar/Bar.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QKeyEvent>
#include <benchmark/benchmark.h>

#include <array>

namespace {

// The default keys of pads 1..28 by position (X keycodes): the number row, then the row below.
constexpr std::array<quint32, 28> kPadScan = {49, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                              19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                                              29, 30, 31, 32, 33, 34, 35, 51};

struct StartedBar {
    StartedBar()
    {
        folder.writeAllSkins();
        // 1 MB: 16-bit stereo, 262144 frames.
        WriteTestSound(folder.soundsFolder() + "Groove.wav", PositionRamp(262144, 1000),
                       PositionRamp(262144, 900));
        for (int pad = 1; pad <= 28; ++pad)
            WriteSetting("Samples", QStringLiteral("Sample %1").arg(pad),
                         pad % 2 ? "Groove.wav" : "Other.wav", folder.settingsFile());
        AudioEngine::setOfflineForTests(true);
        bar = &TheForm<Bar>();
        bar->show();
    }
    ~StartedBar() { bar->Deck.DMC.TerminateBASS(); }
    void key(QEvent::Type type, int pad) const
    {
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, kPadScan[pad], 0, 0);
        QApplication::sendEvent(bar, &event);
    }

    ProgramFolder folder;
    Bar* bar = nullptr;
};

void BM_KeyPressToSoundQueued(benchmark::State& state)
{
    StartedBar started;
    std::vector<float> block(512);
    int pad = 0;
    for (auto _ : state) {
        started.key(QEvent::KeyPress, pad); // pads 1, 3, 5, ... all hold the 1 MB groove
        AudioEngine::instance().commitPending();
        state.PauseTiming();
        started.key(QEvent::KeyRelease, pad);
        AudioEngine::instance().render(block.data(), 256); // the press reaches the mixer
        pad = (pad + 2) % 28;
        state.ResumeTiming();
    }
    if (started.bar->Deck.ActivePad == PadDeck::kNoPad)
        state.SkipWithError("the keys played no pad");
}
BENCHMARK(BM_KeyPressToSoundQueued)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
