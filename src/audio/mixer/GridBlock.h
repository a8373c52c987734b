// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

// Where the mixer's beat grid stood over one rendered block, for whatever runs on the audio
// thread after the render and keeps time with it (the MIDI clock sent out, a JACK timebase):
// the grid at the block's first frame, each line the block reached with the beat after it, and
// whether the grid started, or stopped keeping time, within it. Written by Mixer::render, read on
// the same thread until the next render; plain data, no threads.
struct GridBlock {
    static constexpr int kMaxLines = 64;

    struct Line {
        int offset = 0;          // the line's frame within the block
        double fraction = 0.0;   // its exact time lies this part of a frame after that frame
        std::int64_t index = 0;  // lines since the grid's first bar line (index 0)
        int beatInBar = 0;       // 0: a bar line
        double beatFrames = 0.0; // the beat from this line on
    };

    std::int64_t frame = 0; // the block's first frame on the mixer's clock
    int frames = 0;
    // A grid runs (after the commands the block applied at its top).
    bool running = false;
    // A grid runs and something plays to it: a loop, a count-in, the metronome. The MIDI clock
    // and the transport run while this holds.
    bool keepsTime = false;
    double beatPosition = 0.0; // beats since the first bar line, at the block's first frame
    double beatFrames = 0.0;   // the beat in force at the block's first frame
    int beatsPerBar = 4;
    // The beat once a change waiting for the next bar line has taken over (else beatFrames).
    double comingBeatFrames = 0.0;
    std::array<Line, kMaxLines> lines{};
    int lineCount = 0;
    int startedAt = -1; // where the grid started (its first bar line) in the block; -1: it did not
    int stoppedAt = -1; // where it stopped keeping time; -1: it did not
};
