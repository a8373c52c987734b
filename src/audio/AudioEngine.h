#pragma once

#include "EngineMidi.h"
#include "SpscQueue.h"
#include "capture/CaptureTap.h"
#include "device/AudioDevice.h"
#include "device/OutputChoice.h"
#include "sounds/ReadySounds.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

class PcmBlock;
class RateBridge;
class Retired;
class Voice;

// The one process-wide mixer. It plays every AudioControl's voices and the PCM buffers on one
// device (float stereo: a JACK client, a PulseAudio stream, or SDL2's device), rendering through
// one function, `render`, that the device callback and the tests call alike.
//
// Threads: the UI thread (AudioControl, DirectSound, commitPending) queues commands; the audio
// thread (the device callback, or in offline mode whoever calls render) applies them at the top
// of each block. Commands travel through a lock-free SPSC queue; what the audio thread no longer
// needs (voices, PCM blocks) comes back through a second SPSC queue and is freed on the UI thread
// or by the housekeeping thread, never in the callback. While no device is open, the
// housekeeping thread renders into nowhere at real-time pace, so the silent engine behaves like
// a sounding one (once-played files end, stopped voices are freed).
class AudioEngine {
public:
    static AudioEngine& instance();

    // The next start opens no device and runs no housekeeping; tests pull audio with render.
    static void setOfflineForTests(bool offline);
    // Opens a device for the engine; tests put one of their own in place of the machine's.
    using DeviceFactory = std::function<std::unique_ptr<AudioDevice>(
        int sampleRate, const BufferPlan& plan, AudioDevice::RenderCallback render, void* context)>;
    static void setDeviceFactoryForTests(DeviceFactory factory);

    static constexpr std::size_t kDefaultSampleSizeLimit = 64u * 1024u * 1024u;
    // Volume and pan changes glide over this many frames.
    static constexpr int kGainRampFrames = 256;

    // Starts the engine (does nothing when it runs). A rate outside 8000..192000 means 44100.
    // A device that imposes its own rate (a JACK server at 48 kHz) overrides it: the engine then
    // renders at the device's rate, and sampleRate() says so. Should a device reopened later
    // run at another rate, the engine keeps its rate (what is loaded stays valid) and converts
    // the mix on its way to the device.
    void start(int sampleRate);
    // Stops the device and frees every voice; AudioControls forget what they held.
    void stop();
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    int sampleRate() const { return m_sampleRate; }
    // Changes at every start; what an AudioControl held under another generation is gone.
    std::uint64_t generation() const { return m_generation; }
    bool deviceOpen() const { return m_deviceOpen.load(std::memory_order_acquire); }

    // Mixes `frames` stereo frames into `interleavedStereo` (overwriting it). In offline mode it
    // runs on the UI thread, so it first publishes the pending commands itself and waits (bounded)
    // for playing streams to be decoded ahead, so tests hear no underrun.
    void render(float* interleavedStereo, int frames);

    // Publishes the UI thread's pending commands now (and frees what the audio thread returned).
    void commitPending();
    // Called once when the first command of a new batch is queued; the batch is published at
    // the next commitPending. Without a scheduler every command is published at once.
    void setCommitScheduler(std::function<void()> schedule);

    // Files whose decoded size would exceed this many bytes open as streams.
    void setSampleSizeLimit(std::size_t bytes) { m_sampleSizeLimit = bytes; }
    std::size_t sampleSizeLimit() const { return m_sampleSizeLimit; }
    // The device buffer of the next start ("auto" by default). An automatic buffer grows one
    // step on repeated underruns while sound plays on.
    void setBufferSetting(const BufferSetting& setting) { m_bufferSetting = setting; }
    // What the open device holds ahead, as it reports it.
    BufferPlan bufferPlan() const;
    // Times the device ran dry since the engine started, over every device it opened.
    std::uint64_t underruns() const;
    // Steps the automatic buffer grew since the engine started.
    int bufferGrowths() const { return m_growths.load(std::memory_order_relaxed); }
    // "jack", "pulseaudio", "sdl", or "" with no device open.
    const char* deviceName() const;
    // The device rests while nothing sounds: it renders again at the next command.
    bool deviceParked() const;
    // Where to play. Set before the start, it is what the start opens; set while the engine
    // runs, the housekeeping thread moves the sound there at once (with a short fade), and the
    // playing voices play on. A choice that cannot open means the usual order.
    void setOutputChoice(const OutputChoice& choice);
    OutputChoice outputChoice() const;

    // MIDI through the open device: one object for the life of the process, relaying to the
    // JACK client's "midi_in" and "midi_out" whichever JACK device is open now. connected() is
    // true only while a JACK client is open; otherwise send() drops and nothing is received, and
    // the pads' MIDI side should use the ALSA sequencer. Set the receiver once; it is called on
    // JACK's process thread with one whole message at a time and carries over device reopens.
    MidiTransport& midi() { return m_midi; }
    // The input of the open device, for the tuner: fed while a device that hears one (a JACK
    // client's "in") is open; its source() says at which rate, and changes with every device.
    CaptureTap& capture() { return m_capture; }
    // The pads' sounds, decoded ahead at the engine's rate.
    ReadySounds& sounds() { return m_sounds; }
    // Offline render waits for stream read-ahead unless this is off (benchmarks wait themselves).
    void setOfflineStreamWait(bool wait) { m_offlineStreamWait = wait; }
    void waitForStreams(int frames);

    // UI thread: the engine takes the voice, publishes it and keeps it alive until it is stopped
    // and the audio thread has let go of it. Returns the voice for later commands.
    Voice* startVoice(std::unique_ptr<Voice> voice);
    // UI thread: like startVoice, but the voice starts on the frame after `after` ends its
    // current cycle (at once when `after` no longer plays); `after` then ends there, with no
    // fade. A voice queued behind `after` before is withdrawn: it never starts, and shows
    // finished so that its owner stops (frees) it.
    Voice* startVoiceAfter(std::unique_ptr<Voice> voice, Voice* after);
    // UI thread: `voice` ends on the last frame of its current cycle (true) or loops on (false);
    // either way a voice queued behind it is withdrawn. Aimed at a voice that has already handed
    // over to another, it reaches the one that plays now.
    void endAtCycleEnd(Voice* voice, bool end);
    void setGain(Voice* voice, float left, float right);
    // The caller must not use `voice` afterwards.
    void stopVoice(Voice* voice);
    void replacePcm(Voice* voice, std::unique_ptr<PcmBlock> block);
    // Frees what the audio thread handed back.
    void collectGarbage();

private:
    struct Command {
        enum class Type : std::uint8_t { Start, StartAfter, EndAtCycleEnd, Gain, Stop, Pcm };
        Type type = Type::Start;
        Voice* voice = nullptr;
        PcmBlock* block = nullptr;
        float left = 0.0f;
        float right = 0.0f;
        Voice* after = nullptr; // StartAfter: the voice whose cycle end starts this one
        bool end = false;       // EndAtCycleEnd
    };

    static constexpr int kMaxVoices = 128;
    static constexpr int kChunkFrames = 1024;

    AudioEngine() = default;
    void queue(const Command& command);
    // True when commands went over to the audio thread; the caller then wakes the device
    // (outside m_mutex), which may have stopped refilling while nothing sounded.
    bool publishLocked();
    void wakeDevice();
    void collectGarbageLocked();
    void apply(const Command& command);
    void startNow(Voice* voice);
    void withdrawSuccessor(Voice& voice);
    void retire(Retired* retired);
    void mixVoice(int index, float* out, int frames);
    void addToMix(Voice& voice, const float* source, float* out, long frames);
    void handOver(int index, float* out, int frames);
    bool openDevice();
    void closeDevice();
    void housekeeping();
    void growBufferOnUnderruns();
    void reopenDevice(const BufferPlan& plan);
    void followOutputChoice();
    void watchChosenServer();
    void returnToBetterServer();
    void followSilence();
    void renderForDevice(float* out, int frames);
    static void deviceCallback(void* self, float* out, int frames);
    static void bridgeSource(void* self, float* out, int frames);
    void setRate(int sampleRate);

    // UI side (guarded by m_mutex; the housekeeping thread shares it).
    std::mutex m_mutex;
    std::vector<Command> m_pending;
    std::unordered_set<Voice*> m_live;
    std::function<void()> m_scheduler;
    bool m_batchScheduled = false;

    // Between the threads.
    SpscQueue<Command, 4096> m_commands;
    SpscQueue<Retired*, 8192> m_garbage;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_deviceOpen{false};
    std::atomic<std::size_t> m_lostRetired{0};

    // Audio thread only.
    std::array<Voice*, kMaxVoices> m_voices{};
    int m_voiceCount = 0;
    // Voices waiting for another's cycle end; each holds a place in m_voices for its start.
    int m_waiting = 0;
    std::array<float, kChunkFrames * 2> m_scratch{};

    // The device's thread fades its output out before a reopen and in after it, so growing a
    // buffer that cannot grow in place does not click. The housekeeping thread asks; the
    // device's thread answers.
    enum class Duck : int { None, FadeOut, Silent, FadeIn };
    std::atomic<Duck> m_duck{Duck::None};
    std::atomic<std::uint64_t> m_earlierUnderruns{0}; // of devices closed since the start
    std::atomic<int> m_growths{0};
    // Set once a newly opened device's rate is known (and the bridge made, if one is needed);
    // until then its callbacks get silence. Released after m_bridge is written.
    std::atomic<bool> m_deviceReady{false};
    // Voices the last rendered block mixed (the audio thread tells housekeeping).
    std::atomic<int> m_soundingVoices{0};
    std::unique_ptr<RateBridge> m_bridge; // only while the device's rate differs from ours

    // Settings and lifecycle (UI thread).
    bool m_offline = false;
    bool m_offlineStreamWait = true;
    bool m_adoptDeviceRate = false; // the first open of a start: nothing is loaded yet
    int m_sampleRate = 44100;
    BufferSetting m_bufferSetting;
    BufferPlan m_plan;
    BufferGrowthPolicy m_growthPolicy;
    std::uint64_t m_underrunsSeen = 0;
    int m_fadeFrames = 176;
    int m_rampFrames = 256;
    std::uint64_t m_generation = 0;
    std::size_t m_sampleSizeLimit = kDefaultSampleSizeLimit;
    std::unique_ptr<AudioDevice>
        m_device; // opened, closed and resized by the UI or housekeeping thread
    mutable std::mutex m_deviceMutex;
    std::thread m_housekeeper;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stopHousekeeping = false;
    std::vector<float> m_nowhere;
    EngineMidi m_midi;
    CaptureTap m_capture;
    ReadySounds m_sounds;

    // The output choice (guarded by m_deviceMutex) and what the housekeeping thread does
    // about it.
    OutputChoice m_choice;
    std::atomic<bool> m_choiceChanged{false};
    // A sound server the engine played through, or was told to, and should go back to once it
    // answers again while another device plays in its place (housekeeping thread only).
    OutputChoice::Backend m_returnTo = OutputChoice::Backend::Automatic;
    std::chrono::steady_clock::time_point m_nextReturnCheck;
    std::chrono::milliseconds m_returnInterval{0};
    // Housekeeping's view of the device: idle once silence has lasted a while.
    bool m_idle = false;
    bool m_deviceChanged = false; // guarded by m_deviceMutex
    std::chrono::steady_clock::time_point m_lastSound;
};
