// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioDevice.h"
#include "DeviceMidi.h"
#include "JackTransportShare.h"
#include "MidiClockOut.h"
#include "OutputChoice.h"
#include "io/CaptureTap.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Mixer;
class RateBridge;

// Drives the mixer's render from a device: which output to open (a JACK client, a PulseAudio
// stream, or SDL2's device), opening it, moving to another, resting a stream while nothing
// sounds, a server that went away and came back, and the device buffer and its growth. A
// housekeeping thread of its own watches all that, frees what the mixer returns, and, while no
// device is open, renders into nowhere at real-time pace so that the silent engine behaves like a
// sounding one (once-played files end, stopped voices are freed).
class OutputHost {
public:
    // Opens a device in place of the machine's (tests).
    using DeviceFactory = std::function<std::unique_ptr<AudioDevice>(
        int sampleRate, const BufferPlan& plan, AudioDevice::RenderCallback render, void* context)>;

    explicit OutputHost(Mixer& mixer, DeviceFactory factory = {});
    ~OutputHost();
    OutputHost(const OutputHost&) = delete;
    OutputHost& operator=(const OutputHost&) = delete;

    // Opens the output and starts housekeeping. A device that imposes its own rate (a JACK
    // server at 48 kHz) sets the mixer's rate at this first open, before anything is loaded;
    // should a device reopened later run at another rate, the mixer keeps its rate and the mix
    // is converted on its way to the device.
    void start();
    // Closes the device and ends housekeeping; returns once no render runs.
    void stop();

    // The device buffer of the next start ("auto" by default). An automatic buffer grows one
    // step on repeated underruns while sound plays on.
    void setBufferSetting(const BufferSetting& setting) { m_bufferSetting = setting; }
    // What the open device holds ahead, as it reports it.
    BufferPlan bufferPlan() const;
    // How long a frame rendered now takes to reach the speakers, as the open device reports it
    // (0 with none open).
    double outputLatencySeconds() const;
    // Frames from a frame of the mix reaching the speakers and, played along with, coming back
    // through the device's own input: its output and input latency as it reports them (0
    // without a device).
    int reportedRoundTripFrames() const;
    // Times the device ran dry since the start, over every device it opened.
    std::uint64_t underruns() const;
    // Steps the automatic buffer grew since the start.
    int bufferGrowths() const { return m_growths.load(std::memory_order_relaxed); }
    bool deviceOpen() const { return m_deviceOpen.load(std::memory_order_acquire); }
    // "jack", "pulseaudio", "sdl", or "" with no device open.
    const char* deviceName() const;
    // The device rests while nothing sounds: it renders again at the next command.
    bool deviceParked() const;
    // Where to play. Set before the start, it is what the start opens; set while the host runs,
    // housekeeping moves the sound there at once (with a short fade), and the playing voices
    // play on. A choice that cannot open means the usual order.
    void setOutputChoice(const OutputChoice& choice);
    OutputChoice outputChoice() const;

    // MIDI through the open device: one object for the life of the host, relaying to the JACK
    // client's "midi_in" and "midi_out" whichever JACK device is open now. connected() is true
    // only while a JACK client is open; otherwise send() drops and nothing is received, and the
    // pads' MIDI side should use the ALSA sequencer. The receiver carries over device reopens.
    MidiTransport& midi() { return m_midi; }
    // The input of the open device, for the tuner: fed while a device that hears one (a JACK
    // client's "in") is open; its source() says at which rate, and changes with every device.
    CaptureTap& capture() { return m_capture; }

    // The grid's MIDI clock, sent through the JACK client's midi_out while one is open and the
    // clock is enabled; its moments time the clock for a sender elsewhere (the ALSA sequencer).
    MidiClockOut& clockOut() { return m_clockOut; }
    // JACK's transport, followed or led (off by default).
    JackTransportShare& transport() { return m_transport; }
    void setTransportMode(JackTransportShare::Mode mode);
    // Rolls or stops JACK's transport, when a JACK client is open.
    void rollTransport(bool roll);

    // Wakes a resting device: the mixer has new commands.
    void wake();

private:
    bool openDevice();
    // The parts of an opening: the device, a mixer that plays at its rate (or a bridge to it),
    // and the device taking its place with its MIDI ports and capture.
    std::unique_ptr<AudioDevice> newDevice(int mixRate);
    void meetDeviceRate(int rate, int mixRate);
    void installDevice(std::unique_ptr<AudioDevice> device, int mixRate);
    void closeDevice();
    void reopenDevice(const BufferPlan& plan);
    void renderForDevice(float* out, int frames, float* click = nullptr);
    // After each render on the device's thread: the MIDI clock and the transport follow it.
    void followGrid();
    static void deviceCallback(void* self, float* out, int frames);
    static void deviceClickCallback(void* self, float* out, float* click, int frames);
    static void bridgeSource(void* self, float* out, int frames);

    // Housekeeping.
    void housekeeping();
    // How long housekeeping sleeps: briefly while it publishes the mixer's commands or plays
    // into nowhere, longer with a device, longest with a device at rest.
    std::chrono::milliseconds housekeepingTick(bool publishesHere) const;
    // Sleeps for tick or until woken; false once housekeeping is to end.
    bool waitForTick(std::chrono::milliseconds tick);
    void playIntoNowhere(std::chrono::steady_clock::duration elapsed, double& owedFrames);
    void growBufferOnUnderruns();
    void followOutputChoice();
    void watchChosenServer();
    void returnToBetterServer();
    void replaceLostDevice();
    void followSilence();

    Mixer& m_mixer;
    DeviceFactory m_factory;

    // The device's thread fades its output out before a reopen and in after it, so growing a
    // buffer that cannot grow in place does not click. Housekeeping asks; the device's thread
    // answers.
    enum class Duck : int { None, FadeOut, Silent, FadeIn };
    std::atomic<Duck> m_duck{Duck::None};
    std::atomic<bool> m_deviceOpen{false};
    std::atomic<std::uint64_t> m_earlierUnderruns{0}; // of devices closed since the start
    std::atomic<int> m_growths{0};
    // Set once a newly opened device's rate is known (and the bridge made, if one is needed);
    // until then its callbacks get silence. Released after m_bridge is written.
    std::atomic<bool> m_deviceReady{false};
    std::unique_ptr<RateBridge> m_bridge; // only while the device's rate differs from the mix

    bool m_adoptDeviceRate = false; // the first open of a start: nothing is loaded yet
    BufferSetting m_bufferSetting;
    BufferPlan m_plan;
    BufferGrowthPolicy m_growthPolicy;
    std::uint64_t m_underrunsSeen = 0;
    std::unique_ptr<AudioDevice> m_device; // opened, closed and resized by the UI or housekeeping
    mutable std::mutex m_deviceMutex;
    std::thread m_housekeeper;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stopHousekeeping = false;
    std::vector<float> m_nowhere;
    DeviceMidi m_midi;
    CaptureTap m_capture;
    MidiClockOut m_clockOut;
    JackTransportShare m_transport;
    std::atomic<std::int64_t> m_heardAfterNanos{0}; // the open device's output latency

    // The output choice (guarded by m_deviceMutex) and what housekeeping does about it.
    OutputChoice m_choice;
    std::atomic<bool> m_choiceChanged{false};
    // A sound server the host played through, or was told to, and should go back to once it
    // answers again while another device plays in its place (housekeeping thread only).
    OutputChoice::Backend m_returnTo = OutputChoice::Backend::Automatic;
    std::chrono::steady_clock::time_point m_nextReturnCheck;
    std::chrono::milliseconds m_returnInterval{0};
    // Housekeeping's view of the device: idle once silence has lasted a while.
    bool m_idle = false;
    bool m_deviceChanged = false; // guarded by m_deviceMutex
    std::chrono::steady_clock::time_point m_lastSound;
};
