#pragma once

#include "SpscQueue.h"

#include <array>
#include <atomic>
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
class Retired;
class Voice;

// The one process-wide mixer. It plays every AudioControl's voices and the PCM buffers on one
// SDL2 device (float stereo), rendering through one function, `render`, that the device callback
// and the tests call alike.
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

    static constexpr std::size_t kDefaultSampleSizeLimit = 64u * 1024u * 1024u;
    static constexpr int kDefaultPeriodFrames = 256;

    // Starts the engine (does nothing when it runs). A rate outside 8000..192000 means 44100.
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
    void setPeriodFrames(int frames) { m_periodFrames = frames; }
    // Offline render waits for stream read-ahead unless this is off (benchmarks wait themselves).
    void setOfflineStreamWait(bool wait) { m_offlineStreamWait = wait; }
    void waitForStreams(int frames);

    // UI thread: the engine takes the voice, publishes it and keeps it alive until it is stopped
    // and the audio thread has let go of it. Returns the voice for later commands.
    Voice* startVoice(std::unique_ptr<Voice> voice);
    void setGain(Voice* voice, float left, float right);
    // The caller must not use `voice` afterwards.
    void stopVoice(Voice* voice);
    void replacePcm(Voice* voice, std::unique_ptr<PcmBlock> block);
    // Frees what the audio thread handed back.
    void collectGarbage();

private:
    struct Command {
        enum class Type : std::uint8_t { Start, Gain, Stop, Pcm };
        Type type = Type::Start;
        Voice* voice = nullptr;
        PcmBlock* block = nullptr;
        float left = 0.0f;
        float right = 0.0f;
    };

    static constexpr int kMaxVoices = 128;
    static constexpr int kChunkFrames = 1024;

    AudioEngine() = default;
    void queue(const Command& command);
    void publishLocked();
    void collectGarbageLocked();
    void apply(const Command& command);
    void retire(Retired* retired);
    void mixVoice(Voice& voice, float* out, int frames);
    bool openDevice();
    void closeDevice();
    void housekeeping();
    static void deviceCallback(void* self, std::uint8_t* stream, int bytes);

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
    std::array<float, kChunkFrames * 2> m_scratch{};

    // Settings and lifecycle (UI thread).
    bool m_offline = false;
    bool m_offlineStreamWait = true;
    int m_sampleRate = 44100;
    int m_periodFrames = kDefaultPeriodFrames;
    int m_fadeFrames = 176;
    int m_rampFrames = 256;
    std::uint64_t m_generation = 0;
    std::size_t m_sampleSizeLimit = kDefaultSampleSizeLimit;
    std::uint32_t m_device = 0;
    bool m_sdlReady = false;
    std::thread m_housekeeper;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stopHousekeeping = false;
    std::vector<float> m_nowhere;
};
