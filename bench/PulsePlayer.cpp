// SPDX-License-Identifier: GPL-3.0-or-later
// The player side of measure_pulse: the real bar with the real engine on the rig's server,
// driven line by line through stdin ("press PAD SENT_NS", "busy on", "busy off", "stats",
// "quit").

#include "PulseRig.h"
#include "audio/AudioEngine.h"
#include "audio/sounds/StretchedSounds.h"
#include "bar/Bar.h"
#include "core/Form.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "settings/Settings.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void click(QWidget* widget)
{
    sendMouse(widget, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
}

// A user dragging the two sliders back and forth at the pace of a mouse, letting go now and then
// (every release stores the sliders in the settings file).
class SliderDragger {
public:
    void start(Settings& settings)
    {
        m_settings = &settings;
        QObject::connect(&m_timer, &QTimer::timeout, [this] { step(); });
        m_timer.start(16);
    }
    void stop()
    {
        m_timer.stop();
        if (m_held)
            sendMouse(m_held, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
        m_held = nullptr;
    }

private:
    void step()
    {
        if (m_moves % 60 == 0) {
            if (m_held)
                sendMouse(m_held, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
            // Volume stays well above silence; pan sweeps both ways.
            m_held = (m_moves / 60) % 2 ? static_cast<QWidget*>(m_settings->Picture4)
                                        : static_cast<QWidget*>(m_settings->Picture2);
            sendMouse(m_held, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        }
        const int phase = m_moves % 60;
        const double triangle = phase < 30 ? phase : 60 - phase;
        const double dx = m_held == m_settings->Picture2 ? triangle : 2.0 * (triangle - 15.0);
        sendMouse(m_held, QEvent::MouseMove, {5 + dx, 5}, Qt::NoButton, Qt::LeftButton);
        ++m_moves;
    }

    Settings* m_settings = nullptr;
    QWidget* m_held = nullptr;
    QTimer m_timer;
    int m_moves = 0;
};

// A press from the rig ("press PAD SENT_NS"), timed on its way to the mixer: when it arrived
// (from the rig's clock, which this process shares), when the bar's handler was done, when the
// UI thread had published its commands (the bar commits on the next turn of the event loop, so a
// zero timer set after the press runs just after the commit), and when the audio thread first
// rendered a block with the voice in it. The answer gives the four in microseconds after SENT.
void pressAndTime(Bar& bar, AudioEngine& engine, const std::string& line)
{
    using Clock = std::chrono::steady_clock;
    const auto arrived = Clock::now();
    int pad = 0;
    long long sentNs = 0;
    std::sscanf(line.c_str() + 6, "%d %lld", &pad, &sentNs);
    const Clock::time_point sent{std::chrono::nanoseconds(sentNs)};
    const bool silentBefore = engine.mixer().soundingVoices() == 0;
    click(bar.Picture6[static_cast<std::size_t>(std::clamp(pad, 1, 28) - 1)]);
    const auto handled = Clock::now();
    QTimer::singleShot(0, [&engine, sent, arrived, handled, silentBefore] {
        const auto committed = Clock::now();
        // The first block that mixes the voice: the count of sounding voices leaves zero.
        auto rendered = committed;
        const auto limit = committed + std::chrono::milliseconds(200);
        while (silentBefore && engine.mixer().soundingVoices() == 0 && rendered < limit) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            rendered = Clock::now();
        }
        const auto us = [sent](Clock::time_point at) {
            return static_cast<long long>(
                std::chrono::duration_cast<std::chrono::microseconds>(at - sent).count());
        };
        std::printf("ok %lld %lld %lld %lld\n", us(arrived), us(handled), us(committed),
                    silentBefore ? us(rendered) : -1LL);
        std::fflush(stdout);
    });
}

} // namespace

std::vector<float> squareWave(int frames, float level, int period)
{
    std::vector<float> wave(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        wave[static_cast<std::size_t>(i)] = (i % period) < period / 2 ? level : -level;
    return wave;
}

std::vector<float> sineWave(int frames, float level, double hz)
{
    std::vector<float> wave(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        wave[static_cast<std::size_t>(i)] =
            level * static_cast<float>(std::sin(2.0 * M_PI * hz * i / kRate));
    return wave;
}

int runPlayer(const std::string& buffer)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "quendel";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    ProgramFolder folder;
    folder.writeAllSkins();
    // The real skin, when the build made one beside this program: what the bar paints (and what
    // its clock's repaint costs) is then what a musician's bar paints.
    const QDir built(QCoreApplication::applicationDirPath() + QStringLiteral("/Skin"));
    for (const QString& image : built.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        QFile::remove(folder.skinFolder() + image);
        QFile::copy(built.filePath(image), folder.skinFolder() + image);
    }
    // A seamless 441 Hz loop (one second holds 441 periods) and a square that is loud from its
    // first frame.
    WriteTestSound(folder.soundsFolder() + "Sine.wav", sineWave(kRate, 0.5f, 441.0),
                   sineWave(kRate, 0.5f, 441.0));
    WriteTestSound(folder.soundsFolder() + "Burst.wav", squareWave(kRate, 0.5f, 100),
                   squareWave(kRate, 0.5f, 100));
    WriteSetting("Samples", "Sample 1", "Sine.wav", folder.settingsFile());
    WriteSetting("Samples", "Sample 2", "Burst.wav", folder.settingsFile());
    // A short file and a three-minute one (44.1 kHz stereo, 30 MB), both loud from their first
    // frame: a press on either should be heard as soon.
    WriteTestSound(folder.soundsFolder() + "Short.wav", squareWave(kRate / 5, 0.5f, 100),
                   squareWave(kRate / 5, 0.5f, 100));
    {
        const std::vector<float> long3 = squareWave(kRate * 180, 0.5f, 100);
        WriteTestSound(folder.soundsFolder() + "Long.wav", long3, long3);
    }
    // Two bars at 120 BPM, loud from the first frame, to be played at a session tempo.
    WriteTestSound(folder.soundsFolder() + "Groove.wav", squareWave(kRate * 4, 0.5f, 100),
                   squareWave(kRate * 4, 0.5f, 100));
    WriteSetting("Samples", "Sample 5", "Groove.wav", folder.settingsFile());
    WriteSetting("Samples", "Tempo 5", "120", folder.settingsFile());
    WriteSetting("Samples", "Bars 5", "2", folder.settingsFile());
    WriteSetting("Samples", "Sample 3", "Short.wav", folder.settingsFile());
    WriteSetting("Samples", "Sample 4", "Long.wav", folder.settingsFile());
    WriteSetting("Quendel", "Volume", "100", folder.settingsFile());
    WriteSetting("Quendel", "PanVal", "0", folder.settingsFile());
    WriteSetting("Quendel", "AudioBuffer", QString::fromStdString(buffer), folder.settingsFile());

    AudioEngine engine;
    PadDeck deck(engine);
    Bar& bar = TheForm<Bar>(deck);
    bar.show();
    const auto stats = [&engine] {
        const BufferPlan plan = engine.host().bufferPlan();
        std::printf("stats device=%s plan=%dx%d underruns=%llu growths=%d\n",
                    engine.host().deviceName(), plan.periodFrames, plan.periods,
                    static_cast<unsigned long long>(engine.host().underruns()),
                    engine.host().bufferGrowths());
    };
    stats();
    std::fflush(stdout);

    SliderDragger dragger;
    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(chunk, static_cast<std::size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("press ", 0) == 0) {
                pressAndTime(bar, engine, line);
            } else if (line == "busy on") {
                click(bar.Picture4); // the settings page
                if (Settings* settings = LoadedForm<Settings>())
                    dragger.start(*settings);
                std::printf("ok\n");
            } else if (line == "busy off") {
                dragger.stop();
                std::printf("ok\n");
            } else if (line.rfind("tempo ", 0) == 0) {
                // The session tempo, answered once every pad's render is ready.
                bar.Deck.Tempo.setTempo(std::atof(line.c_str() + 6));
                const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                while (engine.stretched().busy() && std::chrono::steady_clock::now() < limit)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                std::printf("ok\n");
            } else if (line == "stats") {
                stats();
            } else if (line == "quit") {
                std::printf("ok\n");
                std::fflush(stdout);
                bar.Deck.DMC.TerminateBASS();
                std::_Exit(0);
            }
            std::fflush(stdout);
        }
    });
    const int code = QApplication::exec();
    FormRegistry::DestroyAll(); // the windows go before the engine they play through
    return code;
}
