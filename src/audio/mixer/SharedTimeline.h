// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Voice.h"

#include <cstdint>

// A timeline the mixer's beat grid follows when it plays with others (a Link session): where
// its beats lie as they are heard at the speakers. The mixer owns it once handed over and asks
// it, on the audio thread at the top of every block, where the block's first frame stands;
// what answers must therefore neither lock, allocate nor wait. It is freed off the audio
// thread, as the voices are.
class SharedTimeline : public Retired {
public:
    struct Position {
        double beat = 0.0;       // the timeline's beat at the frame (bar lines: multiples of the
                                 // beats per bar asked for)
        double beatFrames = 0.0; // its beat length in frames at the mixer's rate
    };

    // Where the timeline stands when mixer frame `frame` (the first of the block about to be
    // rendered, counted as Mixer::framesRendered counts) reaches the speakers; false while there
    // is no timeline to follow (no session joined).
    virtual bool position(std::int64_t frame, int sampleRate, int beatsPerBar,
                          Position& out) noexcept = 0;
};
