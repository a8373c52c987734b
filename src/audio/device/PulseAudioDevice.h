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
// renders; other threads take that lock only to open, resize and close.
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
    void setSparseRefills(bool sparse) override;
    BufferPlan plan() const override { return m_plan; }
    const char* name() const override { return "pulseaudio"; }

private:
    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void write(pa_stream* stream, std::size_t bytes, void* self);
    static void underflow(pa_stream* stream, void* self);
    static void started(pa_stream* stream, void* self);
    static void timeout(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                        void* self);
    bool waitUntilReady(bool stream);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    RenderCallback m_render = nullptr;
    void* m_renderContext = nullptr;
    BufferPlan m_plan;
    bool m_priorityRaised = false;
    bool m_playing = false; // the server has begun to play what it was given
    bool m_timedOut = false;
    bool m_sparse = false; // refills of half the buffer while only silence plays
    std::atomic<bool> m_lost{false};
    std::atomic<std::uint64_t> m_underruns{0};
};
