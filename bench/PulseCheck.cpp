// measure_pulse: Quendel through a real PulseAudio server, as a musician hears it.
//
// The program starts a private server with a null sink (it needs no sound card and leaves any
// running server alone), records the sink's monitor, and drives a second copy of itself that
// runs the real bar with the real engine on that server. It measures:
//   - press-to-sound: frames recorded before a pad press, to the first loud frame; and so for a
//     0.2 s file against a three-minute one (44.1 kHz stereo WAV, both kept ready ahead), which
//     should start as soon;
//   - the server's CPU for Quendel's stream against a plain `paplay` of the same loop, and
//     Quendel's own CPU while one loop plays;
//   - silent gaps and underruns over a looping pad with the settings window's sliders dragged
//     and the other core busy compiling.
//
//   measure_pulse [--seconds N] [--buffer auto|FRAMES|FRAMESxPERIODS] [--presses N]
//                 [--skip-latency] [--skip-cpu] [--skip-dropouts] [--no-load]
//                 [--server-rate HZ]   (the server's null sink; 44100 unless given)

#include "PulseRig.h"
#include "audio/AudioEngine.h"
#include "bar/Bar.h"
#include "core/Form.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "settings/Settings.h"
#include "support/AudioTestKit.h"
#include "support/PrivatePulseServer.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// ---- the player: the real bar on the server ---------------------------------------------------

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
    WriteSetting("Samples", "Sample 3", "Short.wav", folder.settingsFile());
    WriteSetting("Samples", "Sample 4", "Long.wav", folder.settingsFile());
    WriteSetting("Quendel", "Volume", "100", folder.settingsFile());
    WriteSetting("Quendel", "PanVal", "0", folder.settingsFile());
    WriteSetting("Quendel", "AudioBuffer", QString::fromStdString(buffer), folder.settingsFile());

    AudioEngine engine;
    Bar& bar = TheForm<Bar>(engine);
    bar.show();
    const auto stats = [&engine] {
        const BufferPlan plan = engine.host().bufferPlan();
        std::printf("stats device=%s plan=%dx%d underruns=%llu growths=%d\n", engine.host().deviceName(),
                    plan.periodFrames, plan.periods,
                    static_cast<unsigned long long>(engine.host().underruns()), engine.host().bufferGrowths());
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

// ---- the measurements -----------------------------------------------------------------------

struct Options {
    int seconds = 60;
    int presses = 20;
    std::string buffer = "auto";
    bool latency = true;
    bool cpu = true;
    bool dropouts = true;
    bool load = true;
    int serverRate = 44100;
};

// Where a press's time goes, each from the rig's send: the player has the line, the bar's
// handler is done, the commands are published, the audio thread renders the first block with the
// voice, the first loud frame is recorded. Milliseconds.
struct PressTimes {
    double arrived = 0.0;
    double handled = 0.0;
    double committed = 0.0;
    double rendered = -1.0;
    double heard = -1.0;
};

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void printBreakdown(const std::vector<PressTimes>& presses)
{
    std::vector<double> delivery, handler, commit, render, stream;
    for (const PressTimes& t : presses) {
        if (t.heard < 0.0 || t.rendered < 0.0)
            continue;
        delivery.push_back(t.arrived);
        handler.push_back(t.handled - t.arrived);
        commit.push_back(t.committed - t.handled);
        render.push_back(t.rendered - t.committed);
        stream.push_back(t.heard - t.rendered);
    }
    std::printf("  where it goes (medians): to the player %.2f ms, the bar's handler %.2f ms, "
                "to the mixer's queue %.2f ms, to the first rendered block %.2f ms, "
                "the stream and server to the sink %.2f ms\n",
                median(delivery), median(handler), median(commit), median(render),
                median(stream));
}

// The median press-to-sound of `pad` over `presses` presses, each stopped by a second press.
double pressToSound(Player& player, const PulseMonitorRecorder& recorder, int pad, int presses,
                    int restMs, const char* what)
{
    std::vector<double> latencies;
    std::vector<PressTimes> times;
    std::mt19937 random(7);
    const std::string press = "press " + std::to_string(pad);
    for (int i = 0; i < presses; ++i) {
        const std::size_t before = recorder.frames();
        PressTimes t;
        const std::string answer = player.ask(press + " " + std::to_string(nowNs()));
        long long arrived = 0, handled = 0, committed = 0, rendered = -1;
        std::sscanf(answer.c_str(), "ok %lld %lld %lld %lld", &arrived, &handled, &committed,
                    &rendered);
        t.arrived = arrived / 1000.0;
        t.handled = handled / 1000.0;
        t.committed = committed / 1000.0;
        t.rendered = rendered < 0 ? -1.0 : rendered / 1000.0;
        sleepMs(350);
        const std::size_t after = recorder.frames();
        std::size_t loud = before;
        const float* data = recorder.data();
        while (loud < after && std::fabs(data[2 * loud]) < kLoudLevel)
            ++loud;
        if (loud < after) {
            t.heard = (loud - before) * 1000.0 / kRate;
            latencies.push_back(t.heard);
        } else {
            std::printf("  press %d: nothing heard in %zu frames\n", i + 1, after - before);
        }
        times.push_back(t);
        player.ask(press + " " + std::to_string(nowNs())); // the second press stops it
        // Presses fall anywhere in a period.
        sleepMs(restMs + static_cast<int>(random() % 23));
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("%s: %zu of %d presses heard, median %.1f ms, best %.1f ms, worst %.1f ms\n", what,
                latencies.size(), presses, median(latencies),
                latencies.empty() ? 0.0 : latencies.front(),
                latencies.empty() ? 0.0 : latencies.back());
    printBreakdown(times);
    return median(latencies);
}

// Presses a quarter of a second apart, and then presses after a rest long enough for the idle
// stream to park: the first press after a rest must be heard no later than the others. Then a
// short file against a three-minute one, once the bar has had time to make both ready.
void measureLatency(Player& player, const PulseMonitorRecorder& recorder, int presses,
                    const std::string& loadFolder)
{
    pressToSound(player, recorder, 2, presses, 250, "press-to-sound");
    if (!loadFolder.empty()) {
        const pid_t load = startCompileLoad(loadFolder);
        sleepMs(1000);
        pressToSound(player, recorder, 2, presses, 250, "press-to-sound with a core busy");
        kill(-load, SIGKILL);
        waitpid(load, nullptr, 0);
    }
    pressToSound(player, recorder, 2, std::max(1, presses / 2), 2500,
                 "press-to-sound after a rest");
    sleepMs(2000);
    const double shortMs = pressToSound(player, recorder, 3, presses, 250, "0.2 s file");
    const double longMs = pressToSound(player, recorder, 4, presses, 250, "three-minute file");
    std::printf("three-minute file against the 0.2 s one: %.2fx\n",
                shortMs > 0 ? longMs / shortMs : 0.0);
}

double serverShare(const PrivatePulseServer& server, pid_t other, int seconds, double* otherShare)
{
    const long long serverBefore = cpuNs(server.pid());
    const long long otherBefore = other > 0 ? cpuNs(other) : 0;
    sleepMs(seconds * 1000);
    const double wall = seconds * 1e9;
    if (otherShare)
        *otherShare = other > 0 ? (cpuNs(other) - otherBefore) / wall * 100.0 : 0.0;
    return (cpuNs(server.pid()) - serverBefore) / wall * 100.0;
}

constexpr int kCpuSeconds = 20;

struct ServerCpu {
    double idle = 0.0;
    double paplay = 0.0;
};

// Before the player connects: the server with only the recorder, then with paplay.
ServerCpu measureServerAlone(PrivatePulseServer& server)
{
    ServerCpu cpu;
    cpu.idle = serverShare(server, 0, 10, nullptr);
    // paplay plays the same loop, written out long enough to outlast the measurement.
    const std::string file = server.folder() + "/loop.wav";
    std::vector<float> sine;
    for (int i = 0; i < kCpuSeconds + 4; ++i) {
        const auto second = sineWave(kRate, 0.5f, 441.0);
        sine.insert(sine.end(), second.begin(), second.end());
    }
    WriteTestSound(QString::fromStdString(file), sine, sine);
    const pid_t paplay = spawn({"paplay", file});
    sleepMs(1000);
    cpu.paplay = serverShare(server, 0, kCpuSeconds, nullptr);
    kill(paplay, SIGTERM);
    waitpid(paplay, nullptr, 0);
    return cpu;
}

void measureCpu(PrivatePulseServer& server, Player& player, const ServerCpu& alone)
{
    const double idle = alone.idle;
    const double withPaplay = alone.paplay;

    // Idle: the device open and nothing playing, thread by thread.
    const auto threadsBefore = cpuNsByThread(player.pid());
    sleepMs(kCpuSeconds * 1000);
    const auto threadsAfter = cpuNsByThread(player.pid());
    double idleTotal = 0.0;
    std::string idleThreads;
    for (const auto& [name, after] : threadsAfter) {
        const auto before = threadsBefore.find(name);
        const double share = (after - (before != threadsBefore.end() ? before->second : 0)) /
                             (kCpuSeconds * 1e9) * 100.0;
        idleTotal += share;
        if (share >= 0.005)
            idleThreads += " " + name + " " + std::to_string(share).substr(0, 5);
    }
    std::printf("Quendel's own CPU idle (device open, nothing playing): %.2f %% of a core;%s\n",
                idleTotal, idleThreads.c_str());

    player.ask("press 1");
    sleepMs(1000);
    double quendel = 0.0;
    const double withQuendel = serverShare(server, player.pid(), kCpuSeconds, &quendel);
    player.ask("press 1");
    sleepMs(500);

    std::printf("server CPU (%% of a core, recorder attached): idle %.2f, Quendel's loop %.2f, "
                "paplay's loop %.2f\n",
                idle, withQuendel, withPaplay);
    const double ownQuendel = withQuendel - idle;
    const double ownPaplay = withPaplay - idle;
    std::printf("server CPU for the stream alone: Quendel %.2f, paplay %.2f, ratio %.2f\n",
                ownQuendel, ownPaplay, ownPaplay > 0 ? ownQuendel / ownPaplay : 0.0);
    std::printf("Quendel's own CPU while one loop plays: %.2f %% of a core\n", quendel);
}

void measureDropouts(PrivatePulseServer& server, Player& player,
                     const PulseMonitorRecorder& recorder, const Options& options)
{
    pid_t load = 0;
    if (options.load)
        load = startCompileLoad(server.folder());
    player.ask("busy on");
    sleepMs(500);
    const std::string statsBefore = player.ask("stats");
    const int serverBefore = server.underrunReports("Quendel");
    const std::size_t from = recorder.frames();
    player.ask("press 1");
    sleepMs(options.seconds * 1000);
    player.ask("press 1");
    sleepMs(200);
    const std::size_t to = recorder.frames();
    const std::string statsAfter = player.ask("stats");
    player.ask("busy off");
    if (load > 0) {
        kill(-load, SIGKILL);
        waitpid(load, nullptr, 0);
    }
    const Gaps gaps = findGaps(recorder.data(), from, to);
    std::printf("dropouts (%s, sliders dragged): %.1f s played, %d silent gaps, longest %.2f ms, "
                "%d underruns in the server's log\n",
                options.load ? "a compile on the other core" : "no other load", gaps.playedSeconds,
                gaps.count, gaps.longestMs, server.underrunReports("Quendel") - serverBefore);
    std::printf("  before: %s\n  after:  %s\n", statsBefore.c_str(), statsAfter.c_str());
}

int runRig(const std::string& self, const Options& options)
{
    PrivatePulseServer server;
    if (!server.start(options.serverRate)) {
        std::fprintf(stderr, "measure_pulse: the PulseAudio server did not start (is the "
                             "pulseaudio package installed? scripts/setup installs it)\n");
        server.stop();
        return 1;
    }
    PulseMonitorRecorder recorder;
    const int recordSeconds = options.seconds + 3 * options.presses + 90;
    const bool recording = recorder.start(recordSeconds);
    sleepMs(300);
    if (!recording) {
        std::fprintf(stderr, "measure_pulse: could not record the null sink\n");
        server.stop();
        return 1;
    }
    ServerCpu alone;
    if (options.cpu)
        alone = measureServerAlone(server);
    Player player;
    if (!player.start(self, {options.buffer})) {
        std::fprintf(stderr, "measure_pulse: could not start the player\n");
        server.stop();
        return 1;
    }
    // The monitor starts delivering once the server has settled the new streams.
    for (int i = 0; i < 50 && recorder.frames() < kRate / 2; ++i)
        sleepMs(100);
    std::printf("player: %s; recording %zu frames so far\n", player.ask("stats").c_str(),
                recorder.frames());
    if (options.latency)
        measureLatency(player, recorder, options.presses,
                       options.load ? server.folder() : std::string());
    if (options.cpu)
        measureCpu(server, player, alone);
    if (options.dropouts)
        measureDropouts(server, player, recorder, options);
    player.stop();
    server.stop();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--player") == 0)
        return runPlayer(argc >= 3 ? argv[2] : "auto");
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seconds" && hasValue)
            options.seconds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--presses" && hasValue)
            options.presses = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--buffer" && hasValue)
            options.buffer = argv[++i];
        else if (arg == "--skip-latency")
            options.latency = false;
        else if (arg == "--skip-cpu")
            options.cpu = false;
        else if (arg == "--skip-dropouts")
            options.dropouts = false;
        else if (arg == "--server-rate" && hasValue)
            options.serverRate = std::clamp(std::atoi(argv[++i]), 8000, 192000);
        else if (arg == "--no-load")
            options.load = false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    return runRig("/proc/self/exe", options);
}
