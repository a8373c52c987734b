// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The input side of the audio back ends: something that hears the instrument (SDL's capture
// device, the JACK client's "in" port, or a test's offline input) and hands its frames, mixed
// to mono, to one sink on a thread of its own. The sink must only copy: it runs beside the
// device's real-time work and never waits.
class AudioInput {
public:
    // Called on the input's thread with `frames` mono frames at rate().
    using Sink = void (*)(void* context, const float* mono, int frames);

    virtual ~AudioInput() = default;

    // Starts hearing; false when there is no input to open.
    virtual bool open(Sink sink, void* context) = 0;
    // Stops hearing; returns once no sink call runs any more.
    virtual void close() = 0;
    // The input went away (unplugged, its server ended) and will not call the sink again.
    virtual bool lost() const = 0;
    // Frames per second the sink receives; 0 before a successful open.
    virtual int rate() const = 0;
    // "jack", "sdl" or "offline".
    virtual const char* name() const = 0;
};
