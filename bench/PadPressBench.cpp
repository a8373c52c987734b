// SPDX-License-Identifier: GPL-3.0-or-later
// A pad press on the real bar, by the mouse or a pad key, from the event to the sound queued and
// the pads repainted: the settings reads, the file check, a 1 MB WAV opened and started (and for
// a key, the key handler's look-up), then the paint of the 29 faces the press changed, as the
// event loop delivers it; and the same press on a three-minute WAV whose sound is ready. Then what
// the pads draw every frame: names and the loop bar. The engine renders offline, so no device
// thread competes for the core.

#include "audio/AudioEngine.h"
#include "bar/Bar.h"
#include "core/PadCount.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTime>
#include <benchmark/benchmark.h>

#include <array>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

// The default keys of pads 1..28 by position (X keycodes): the number row, then the row below.
constexpr std::array<quint32, kPadCount> kPadScan = {49, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                                     19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                                                     29, 30, 31, 32, 33, 34, 35, 51};

struct StartedBar {
    // With `longFile`, the last pad holds a three-minute 16-bit stereo WAV (about 30 MB).
    explicit StartedBar(bool longFile = false)
    {
        folder.writeAllSkins();
        if (longFile) {
            const std::vector<float> ramp = PositionRamp(44100 * 180, 1000);
            WriteTestSound(folder.soundsFolder() + "Long.wav", ramp, ramp);
        }
        // 1 MB: 16-bit stereo, 262144 frames.
        WriteTestSound(folder.soundsFolder() + "Groove.wav", PositionRamp(262144, 1000),
                       PositionRamp(262144, 900));
        for (int pad = 1; pad <= kPadCount; ++pad)
            WriteSetting("Samples", QStringLiteral("Sample %1").arg(pad),
                         longFile && pad == kPadCount ? "Long.wav"
                         : pad % 2                    ? "Groove.wav"
                                                      : "Other.wav",
                         folder.settingsFile());
        for (const char* key : {"Volume", "VolPos", "PanVal", "PanPos"})
            WriteSetting("Quendel", key, "80", folder.settingsFile());
        bar = &TheForm<Bar>(deck);
        bar->show();
        exposed = QTest::qWaitForWindowExposed(bar); // else a repaint is put off, and costs nothing
    }
    ~StartedBar() { bar->Deck.DMC.TerminateBASS(); }
    void press(int pad) const
    {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(10, 10),
                          bar->Picture6[pad]->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar->Picture6[pad], &event);
    }
    void key(QEvent::Type type, int pad) const
    {
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, kPadScan[pad], 0, 0);
        QApplication::sendEvent(bar, &event);
    }
    // What the event loop does next after an event: paints what it left to repaint. Without it
    // a press only marks its pads dirty, and their paint would never be measured.
    static void paintPending()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
    // Whether action, with the paint it leaves, painted anything: a benchmark that claims to
    // measure redraws checks it once before it measures.
    bool paints(const std::function<void()>& action) const
    {
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        QCoreApplication::instance()->installEventFilter(&counter);
        action();
        paintPending();
        QCoreApplication::instance()->removeEventFilter(&counter);
        return exposed && counter.paints > 0;
    }

    AudioEngine engine{AudioEngine::Options{true, {}}}; // offline: the benchmark pulls
    PadDeck deck{engine};
    ProgramFolder folder;                               // goes first, and takes the windows with it
    Bar* bar = nullptr;
    bool exposed = false;
};

void BM_PadPressToSoundQueued(benchmark::State& state)
{
    StartedBar started;
    if (!started.paints([&] { started.press(1); }))
        state.SkipWithError("a press painted nothing");
    std::vector<float> block(512);
    int pad = 0;
    for (auto _ : state) {
        started.press(pad); // pads 0, 2, 4, ... all hold the 1 MB groove
        StartedBar::paintPending();
        state.PauseTiming();
        started.engine.mixer().render(block.data(), 256); // the press reaches the mixer
        pad = (pad + 2) % kPadCount;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PadPressToSoundQueued)->Unit(benchmark::kMicrosecond);

// A press on the pad bound to a three-minute WAV, once the bar has made its sound ready: the
// press decodes nothing, and costs what a short loop's does (target at most 1 ms).
void BM_PadPressLongFileReady(benchmark::State& state)
{
    StartedBar started(true);
    ReadySounds& sounds = started.engine.sounds();
    for (int waited = 0; sounds.busy() && waited < 20000; ++waited)
        usleep(1000);
    if (sounds.busy() || sounds.bytesHeld() < 30'000'000u)
        state.SkipWithError("the long file's sound did not get ready");
    std::vector<float> block(512);
    const int pad = kPadCount - 1;
    for (auto _ : state) {
        started.press(pad);
        StartedBar::paintPending();
        state.PauseTiming();
        started.engine.mixer().render(block.data(), 256); // the press reaches the mixer
        started.press(pad);                               // the second press stops it
        started.engine.mixer().render(block.data(), 256);
        state.ResumeTiming();
    }
    if (sounds.bytesHeld() < 30'000'000u)
        state.SkipWithError("the long file's sound was dropped");
}
BENCHMARK(BM_PadPressLongFileReady)->Unit(benchmark::kMicrosecond);

void BM_KeyPressToSoundQueued(benchmark::State& state)
{
    StartedBar started;
    if (!started.paints([&] { started.key(QEvent::KeyPress, 1); }))
        state.SkipWithError("a key painted nothing");
    started.key(QEvent::KeyRelease, 1);
    std::vector<float> block(512);
    int pad = 0;
    for (auto _ : state) {
        started.key(QEvent::KeyPress, pad); // pads 1, 3, 5, ... all hold the 1 MB groove
        started.engine.mixer().commitPending();
        StartedBar::paintPending();
        state.PauseTiming();
        started.key(QEvent::KeyRelease, pad);
        started.engine.mixer().render(block.data(), 256); // the press reaches the mixer
        pad = (pad + 2) % kPadCount;
        state.ResumeTiming();
    }
    if (started.bar->Deck.ActivePad == PadDeck::kNoPad)
        state.SkipWithError("the keys played no pad");
}
BENCHMARK(BM_KeyPressToSoundQueued)->Unit(benchmark::kMicrosecond);

// Every pad's light set anew and one lit, and the repaint that follows.
void BM_PadRedraws(benchmark::State& state)
{
    StartedBar started;
    Bar& bar = *started.bar;
    const auto relight = [&](int lit) {
        for (int pad = 0; pad < kPadCount; ++pad)
            bar.Deck.setLit(pad, false);
        bar.Deck.setLit(lit, true);
    };
    if (!started.paints([&] { relight(3); }))
        state.SkipWithError("the lights painted nothing");
    int lit = 0;
    for (auto _ : state) {
        relight(lit++ % 2 ? 7 : 8); // a light that moves, so every round has something to paint
        StartedBar::paintPending();
    }
}
BENCHMARK(BM_PadRedraws)->Unit(benchmark::kMicrosecond);

// Every pad's name and the loop bar drawn once, as a full repaint of the pads draws them: the
// overlays alone, into an image of the pad's size.
void BM_PadNamesAndLoopBarFrame(benchmark::State& state)
{
    StartedBar started;
    Bar& bar = *started.bar;
    for (int pad = 0; pad < kPadCount; ++pad)
        bar.PadNames[pad]->setName(QStringLiteral("Funky Clavinet Riff %1.wav").arg(pad), pad == 5);
    bar.PadNames[7]->setLoop(0.4, false);
    QImage canvas(bar.Picture6[0]->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        for (PadOverlay* overlay : bar.PadNames)
            overlay->render(&canvas, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        benchmark::DoNotOptimize(canvas.bits());
    }
}
BENCHMARK(BM_PadNamesAndLoopBarFrame)->Unit(benchmark::kMicrosecond);

// One tick of the loop bar while a pad plays: the progress read from the engine, the bar grown
// by a pixel and the bar window's repaint of that strip (its pad face beneath included). At 30
// ticks a second, the UI thread's share of a core is 30 times this.
void BM_LoopBarTick(benchmark::State& state)
{
    StartedBar started;
    Bar& bar = *started.bar;
    if (!started.exposed)
        state.SkipWithError("the bar was never shown");
    started.press(0);
    std::vector<float> block(512);
    started.engine.mixer().render(block.data(), 256);
    int step = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bar.Deck.loopProgress());
        bar.PadNames[0]->setLoop((step++ % 38) / 38.0, false);
        bar.PadNames[0]->repaint(PadOverlay::kLoopBar.adjusted(-1, -1, 1, 1));
    }
}
BENCHMARK(BM_LoopBarTick)->Unit(benchmark::kMicrosecond);

// One second of the bar's clock: both labels take the new time and the bar repaints them (the
// skin beneath included), as the clock's tick does once a second while the program sits idle.
// With an argument, the bar first rests that many milliseconds, as it does between ticks: caches
// gone cold make that one wake cost many times the back-to-back figure.
void BM_ClockSecond(benchmark::State& state)
{
    StartedBar started;
    Bar& bar = *started.bar;
    if (!started.exposed)
        state.SkipWithError("the bar was never shown");
    const QRect clock = bar.Label4->geometry() | bar.Label5->geometry();
    int second = 0;
    for (auto _ : state) {
        const QString text = Bar::ClockText(QTime(12, 0, second++ % 60), QLocale::c());
        bar.Label4->setText(text);
        bar.Label5->setText(text);
        bar.repaint(clock);
        if (state.range(0) > 0) {
            state.PauseTiming();
            usleep(static_cast<useconds_t>(state.range(0) * 1000));
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_ClockSecond)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClockSecond)->Arg(1000)->Iterations(10)->Unit(benchmark::kMicrosecond);

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
