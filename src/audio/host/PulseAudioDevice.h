// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioDevice.h"

#include <atomic>

struct pa_context;
struct pa_mainloop_api;
struct pa_time_event;
struct timeval;
struct pa_stream;
struct pa_threaded_mainloop;

// A playback stream on a PulseAudio server, or on PipeWire's PulseAudio service, through the
// native protocol. Unlike SDL's PulseAudio back end, which asks the server for a target buffer of
// one period and refills only once all of it has drained, this stream keeps `periods` periods
// queued and is asked for one period whenever one has played. It hears the server's underrun
// reports and can grow its buffer while it plays.
//
// The refills run on the stream's own main-loop thread, which holds the loop's lock while it
// renders; other threads take that lock only to open, resize and close, and to wake a parked
// stream.
//
// Idle, the stream parks: once the engine has been idle and every frame rendered has been
// silent for a second, it leaves the server's next request unanswered. The server plays out what
// it holds, then silence of its own, and asks for nothing more, so the idle program no longer
// wakes at all. A wake (new commands) renders the refill the server asked for at once, from the
// waking thread; the server ends its underrun with it and plays it straight away, with no queued
// silence ahead of it, so the first press after a rest is heard sooner, not later.
class PulseAudioDevice final : public AudioDevice {
public:
    ~PulseAudioDevice() override;
    bool open(int sampleRate, const BufferPlan& plan, RenderCallback render,
              void* context) override;
    void close() override;
    bool lost() const override { return m_lost.load(std::memory_order_acquire); }
    std::uint64_t reportedUnderruns() const override
    {
        return m_underruns.load(std::memory_order_relaxed);
    }
    bool resizeWhilePlaying(const BufferPlan& plan) override;
    void setIdle(bool idle) override;
    void wake() override;
    bool parked() const override { return m_parked.load(std::memory_order_relaxed); }
    // Blocks rendered since the program started (tests and measurements count them).
    std::uint64_t refills() const { return m_refills.load(std::memory_order_relaxed); }
    BufferPlan plan() const override { return m_plan; }
    const char* name() const override { return "pulseaudio"; }
    // The sink's own rate, which the stream takes, so that the server resamples nothing.
    int rate() const override { return m_rate; }

private:
    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void write(pa_stream* stream, std::size_t bytes, void* self);
    static void underflow(pa_stream* stream, void* self);
    static void started(pa_stream* stream, void* self);
    static void timeout(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                        void* self);
    bool waitUntilReady(bool stream);
    // Both with the loop's lock held.
    void refill(pa_stream* stream, std::size_t bytes);
    void considerParking();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    RenderCallback m_render = nullptr;
    void* m_renderContext = nullptr;
    BufferPlan m_plan;
    bool m_priorityRaised = false;
    bool m_playing = false; // the server has begun to play what it was given
    bool m_timedOut = false;
    int m_rate = 44100;
    // Parking (see above). The frame counts belong to whoever holds the loop's lock.
    std::atomic<bool> m_idle{false};
    std::atomic<bool> m_parked{false};
    std::atomic<std::uint64_t> m_wakes{0};
    std::uint64_t m_wakesSeen = 0;
    long long m_silentFrames = 0;
    long long m_framesSinceWake = 0;
    std::atomic<std::uint64_t> m_refills{0};
    std::atomic<bool> m_lost{false};
    std::atomic<std::uint64_t> m_underruns{0};
};
