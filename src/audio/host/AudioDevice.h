// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BufferPlan.h"

#include <cstdint>
#include <memory>

class CaptureTap;
class JackTransportShare;
class MidiClockOut;
class MidiTransport;
struct OutputChoice;

// The device side of the engine: something that calls back for sound at a rate, in float
// stereo, from a thread of its own. The engine renders in the callback and never waits there.
class AudioDevice {
public:
    // Called on the device's thread for `frames` interleaved stereo frames.
    using RenderCallback = void (*)(void* context, float* out, int frames);
    // The same, with the metronome's clicks in `click` (interleaved stereo, as many frames), for
    // a device that gives them outputs of their own.
    using ClickRenderCallback = void (*)(void* context, float* out, float* click, int frames);

    virtual ~AudioDevice() = default;

    // Opens and starts the device; false when there is none to open.
    virtual bool open(int sampleRate, const BufferPlan& plan, RenderCallback render,
                      void* context) = 0;
    // Stops the device; returns once no callback runs any more.
    virtual void close() = 0;
    // The device went away (unplugged, or its sound server ended) and will not call back again.
    virtual bool lost() const = 0;

    // Times the device ran dry since it opened: its server's reports where it has them, else
    // told from the times of its refills.
    virtual std::uint64_t reportedUnderruns() const { return 0; }

    // Changes the buffer while sound plays on, without a gap; false when this device cannot
    // (then the engine reopens it).
    virtual bool resizeWhilePlaying(const BufferPlan&) { return false; }

    // Nothing has sounded for a while (true), or something sounds again (false). A device
    // whose server plays silence of its own may then stop refilling once what it rendered has
    // been silent as long, so an idle program no longer wakes for every period.
    virtual void setIdle(bool) {}
    // New commands await the audio thread: a device that stopped refilling renders them at once,
    // from the calling thread, so the first press after a rest is heard no later than any other.
    // Called from any thread but the device's own; cheap when the device is refilling anyway.
    virtual void wake() {}
    // The device has stopped refilling until the next wake.
    virtual bool parked() const { return false; }

    // What the device actually holds ahead, which may differ from what was asked.
    virtual BufferPlan plan() const = 0;
    // How many frames (at rate()) a frame rendered now takes to reach the speakers: what the
    // device holds ahead, or what its server reports of the way out when it knows better.
    virtual int outputLatencyFrames() const { return plan().totalFrames(); }
    // How many frames a sound takes from the input's socket to the frames it hands over, as the
    // device reports it; 0 for a device without an input of its own.
    virtual int inputLatencyFrames() const { return 0; }
    // The rate the device plays at. A sound server such as JACK imposes its own and ignores the
    // rate asked for; 0 means the rate the device was opened at.
    virtual int rate() const { return 0; }
    // The device's own MIDI ports (a JACK client's), or null when it has none. They live as long
    // as the device; the engine offers them to the pads through OutputHost::midi().
    virtual MidiTransport* midi() { return nullptr; }
    // A device that hears an input of its own (a JACK client's "in") hands its frames to `tap`
    // from its thread from now on, and says so; the others return false. Set while open.
    virtual bool setCaptureTap(CaptureTap*) { return false; }
    // A device with outputs for the clicks renders through `render` (same context as the open's)
    // from now on; the others ignore it. Set while open, from any thread but the device's.
    virtual void setClickRender(ClickRenderCallback) {}
    // A device with MIDI ports of its own writes the grid's MIDI clock there on its frames, and
    // one on a sound server with a transport (JACK) shares it through `transport`. Set while
    // open, from any thread but the device's; the others ignore them.
    virtual void setGridSync(MidiClockOut*, JackTransportShare*) {}
    // The transport's mode changed (JackTransportShare::mode): a JACK client becomes the
    // timebase master for "lead", or gives it up. UI or housekeeping thread.
    virtual void followTransportMode() {}
    // Rolls the sound server's transport from its start (true) or stops it. UI thread.
    virtual void rollTransport(bool) {}
    virtual const char* name() const = 0;
};

// Opens the device the engine should use here: a JACK client when a JACK server answers, else
// PulseAudio's native protocol when a server (or PipeWire's PulseAudio service) answers, else
// SDL. The user's output choice is tried first, and the usual order after it. QUENDEL_AUDIO
// ("jack", "pulse" or "sdl") overrides both: it names the only back end to try (tests and
// measurements pin it so). Otherwise SDL_AUDIODRIVER, when set, names the back end ("jack" and
// "pulseaudio" mean our own devices). Null when no device opens.
std::unique_ptr<AudioDevice> OpenBestAudioDevice(int sampleRate, const BufferPlan& plan,
                                                 AudioDevice::RenderCallback render, void* context,
                                                 const OutputChoice& choice);

// Raises the calling thread to the scheduling an audio thread needs when the system allows it
// (real-time round robin, else a higher nice level); does nothing otherwise.
void RaiseAudioThreadPriority();
