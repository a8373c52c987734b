// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BeatGrid.h"
#include "GridBlock.h"
#include "Metronome.h"
#include "TakeRecorder.h"
#include "io/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

class ClickSound;
class PcmBlock;
class Retired;
class SharedTimeline;
class Voice;

// The mixer: voices, the commands that start, change and stop them, and the one render function
// that a device's thread and the tests call alike. It knows no device: whatever drives render
// (an output host, a test rendering offline) decides when and where the frames go.
//
// Threads: the UI thread queues commands; the audio thread (whoever calls render) applies them
// at the top of each block. Commands travel through a lock-free SPSC queue; what the audio thread
// no longer needs (voices, PCM blocks) comes back through a second SPSC queue and is freed on the
// UI thread or the host's housekeeping thread, never in render.
//
// A session tempo, when one is set, makes a beat grid (see BeatGrid) that counts from the first
// frame of the loop that set it going: switches may wait for its next beat or bar line, a tempo
// change waits for its next bar line, and the metronome clicks on its lines. Without a tempo
// none of it exists and the mix is what it was without one, to the bit.
//
// Playing with others, the grid follows a shared timeline (see SharedTimeline): a loop started
// from silence waits for the timeline's next bar line, and the grid's lines are kept on the
// timeline's beats. Without a timeline the grid keeps its own time.
class Mixer {
public:
    static constexpr int kMaxVoices = 128;
    // Volume and pan changes glide over this many frames.
    static constexpr int kGainRampFrames = 256;
    // Render mixes in chunks of at most this many frames.
    static constexpr int kChunkFrames = 1024;
    // How many commands can wait for the audio thread at once; a larger batch goes over in parts
    // as the audio thread drains the queue.
    static constexpr std::size_t kCommandQueueSize = 4096;
    static constexpr std::size_t kReturnQueueSize = 8192;
    // A tempo change's crossfade between the loop at the old tempo and the one at the new.
    static constexpr double kSwapFadeSeconds = 0.005;

    // Where a voice queued behind another starts: after the other's current cycle, or on the
    // next line of the beat grid (the first at or after the frame the command reaches the audio
    // thread; a line right on that frame counts). Without a grid, Beat and Bar wait for the
    // cycle end.
    enum class SwitchAt { CycleEnd, Beat, Bar };

    Mixer() = default;
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Starts mixing at `sampleRate`. Offline, render runs on the UI thread: it publishes the
    // pending commands itself and waits (bounded) for playing streams to be decoded ahead.
    void start(int sampleRate, bool offline);
    // Frees every voice. The caller makes sure render no longer runs.
    void stop();
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    int sampleRate() const { return m_sampleRate; }
    // Before anything is loaded, the host may adopt the rate its device imposes.
    void setSampleRate(int sampleRate);
    // Changes at every start; what a control held under another generation is gone.
    std::uint64_t generation() const { return m_generation; }

    // Mixes `frames` stereo frames into `interleavedStereo` (overwriting it). With
    // `clickStereo`, the metronome's clicks are written there too (overwriting it; silence when
    // none sounds), for a device with an output of their own; they go into the main mix only
    // while setClickInMix is on.
    void render(float* interleavedStereo, int frames, float* clickStereo = nullptr);

    // Publishes the UI thread's pending commands now (and frees what the audio thread returned).
    void commitPending();
    // Called once when the first command of a new batch is queued; the batch is published at the
    // next commitPending. Without a scheduler every command is published at once.
    void setCommitScheduler(std::function<void()> schedule);
    // Told (outside the mixer's lock) whenever a batch went over to the audio thread, so a
    // device that rests while nothing sounds renders again.
    void setPublishListener(std::function<void()> listener);
    // For the thread that frees what render returned while no UI event does: publishes a batch
    // that found the queue full (with a scheduler, which decides when a batch is whole, only the
    // rest of one already committed) and frees the returned garbage. True while there is no
    // scheduler or such a rest waits: the caller is then the one that publishes, and should look
    // often.
    bool serviceQueues();

    // UI thread: the mixer takes the voice, publishes it and keeps it alive until it is stopped
    // and the audio thread has let go of it. Returns the voice for later commands.
    Voice* startVoice(std::unique_ptr<Voice> voice);
    // UI thread: like startVoice, but the voice starts on the frame after `after` ends its
    // current cycle, or on the grid line `at` names (at once when `after` no longer plays);
    // `after` then ends on the frame before, with no fade. A voice queued behind `after` before
    // is withdrawn: it never starts, and shows finished so that its owner stops (frees) it.
    // A loop that follows another at its cycle end carries on the other's fraction of a frame,
    // so its cycles end on the same bar lines.
    Voice* startVoiceAfter(std::unique_ptr<Voice> voice, Voice* after,
                           SwitchAt at = SwitchAt::CycleEnd);
    // UI thread: a tempo change under a playing loop. At the grid's next bar line the beat
    // becomes `beatFrames` and `voice` (the loop rendered at the new tempo) takes over from
    // `playing` by a short crossfade of constant power, from as far through its cycle as
    // `playing` was; the grid goes on from that bar line at the new beat. `playing` then shows
    // finished, for its owner to stop. Without a grid all of it happens at once.
    Voice* swapAtBar(std::unique_ptr<Voice> voice, Voice* playing, double beatFrames);

    // UI thread: the session tempo, as frames per beat (0: none, the grid stops). A new beat
    // length takes over at the running grid's next bar line; without a running grid at once.
    void setTempo(double beatFrames, int beatsPerBar = 4);
    // UI thread: clicks on every line of the grid at `level` (0..1), the bar's first louder and
    // higher. Switched on while nothing plays, the grid counts from here.
    void setMetronome(bool on, float level);
    // UI thread: a voice that anchors the grid, started from silence under a tempo, waits a bar
    // of clicks (metronome on or not) and then starts on the bar line.
    void setCountIn(bool on);
    // UI thread: whether the clicks are in the main mix as well (on by default).
    void setClickInMix(bool on);
    // UI thread: the grid follows `timeline` from the next block on (null: its own time again).
    // The mixer owns it, over stops and starts, and frees the one it replaces off the audio
    // thread.
    void setTimeline(std::unique_ptr<SharedTimeline> timeline);
    // A grid further off the timeline than this is put back on it.
    static constexpr double kTimelineToleranceSeconds = 0.001;
    // UI thread, as of the last block rendered: the beat in force (the asked one while no grid
    // runs; 0 without a tempo), and how many frames the next bar line lies ahead (-1: no grid).
    double beatFrames() const { return m_shownBeat.load(std::memory_order_relaxed); }
    std::int64_t framesToNextBar() const { return m_shownToBar.load(std::memory_order_relaxed); }
    // Frames render has produced since the start.
    std::int64_t framesRendered() const { return m_shownFrame.load(std::memory_order_relaxed); }
    // The thread that renders, after a render: where the grid stood over that block.
    const GridBlock& gridBlock() const { return m_block; }

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

    // ---- Recording from the input ---------------------------------------------------------
    // What the input hears reaches the mixer through recorder() (its Hear is the input's sink).
    struct TakeRequest {
        // Whole bars from the first bar line the take starts on; 0: until endTake.
        int bars = 0;
        // A bar of clicks before the take starts.
        bool countIn = false;
        // Frames from a frame of the mix to the input hearing what was played in time with it.
        std::int64_t roundTrip = 0;
        // Where the take's frames go, for the disk writer.
        MonoRing* target = nullptr;
        // An overdub: the take is the next cycle of this loop, `overFrames` long.
        const Voice* over = nullptr;
        std::int64_t overFrames = 0;
    };
    // UI thread: a take. Under a tempo it starts on the grid's next bar line (after a bar of
    // count-in), the grid starting here when none runs; without one it starts at once. An
    // overdub starts where the loop's next cycle does (cancelled when the loop no longer plays).
    void recordTake(const TakeRequest& request);
    // UI thread: an open take ends on the next bar line (at once without a grid), or, with `at`,
    // before that frame of the mix.
    void endTake(std::int64_t at = -1);
    void cancelTake();
    // UI thread: sends a click and listens for it coming back (recorder().progress() tells).
    void measureRoundTrip();
    TakeRecorder& recorder() { return m_recorder; }
    const TakeRecorder& recorder() const { return m_recorder; }

    // Offline render waits for stream read-ahead unless this is off (benchmarks wait themselves).
    void setOfflineStreamWait(bool wait) { m_offlineStreamWait = wait; }
    void waitForStreams(int frames);
    // Voices the last rendered block mixed; a take or monitoring under way counts as one, so a
    // device that rests while nothing sounds goes on reading the input.
    int soundingVoices() const { return m_soundingVoices.load(std::memory_order_relaxed); }
    // Objects the audio thread could not hand back because the return queue was full.
    std::size_t lostRetired() const { return m_lostRetired.load(std::memory_order_relaxed); }

private:
    struct Command {
        enum class Type : std::uint8_t {
            Start,
            StartAfter,
            EndAtCycleEnd,
            Gain,
            Stop,
            Pcm,
            Swap,
            Tempo,
            Metronome,
            CountIn,
            ClickInMix,
            Click,
            Timeline,
            Take,
            EndTake,
            CancelTake,
            MeasureRoundTrip
        };
        Type type = Type::Start;
        Voice* voice = nullptr;
        PcmBlock* block = nullptr;
        float left = 0.0f;
        float right = 0.0f;
        Voice* after = nullptr;           // StartAfter: the voice whose cycle end starts this one
        bool end = false;                 // EndAtCycleEnd; on/off of Metronome, CountIn, ClickInMix
        SwitchAt at = SwitchAt::CycleEnd; // StartAfter
        double beat = 0.0;                // Swap, Tempo: frames per beat
        int beatsPerBar = 4;              // Tempo
        ClickSound* click = nullptr;      // Click
        SharedTimeline* timeline = nullptr; // Timeline
        TakeRequest take{};                 // Take
        std::int64_t endBefore = -1;        // EndTake: the frame it ends before (-1: a bar line)
    };

    static Voice* playingSuccessorOf(Voice* voice);
    static bool loopsOn(const Voice* voice);

    void queue(const Command& command);
    Voice* adopt(std::unique_ptr<Voice> voice);
    // True when commands went over to the audio thread.
    bool publishLocked();
    void announcePublished();
    void collectGarbageLocked();
    void apply(const Command& command);
    void startNow(Voice* voice);
    void withdrawSuccessor(Voice& voice);
    void retire(Retired* retired);
    void mixVoice(int index, float* out, int frames);
    void addToMix(Voice& voice, const float* source, float* out, long frames);
    void handOver(int index, float* out, int frames);

    // The grid and the metronome (MixerGrid.cpp).
    void makeClicks();
    void applyTimed(const Command& command);
    void startPlain(Voice* voice);
    bool startOnGrid(Voice* voice, Voice* after, SwitchAt at);
    bool silent() const;
    void schedule(Voice* voice, std::int64_t frame);
    void unschedule(Voice* voice);
    void startScheduled(Voice* voice, std::uint32_t phase);
    void crossfadeIn(Voice* voice, Voice* playing);
    void stopGrid();
    void restartGrid();
    void mixChunk(float* out, float* click, int frames);
    void reachLine();
    void beginBlock(int frames);
    void readBlockStart();
    void resetTime();
    void showTime();

    // Recording (MixerTakes.cpp).
    void applyTake(const Command& command);
    void beginTake(const TakeRequest& request);
    // The line `bars` bar lines after the grid's next one (0: the next bar line itself).
    std::int64_t barLineAfter(int bars) const;

    // The shared timeline (MixerTimeline.cpp).
    void readTimeline();
    void keepGridOnTimeline();
    // Starts the grid on the timeline's first line at or after beat `earliest`; returns that line.
    double alignGridToTimeline(double earliest);
    void startOnSharedBar(Voice* voice);

    // UI side (guarded by m_mutex; the host's housekeeping thread shares it).
    std::mutex m_mutex;
    std::vector<Command> m_pending;
    std::unordered_set<Voice*> m_live;
    std::function<void()> m_scheduler;
    std::function<void()> m_publishListener;
    bool m_batchScheduled = false;

    // Between the threads.
    SpscQueue<Command, kCommandQueueSize> m_commands;
    SpscQueue<Retired*, kReturnQueueSize> m_garbage;
    std::atomic<bool> m_running{false};
    std::atomic<std::size_t> m_lostRetired{0};
    std::atomic<int> m_soundingVoices{0};

    // Audio thread only.
    std::array<Voice*, kMaxVoices> m_voices{};
    int m_voiceCount = 0;
    // Voices waiting for another's cycle end; each holds a place in m_voices for its start.
    int m_waiting = 0;
    std::array<float, kChunkFrames * 2> m_scratch{};
    std::array<float, kChunkFrames * 2> m_clickScratch{};
    // Frames rendered since the start: the clock the grid's lines are counted on.
    std::int64_t m_frame = 0;
    BeatGrid m_grid;
    double m_tempoBeat = 0.0; // the tempo asked for (the grid's coming beat while it runs)
    int m_tempoBeatsPerBar = 4;
    Metronome m_metronome;
    bool m_metronomeOn = false;
    float m_clickLevel = 0.7f;
    bool m_countIn = false;
    bool m_clickInMix = true;
    std::int64_t m_countInEnd = -1; // the count-in's clicks sound on the lines before this frame
    // Voices waiting for a frame of the grid to start on (a count-in's loop, a tempo change's),
    // each holding a place in m_voices through m_waiting.
    std::array<Voice*, kMaxVoices> m_scheduled{};
    int m_scheduledCount = 0;
    SharedTimeline* m_timeline = nullptr; // (the UI thread's while nothing renders)
    bool m_onTimeline = false;            // the timeline answered for this block
    double m_timelineBeat = 0.0;          // its beat at this block's first frame
    double m_timelineBeatFrames = 0.0;
    GridBlock m_block;
    TakeRecorder m_recorder;
    bool m_keepingTime = false; // as the last block's read-out said
    std::atomic<double> m_shownBeat{0.0};
    std::atomic<std::int64_t> m_shownToBar{-1};
    std::atomic<std::int64_t> m_shownFrame{0};

    // Settings of the run (UI thread).
    bool m_offline = false;
    bool m_offlineStreamWait = true;
    int m_sampleRate = 44100;
    int m_fadeFrames = 176;
    std::uint64_t m_generation = 0;
};
