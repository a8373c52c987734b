// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// A place MIDI comes in and goes out: a JACK client's MIDI ports, or the ALSA sequencer's. The
// pads' MIDI side talks to this and never to a back end, so it works the same on either, and
// tests drive it with a transport of their own.
//
// Threads: receive() may be called on any thread (JACK's process thread, the sequencer's reader)
// with one whole MIDI message at a time (running status already expanded, SysEx left out or
// whole). The receiver must not block or allocate there. send() is called on the UI thread; a
// transport that is not connected drops what it is given.
class MidiTransport {
public:
    using Receiver = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

    virtual ~MidiTransport() = default;

    // The one receiver of incoming messages; an empty function stops delivery. Set it before
    // MIDI flows, from the UI thread.
    virtual void setReceiver(Receiver receiver) = 0;
    // Sends one whole MIDI message (up to 3 bytes for channel messages).
    virtual void send(const std::uint8_t* bytes, std::size_t size) = 0;
    // True while messages can flow (the port exists).
    virtual bool connected() const = 0;
    // What this transport is, for the user: "JACK", "ALSA sequencer".
    virtual const char* name() const = 0;
};
