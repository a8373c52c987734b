// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The session's beat grid as the mixer counts it: lines every `beatFrames` frames from an origin
// (a bar line), every `beatsPerBar`-th line a bar line. A beat rarely lasts a whole number of
// frames, so each line falls on the frame at or before its exact time, and the exact time is
// carried in fixed point (32.32) from line to line: no rounding builds up over a long session.
//
// The grid is a cursor over its lines: the next line not yet passed, its frame, its place in the
// bar and the fraction of a frame its exact time lies past that frame. A new beat length asked
// for while the grid runs takes over at the next bar line, so the bar lines before it stay where
// they were heard. Plain arithmetic, no threads: the mixer keeps one on its audio thread.
class BeatGrid {
public:
    static constexpr int kMaxBeatsPerBar = 32;
    // About six minutes a beat at 44.1 kHz; a longer one is taken as this.
    static constexpr double kLongestBeat = 16777216.0;

    // A bar line at `frame` (its exact time `fraction` / 2^32 of a frame later) begins the grid;
    // or, with `beat`, the line that many beats into a bar.
    void start(std::int64_t frame, double beatFrames, int beatsPerBar, std::uint32_t fraction = 0,
               int beat = 0);
    void stop();
    bool running() const { return m_beatFixed != 0; }

    // The beat length in force now; 0 when the grid is stopped.
    double beatFrames() const;
    int beatsPerBar() const { return m_beatsPerBar; }
    // Takes over at the next bar line still to come (which may be the next line itself).
    void changeAtNextBar(double beatFrames, int beatsPerBar);
    bool changePending() const { return m_pendingFixed != 0; }
    // The beat length and bar the grid will have once a pending change has taken over.
    double comingBeatFrames() const;
    int comingBeatsPerBar() const;

    // The next line not yet passed.
    std::int64_t nextLine() const { return m_frame; }
    std::uint32_t nextLineFraction() const { return m_fraction; }
    // Its place in the bar: 0 on a bar line.
    int nextLineBeat() const { return m_beat; }
    // Lines passed since the start: the next line's count from the first bar line (0).
    std::int64_t nextLineIndex() const { return m_lines; }
    // The first bar line at or after nextLine().
    std::int64_t nextBar() const;
    // The line `lines` lines after nextLine() at the beat in force (a change pending at the next
    // bar line is not taken into account), and its fraction.
    std::int64_t lineAfter(int lines, std::uint32_t* fraction = nullptr) const;

    // Moves the cursor past the next line; a change due at that line (a bar line) takes over
    // from there.
    void pass();
    // Passes every line before `frame`.
    void passBefore(std::int64_t frame);

private:
    static std::uint64_t toFixed(double beatFrames);
    static int clampBeats(int beatsPerBar);

    std::uint64_t m_beatFixed = 0; // frames per beat times 2^32; 0: no grid
    int m_beatsPerBar = 4;
    std::uint64_t m_pendingFixed = 0;
    int m_pendingBeatsPerBar = 4;
    std::int64_t m_frame = 0;
    std::uint32_t m_fraction = 0;
    int m_beat = 0;
    std::int64_t m_lines = 0;
};
