// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/MonoRing.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>

// The mixer's ear: what the input hears, placed on the mixer's own clock so that a take starts
// and ends on the grid's lines as the musician heard them.
//
// The input's thread hands its frames over through Hear (a ring, copied only). The audio thread
// reads them at the end of every render, as many as it rendered: a device that hears its input
// in the same callback as it renders (a JACK client) gives input frame i of the period the
// position of output frame i, exactly. What the musician played in time with a frame reaches
// the input one round trip later (the way out to the speakers, the way back in), so an input
// frame at position p belongs to the frame p - roundTrip of the mix: that is the stamp a take is
// cut by.
//
// The take's frames go into a ring that the disk writer drains (the audio thread never waits on
// the disk); what does not fit is counted as dropped. With monitoring on, the input is added to
// the mix in the same render it was heard in. A round-trip measurement sends a click out at a
// frame and waits for it to come back through a loopback cable.
//
// Threads: Hear runs on the input's thread; begin, endAt, cancel, measure and process on the
// audio thread (the mixer calls them from its commands and its render); setMonitor, restartInput
// and progress on any other thread.
class TakeRecorder {
public:
    static constexpr std::size_t kInputFrames = 1u << 15;
    // The ring a take goes to the disk writer through: 22 s at 48 kHz, far more than a disk
    // that keeps up at all ever stalls.
    static constexpr std::size_t kTakeFrames = 1u << 20;
    static constexpr std::int64_t kOpenEnd = std::numeric_limits<std::int64_t>::max();
    // The click that measures the round trip, and what counts as hearing it back.
    static constexpr int kClickFrames = 64;
    static constexpr float kClickLevel = 0.8f;
    static constexpr float kEchoThreshold = 0.2f;

    enum class State : int {
        Idle,      // nothing asked
        Waiting,   // armed: the take starts on a frame still to come
        Recording, // the take's frames are being cut
        Done,      // the take is whole: end - start frames went to the ring
        Cancelled,
        Measuring, // a click went out and the input listens for it
        Measured,  // roundTrip holds what came back
        NoEcho     // the click never came back within a second
    };
    struct Progress {
        State state = State::Idle;
        std::uint32_t serial = 0; // counts takes and measurements
        std::int64_t start = 0;   // the take's first frame on the mixer's clock
        std::int64_t end = 0;     // the frame after its last; kOpenEnd until known
        std::int64_t taken = 0;   // frames handed to the ring so far
        std::int64_t dropped = 0; // of those, frames the ring had no room for
        std::int64_t roundTrip = 0;
    };

    // The input's thread (an AudioInput::Sink).
    static void Hear(void* recorder, const float* mono, int frames);

    // Any thread: the next frames heard come from a new input; they are placed afresh.
    void restartInput() { m_restart.store(true, std::memory_order_release); }
    void setMonitor(bool on) { m_monitor.store(on, std::memory_order_relaxed); }
    bool monitoring() const { return m_monitor.load(std::memory_order_relaxed); }
    // Any thread: the state of the latest take or measurement.
    Progress progress() const;
    // The ring the program's takes go through (it lives as long as the mixer, so the audio
    // thread never writes into one that was freed); its reader is the disk writer.
    MonoRing& takeRing() { return m_takeRing; }

    // Audio thread. A take from `start` up to `end` (kOpenEnd: until endAt), cut `roundTrip`
    // frames late, into `target`.
    void begin(std::int64_t start, std::int64_t end, std::int64_t roundTrip, MonoRing* target);
    // The open take ends before `frame` (never before it began).
    void endAt(std::int64_t frame);
    void cancel();
    // A take asked for that cannot be made (its loop stopped): shown as called off at once.
    void refuse();
    // The open take's first frame on the mixer's clock.
    std::int64_t start() const { return m_start; }
    bool open() const { return m_state == State::Waiting || m_state == State::Recording; }
    // Sends the click at the next render's first frame; NoEcho when nothing came back within
    // `timeoutFrames`.
    void measure(std::int64_t timeoutFrames);
    // Something is under way that needs the input heard at every render.
    bool busy() const { return open() || m_state == State::Measuring || monitoring(); }
    // After the mix of frames [firstFrame, firstFrame + frames) is in `out` (interleaved stereo).
    void process(float* out, int frames, std::int64_t firstFrame);

private:
    static constexpr int kPiece = 1024;

    void publish(State state);
    void cut(const float* mono, int frames, std::int64_t position);
    void listen(const float* mono, int frames, std::int64_t position);

    MonoRing m_input{kInputFrames};
    MonoRing m_takeRing{kTakeFrames};
    std::atomic<bool> m_restart{true};
    std::atomic<bool> m_monitor{false};

    // Audio thread.
    std::array<float, kPiece> m_piece{};
    std::int64_t m_inputAt = 0; // the position of the next input frame read
    State m_state = State::Idle;
    std::uint32_t m_serial = 0;
    std::int64_t m_start = 0;
    std::int64_t m_end = 0;
    std::int64_t m_roundTrip = 0;
    std::int64_t m_taken = 0;
    std::int64_t m_dropped = 0;
    MonoRing* m_target = nullptr;
    bool m_clickDue = false;
    std::int64_t m_clickAt = -1;
    std::int64_t m_echoTimeout = 0;

    // Published for progress(): the fields first, the state word (state, serial) last.
    std::atomic<std::int64_t> m_shownStart{0};
    std::atomic<std::int64_t> m_shownEnd{0};
    std::atomic<std::int64_t> m_shownTaken{0};
    std::atomic<std::int64_t> m_shownDropped{0};
    std::atomic<std::int64_t> m_shownRoundTrip{0};
    std::atomic<std::uint64_t> m_shownState{0};
};
