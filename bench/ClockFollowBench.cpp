// SPDX-License-Identifier: GPL-3.0-or-later
// How closely the session tempo follows an incoming MIDI clock: the tempo error after four beats
// of a clock whose every tick is up to 2 ms early or late, over many senders, at tempos across
// the range; and what following costs a clock.

#include "midi/ClockFollower.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

// The tempo error (BPM) after `beats` beats at `bpm`, each clock up to `jitter` seconds off.
double ErrorAfter(double bpm, int beats, double jitter, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> off(-jitter, jitter);
    ClockFollower follower;
    const double clock = 60.0 / bpm / ClockFollower::kClocksPerBeat;
    for (int i = 0; i < beats * ClockFollower::kClocksPerBeat; ++i)
        follower.clock(10.0 + i * clock + off(random));
    const std::optional<double> heard = follower.bpm();
    return heard ? std::abs(*heard - bpm) : 1e9;
}

void BM_ClockFollowErrorAfterFourBeats(benchmark::State& state)
{
    const double bpm = static_cast<double>(state.range(0));
    const double jitter = static_cast<double>(state.range(1)) / 1000.0;
    constexpr int kSenders = 1000;
    double worst = 0.0;
    double sum = 0.0;
    for (auto _ : state) {
        worst = 0.0;
        sum = 0.0;
        for (unsigned seed = 1; seed <= kSenders; ++seed) {
            const double error = ErrorAfter(bpm, 4, jitter, seed);
            worst = std::max(worst, error);
            sum += error;
        }
    }
    state.counters["meanErrorBpm"] = sum / kSenders;
    state.counters["worstErrorBpm"] = worst;
}
BENCHMARK(BM_ClockFollowErrorAfterFourBeats)
    ->ArgNames({"bpm", "jitterMs"})
    ->Args({60, 2})
    ->Args({120, 2})
    ->Args({180, 2})
    ->Args({240, 2})
    ->Args({120, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_ClockFollowPerClock(benchmark::State& state)
{
    ClockFollower follower;
    double at = 10.0;
    for (auto _ : state) {
        follower.clock(at);
        at += 0.5 / ClockFollower::kClocksPerBeat;
        benchmark::DoNotOptimize(follower.bpm());
    }
}
BENCHMARK(BM_ClockFollowPerClock);

} // namespace

BENCHMARK_MAIN();
