// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

// How loud a sound is to the ear and how high its peaks reach between the samples, the way
// broadcasters measure it (EBU R128 integrated loudness with its gates, and the true peak of the
// signal oversampled four times). Pads recorded at very different levels can then be matched.
struct Loudness {
    double integratedLufs = 0.0;
    double truePeakDbtp = 0.0; // the higher channel's
};

// A measurement fed as a sound is read, in pieces of any size (interleaved stereo float).
class LoudnessMeter {
public:
    explicit LoudnessMeter(int rate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    void add(const float* interleavedStereo, std::size_t frames);
    // What was fed so far; nothing as for MeasureLoudness.
    std::optional<Loudness> result() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_failed = false;
};

// Measures interleaved stereo float at `rate`. Nothing for silence (every block below the
// absolute gate) or a sound too short to hold one 400 ms block. Heavy: a worker's, never the
// audio thread's.
std::optional<Loudness> MeasureLoudness(const float* interleavedStereo, std::size_t frames,
                                        int rate);

// The gain in dB that brings `sound` to `targetLufs`, lowered as far as needed to keep its true
// peak at or below `ceilingDbtp`.
double LoudnessMatchGainDb(const Loudness& sound, double targetLufs = -16.0,
                           double ceilingDbtp = -1.0);
