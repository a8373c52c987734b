// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempoFit.h"

#include <cstddef>
#include <optional>

// The tempo a beat tracker hears in a sound (interleaved stereo float at `rate`), in BPM. A short
// loop is heard several times over, as it plays, so the tracker has settled before its beats
// are counted. Nothing for silence, noise without a beat, or too little sound to tell.
// Heavy: for a worker thread, never the audio thread.
std::optional<double> DetectBpm(const float* interleavedStereo, std::size_t frames, int rate);

// A loop's tempo and bars: the tempo heard, fitted to whole bars of the loop (FitLoopTempo).
std::optional<LoopTempo> AnalyseLoop(const float* interleavedStereo, std::size_t frames, int rate);
