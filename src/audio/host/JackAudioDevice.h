// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioDevice.h"
#include "JackMidiPorts.h"
#include "JackTransportShare.h"
#include "MidiClockOut.h"

#include <array>
#include <atomic>
#include <jack/transport.h>
#include <jack/types.h>

// Quendel as a JACK client: the client "Quendel" with the audio outputs "out_left" and
// "out_right" (joined to the first two physical playback ports when there are any) and the MIDI
// ports "midi_in" and "midi_out" (left for the user's patchbay to join), and the audio input "in"
// that the tuner hears (the user joins the instrument to it). The outputs "click_1" and "click_2"
// carry the metronome alone, for a drummer's headphones (left for the user's patchbay to join).
//
// The server decides the rate and the period: rate() and plan() report them, and the engine
// renders at that rate. Opening never starts a server, so without one it fails at once. When the
// server ends, lost() turns true and the engine opens a device again once one answers. JACK's own
// library tells of the end through the callback set with jack_on_info_shutdown, PipeWire's only
// through the plain jack_on_shutdown one: both are set, and either, or both, mean the same.
//
// The process callback renders through the RenderCallback into a stereo scratch buffer of the
// device's own and spreads it over the two ports; it neither allocates nor locks. The frames of
// "in" go to the capture tap, when one is set, before the period is rendered. The grid's MIDI
// clock, when enabled, goes out through midi_out on its frames after what the UI sent; JACK's
// transport is read once a period when followed, and given the grid's place when led (the
// client is then the timebase master, should no other insist on being it).
class JackAudioDevice final : public AudioDevice {
public:
    static constexpr const char* kClientName = "Quendel";
    static constexpr const char* kLeftPort = "out_left";
    static constexpr const char* kRightPort = "out_right";
    static constexpr const char* kMidiInPort = "midi_in";
    static constexpr const char* kMidiOutPort = "midi_out";
    static constexpr const char* kInPort = "in";
    static constexpr const char* kClickLeftPort = "click_1";
    static constexpr const char* kClickRightPort = "click_2";

    ~JackAudioDevice() override;
    // The rate and plan asked for are not JACK's to take: the server's own hold.
    bool open(int sampleRate, const BufferPlan& plan, RenderCallback render,
              void* context) override;
    void close() override;
    bool lost() const override { return m_lost.load(std::memory_order_acquire); }
    // The server's xrun reports since the client opened.
    std::uint64_t reportedUnderruns() const override
    {
        return m_xruns.load(std::memory_order_relaxed);
    }
    // The period is the server's, shared by every client on it: a larger buffer is not ours to
    // ask for, and reopening the client would change nothing. The request is taken as done.
    bool resizeWhilePlaying(const BufferPlan&) override { return true; }
    // The server's period, twice: what a JACK server holds ahead by default.
    BufferPlan plan() const override;
    int outputLatencyFrames() const override;
    int inputLatencyFrames() const override;
    int rate() const override { return m_rate; }
    MidiTransport* midi() override { return &m_midi; }
    bool setCaptureTap(CaptureTap* tap) override;
    void setClickRender(ClickRenderCallback render) override
    {
        m_clickRender.store(render, std::memory_order_release);
    }
    const char* name() const override { return "jack"; }
    void setGridSync(MidiClockOut* clock, JackTransportShare* transport) override
    {
        m_clockOut.store(clock, std::memory_order_release);
        m_transport.store(transport, std::memory_order_release);
    }
    void followTransportMode() override;
    void rollTransport(bool roll) override;

    // The name the server gave the client: "Quendel", or "Quendel-01" beside another one.
    const char* clientName() const;

    // The library's two ways of saying the server is gone (self: the device). Public so that
    // a test can say it either way: a real server only ever takes one.
    static void shutdown(void* self);
    static void infoShutdown(jack_status_t code, const char* reason, void* self);

private:
    static constexpr int kScratchFrames = 4096;

    static int process(jack_nframes_t frames, void* self);
    static int bufferSizeChanged(jack_nframes_t frames, void* self);
    static int xrun(void* self);
    static void timebase(jack_transport_state_t state, jack_nframes_t frames,
                         jack_position_t* position, int newPosition, void* self);
    void followTransport();
    void serverLost();
    void joinPlaybackPorts();

    jack_client_t* m_client = nullptr;
    std::array<jack_port_t*, 2> m_outputs{};
    std::array<jack_port_t*, 2> m_clickOutputs{};
    std::atomic<ClickRenderCallback> m_clickRender{nullptr};
    jack_port_t* m_midiIn = nullptr;
    jack_port_t* m_midiOut = nullptr;
    jack_port_t* m_input = nullptr;
    std::atomic<CaptureTap*> m_tap{nullptr};
    RenderCallback m_render = nullptr;
    void* m_renderContext = nullptr;
    int m_rate = 0;
    std::atomic<int> m_periodFrames{0};
    std::atomic<bool> m_lost{false};
    std::atomic<std::uint64_t> m_xruns{0};
    JackMidiPorts m_midi;
    std::atomic<MidiClockOut*> m_clockOut{nullptr};
    std::atomic<JackTransportShare*> m_transport{nullptr};
    bool m_timebaseMaster = false; // UI or housekeeping thread
    std::array<float, kScratchFrames * 2> m_scratch{};
    std::array<float, kScratchFrames * 2> m_clickScratch{};
};
