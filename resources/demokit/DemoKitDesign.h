// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoopCanvas.h"

#include <string>
#include <vector>

namespace demokit {

// The demo kit: one four-bar groove at 120 BPM in A minor (Am7 - Fmaj7 - C - G), split into its
// parts so each pad plays one of them, plus the whole band on the first pad. The parts add up to
// the full mix exactly, so they also fit together when played side by side in another program.
constexpr int kTempo = 120;
constexpr int kBeatFrames = kSampleRate * 60 / kTempo; // 22050
constexpr int kBarFrames = 4 * kBeatFrames;            // 88200: one bar of 4/4
constexpr int kBars = 4;
constexpr int kLoopFrames = kBars * kBarFrames;

enum class FileKind { Wave, Mp3 };

struct DemoLoopFile {
    std::string name; // the bare file name in Sounds/
    FileKind kind;
};

// The kit's files, in the order they are bound to the pads. Cheap: nothing is rendered.
const std::vector<DemoLoopFile>& demoKitFiles();

// The loops themselves, in the order of demoKitFiles(), each kLoopFrames long. Deterministic:
// every build renders the same samples.
std::vector<LoopCanvas> renderDemoKit();

// The hits of a drum pattern written one character per sixteenth note ('.' rest, 'o' soft,
// 'x' normal, 'X' accented; '|' between bars is only for the eye), repeated to fill the loop.
// Every other sixteenth is played a little late, which gives the groove its light shuffle.
struct Hit {
    int frame;
    double velocity;
    int step; // sixteenths from the loop's start
};
std::vector<Hit> patternHits(const std::string& pattern);

} // namespace demokit
