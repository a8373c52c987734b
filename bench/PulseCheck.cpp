// SPDX-License-Identifier: GPL-3.0-or-later
// measure_pulse: Quendel through a real PulseAudio server, as a musician hears it.
//
// The program starts a private server with a null sink (it needs no sound card and leaves any
// running server alone), records the sink's monitor, and drives a second copy of itself that
// runs the real bar with the real engine on that server. It measures:
//   - press-to-sound: frames recorded before a pad press, to the first loud frame; and so for a
//     0.2 s file against a three-minute one (44.1 kHz stereo WAV, both kept ready ahead), which
//     should start as soon; and a pad stretched to a session tempo (its render made ahead)
//     against the 0.2 s file;
//   - the server's CPU for Quendel's stream against a plain `paplay` of the same loop, and
//     Quendel's own CPU while one loop plays;
//   - silent gaps and underruns over a looping pad with the settings window's sliders dragged
//     and the other core busy compiling.
//
//   measure_pulse [--seconds N] [--buffer auto|FRAMES|FRAMESxPERIODS] [--presses N]
//                 [--skip-latency] [--skip-cpu] [--skip-dropouts] [--no-load]
//                 [--server-rate HZ]   (the server's null sink; 44100 unless given)
//                 [--server pulseaudio|pipewire]   (pipewire: pipewire-pulse and WirePlumber)

#include "PulseRig.h"
#include "support/AudioTestKit.h"
#include "support/PrivatePulseServer.h"

#include <QString>

#include <algorithm>
#include <chrono>
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
    PulseServerKind server = PulseServerKind::PulseAudio;
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
                median(delivery), median(handler), median(commit), median(render), median(stream));
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
    // A session tempo: pad 5 (its own 120 BPM) is rendered at 100 before it is pressed.
    player.ask("tempo 100");
    const double stretchedMs =
        pressToSound(player, recorder, 5, presses, 250, "pad stretched to 100 BPM");
    std::printf("stretched pad against the 0.2 s file: %.2fx\n",
                shortMs > 0 ? stretchedMs / shortMs : 0.0);
    player.ask("tempo 0");
}

long long serverCpuNs(const PrivatePulseServer& server)
{
    long long total = 0;
    for (pid_t process : server.pids())
        total += cpuNs(process);
    return total;
}

double serverShare(const PrivatePulseServer& server, pid_t other, int seconds, double* otherShare)
{
    const long long serverBefore = serverCpuNs(server);
    const long long otherBefore = other > 0 ? cpuNs(other) : 0;
    sleepMs(seconds * 1000);
    const double wall = seconds * 1e9;
    if (otherShare)
        *otherShare = other > 0 ? (cpuNs(other) - otherBefore) / wall * 100.0 : 0.0;
    return (serverCpuNs(server) - serverBefore) / wall * 100.0;
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
    if (!server.start(options.serverRate, options.server)) {
        std::fprintf(stderr, "measure_pulse: the server did not start (are the pulseaudio, "
                             "pipewire-pulse and wireplumber packages installed? scripts/setup "
                             "installs them)\n");
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
        else if (arg == "--server" && hasValue)
            options.server = std::strcmp(argv[++i], "pipewire") == 0 ? PulseServerKind::PipeWire
                                                                     : PulseServerKind::PulseAudio;
        else if (arg == "--no-load")
            options.load = false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    return runRig("/proc/self/exe", options);
}
