// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GridBlock.h"

#include <array>
#include <cstdint>

// The MIDI clock a beat grid sends: 24 clocks a beat, the first on the grid's first bar line
// and one on every line after it, those between spread evenly over the beat in force; a tempo
// change at a bar line changes the spacing from that line on. When the grid starts keeping
// time a Song Position Pointer of 0 and a Start go first (a grid that restarts under a running
// clock sends a Stop before them); when it stops keeping time, a Stop. A clock that begins while
// the grid already keeps time (switched on mid-song) joins at the grid's next line: the Song
// Position of that line and a Continue, so a receiver falls in on the right beat.
//
// Each clock falls on the frame at or before its exact time, counted from the line before it,
// so clocks never drift from the lines however long the session runs. Plain arithmetic on one
// block's read-out after another, no threads: whoever renders follows the blocks in order.
class MidiClockTicks {
public:
    static constexpr int kClocksPerBeat = 24;
    // A block with more falls back to sending the rest at its last frame.
    static constexpr int kMaxEvents = 512;

    struct Event {
        int offset = 0; // frame within the block
        std::array<std::uint8_t, 3> bytes{};
        std::uint8_t size = 1;
    };

    // The events of this block, in time order, replacing the last block's.
    void follow(const GridBlock& block);
    // Forgets what was sent: the next block is followed as by a clock just switched on.
    void reset();
    const Event* events() const { return m_events.data(); }
    int count() const { return m_count; }
    // A Start went out and no Stop after it.
    bool running() const { return m_running; }
    // Clocks sent since the last Start.
    std::int64_t clocksSent() const { return m_nextClock; }

private:
    struct Anchor {
        double exact = 0.0; // the line's exact frame on the mixer's clock
        std::int64_t index = 0;
        double beatFrames = 0.0;
    };
    void clocksBefore(double end, std::int64_t blockFrame, int frames);
    void add(int offset, std::uint8_t status, std::uint8_t data1 = 0, std::uint8_t data2 = 0,
             std::uint8_t size = 1);

    std::array<Event, kMaxEvents> m_events{};
    int m_count = 0;
    bool m_running = false;
    bool m_anchored = false; // a line of the running grid has been seen
    Anchor m_line;           // the last line seen
    std::int64_t m_nextClock = 0;
};
