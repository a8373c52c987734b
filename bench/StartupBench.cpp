// SPDX-License-Identifier: GPL-3.0-or-later
// From process start to the bar on screen, with the real skins beside the program: every
// iteration starts a fresh copy of this program, which runs the start procedure and ends once
// the bar has been shown and painted. Peak memory is the largest of the children's.

#include "audio/AudioEngine.h"
#include "bar/Bar.h"
#include "startup/AppModul.h"

#include <QApplication>
#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstring>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

int runStartAndEnd(int argc, char** argv)
{
    QApplication app(argc, argv);
    AudioEngine engine;
    PadDeck deck(engine);
    const auto exitCode = AppModul::Main([&deck] { TheForm<Bar>(deck).show(); });
    if (exitCode)
        return 100 + *exitCode; // no skins, or another copy running: the figures would be void
    Bar& bar = TheForm<Bar>();
    bar.repaint(); // the face is on screen once it has been painted
    QCoreApplication::processEvents();
    bar.Deck.DMC.TerminateBASS();
    const int shown = bar.isVisible() ? 0 : 2;
    FormRegistry::DestroyAll(); // the windows go before the engine they play through
    return shown;
}

void BM_StartToBarShown(benchmark::State& state)
{
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        state.SkipWithError("cannot find this program");
        return;
    }
    char child[] = "--start-and-end";
    char* childArgs[] = {self, child, nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (::posix_spawn(&pid, self, nullptr, nullptr, childArgs, environ) != 0) {
            state.SkipWithError("spawn failed");
            return;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError(
                "the start did not reach the bar (skins missing or Quendel running?)");
            return;
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_StartToBarShown)->Unit(benchmark::kMillisecond)->Iterations(15)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--start-and-end") == 0)
        return runStartAndEnd(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
