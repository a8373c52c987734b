// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class ReadySounds;
class SampleBuffer;

// What opening a file as a sample gives: its sound in memory, or the path to play it from disk
// (too large to hold, or not ready yet), or neither when the file cannot play.
struct OpenedSample {
    std::shared_ptr<const SampleBuffer> sound;
    std::string streamPath;
};

// Opens a sample to play at `rate` (the engine's). At pitch 1 a ready sound costs a stat and a
// look-up. A long file that is not ready yet plays from disk at once, frame for frame the sound
// it decodes to, while the worker decodes it for the next press; a short one is decoded at once
// and kept. At another pitch the file is decoded afresh (the tuner's short recordings).
OpenedSample OpenSampleSound(ReadySounds& ready, const std::string& path, int rate,
                             std::size_t sizeLimit, double pitch);
