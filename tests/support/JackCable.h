// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/types.h>

// A loopback cable as a JACK client: what reaches its "in" leaves its "out" in the same period,
// so a program's output patched through it into that program's input comes back a round trip
// later, as through a cable from a sound card's output to its input.
class JackCable {
public:
    JackCable() = default;
    ~JackCable();
    JackCable(const JackCable&) = delete;
    JackCable& operator=(const JackCable&) = delete;

    // Opens "Cable" on the running server and patches `from` (an output port) through it to
    // `to` (an input port).
    bool open(const char* from, const char* to);

private:
    static int process(jack_nframes_t frames, void* self);

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    jack_port_t* m_out = nullptr;
};
