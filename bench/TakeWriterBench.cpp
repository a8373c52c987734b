// SPDX-License-Identifier: GPL-3.0-or-later
// The take writer's headroom: how many times faster than real time its thread turns ring frames
// into a take file on this disk, for a mono take and a stereo overdub at 48 kHz. The ring is fed
// as fast as the writer drains it, a minute of audio per take. The takes go to the temporary
// folder (TMPDIR), which must be on a disk: a folder in memory would measure nothing.

#include "BenchFolder.h"
#include "audio/record/TakeWriter.h"
#include "audio/sounds/SampleBuffer.h"
#include "io/MonoRing.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <linux/magic.h>
#include <memory>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr std::int64_t kTakeFrames = 60 * kRate;
constexpr std::size_t kBlockFrames = 4096;

bool InMemory(const std::string& folder)
{
    struct statfs fs {};
    return statfs(folder.c_str(), &fs) == 0 &&
           (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC);
}

// A loop as long as the take, so that every frame of the overdub is mixed.
std::shared_ptr<const SampleBuffer> Loop()
{
    const auto frames = static_cast<std::size_t>(kTakeFrames);
    auto data = std::make_unique<float[]>(frames * 2);
    for (std::size_t i = 0; i < frames * 2; ++i)
        data[i] = static_cast<float>(i % 1000) * 1e-4f;
    return std::make_shared<const SampleBuffer>(std::move(data), frames);
}

void BM_TakeWriter(benchmark::State& state)
{
    const BenchFolder folder;
    const std::string where = folder.file("");
    if (!folder.valid() || InMemory(where)) {
        state.SkipWithError("no temporary folder on a disk (set TMPDIR to one)");
        return;
    }
    const auto loop = state.range(0) != 0 ? Loop() : nullptr;
    std::vector<float> block(kBlockFrames);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<float>(i) / kBlockFrames - 0.5f;
    MonoRing ring(1 << 18);
    for (auto _ : state) {
        TakeWriter writer;
        if (!writer.start(where, kRate, ring, loop)) {
            state.SkipWithError(writer.status().error.c_str());
            return;
        }
        writer.finish(kTakeFrames);
        for (std::int64_t fed = 0; fed < kTakeFrames;) {
            const std::size_t room =
                std::min<std::size_t>({ring.capacity() - ring.readable(), kBlockFrames,
                                       static_cast<std::size_t>(kTakeFrames - fed)});
            if (room == 0) {
                std::this_thread::yield();
                continue;
            }
            ring.write(block.data(), room);
            fed += static_cast<std::int64_t>(room);
        }
        writer.waitClosed(std::chrono::minutes(1));
        if (writer.status().state != TakeWriter::State::Finished) {
            state.SkipWithError(writer.status().error.c_str());
            return;
        }
        state.PauseTiming();
        unlink(writer.path().c_str());
        state.ResumeTiming();
    }
    const auto frames = static_cast<double>(kTakeFrames) * static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    state.counters["realtime_x"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TakeWriter)
    ->ArgName("overdub")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
