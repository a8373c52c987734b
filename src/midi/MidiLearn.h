// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/MidiMessage.h"

#include <functional>

// The one learn control (LEARN for a pad's note, MIDI for a slider's control) that waits for
// the next MIDI message. The pads' MIDI side offers it every note-on and control change before
// playing it; what the learn takes plays nothing. UI thread only.
class MidiLearn {
public:
    // Returns true when the learn took the message.
    using Taker = std::function<bool(const MidiMessage&)>;

    // owner waits from now on; a learn that waited before is told to stop through its cancel.
    static void wait(const void* owner, Taker take, std::function<void()> cancel);
    // owner waits no more (nothing happens when another one waits).
    static void stopWaiting(const void* owner);
    static bool waiting();
    // Hands a message to the waiting learn; true when it took it.
    static bool offer(const MidiMessage& message);

private:
    struct Waiting {
        const void* owner = nullptr;
        Taker take;
        std::function<void()> cancel;
    };
    static Waiting& current();
};
