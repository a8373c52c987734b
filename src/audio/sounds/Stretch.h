// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>

class SampleBuffer;

// The rate a stretch assumes when not told: the stretcher's analysis bands follow it only loosely,
// so 44.1 kHz and 48 kHz sound alike either way.
constexpr int kStretchDefaultRate = 48000;

// A sound played at another tempo and pitch: `source` (at the engine's rate) made to last
// `cycleFrames` frames (fractional) and shifted by `pitchScale` (1 = as recorded), by Rubber
// Band's finer engine offline. The result holds exactly ceil(cycleFrames) frames. The time ratio
// cycleFrames / source frames is held to 0.5..2 (the result then lasts what that ratio gives).
//
// A loop (`loop`) is stretched as it plays, with its tail before its start and its head after
// its end, and the middle cut out where the loop's start falls: the result loops without a seam,
// the frame after its fractional end being what its start is. A sound played once is stretched
// as it is, its end padded with silence to the length.
//
// Slow (about nine times real time on one core, as fast as the rubberband tool): for a worker
// thread only. Nothing when `cancel` turns true along the way, or for an empty source. Holds no more than the result and the
// stretcher's own state while it works: the padded input is read from `source` as it goes.
std::shared_ptr<const SampleBuffer> RenderStretched(const SampleBuffer& source, double cycleFrames,
                                                    double pitchScale, bool loop,
                                                    const std::atomic<bool>* cancel = nullptr,
                                                    int rate = kStretchDefaultRate);
