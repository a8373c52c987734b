// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioInput.h"

#include <atomic>
#include <cstdint>

// Where a device that hears an input on its own thread (the JACK client's "in" port) hands the
// frames on to whoever listens: the tuner and the loop recorder may both. The engine owns one
// for the life of the process and tells it which device feeds it; each listener attaches a sink
// and detaches it again, while devices come and go underneath.
//
// Threads: deliver() runs on the device's thread and never locks or allocates. attach and
// detach run on the listener's thread; setSource on the engine's UI or housekeeping thread.
// detach() returns only once no delivery is inside the old sink: the device thread counts
// itself in before it looks at the sink and out after the call, and both sides use sequentially
// consistent operations, so either the device sees the sink gone or detach sees it counted in.
class CaptureTap {
public:
    static constexpr int kListeners = 2;

    // Device thread: hands `frames` mono frames to each attached sink.
    void deliver(const float* mono, int frames);

    // Engine: a device feeding the tap opened at `rate`, or (0) none feeds it any more. Every
    // call starts a new source, so a listener of the old one learns that it is lost.
    void setSource(int rate);
    // The current source in one read: its rate (0: none) and its number.
    struct Source {
        int rate = 0;
        std::uint32_t generation = 0;
    };
    Source source() const;

    // Listener: sets the sink of `context` (replacing its earlier one, or, with every place
    // taken, the first listener's; after waiting out a delivery into what it replaces).
    void attach(AudioInput::Sink sink, void* context);
    // Removes the sink of `context` (nothing when another has taken its place) and waits out a
    // delivery that is still inside it.
    void detach(void* context);

private:
    struct Listener {
        AudioInput::Sink sink = nullptr;
        void* context = nullptr;
    };
    void withdraw(int place);

    Listener m_slots[kListeners]; // each written only while no delivery can see it
    std::atomic<Listener*> m_listeners[kListeners]{};
    std::atomic<int> m_delivering{0};
    std::atomic<std::uint64_t> m_source{0}; // generation << 32 | rate
};
