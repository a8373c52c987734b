// SPDX-License-Identifier: GPL-3.0-or-later
#include "PulseAudioDevice.h"

#include "OutputChoice.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <sys/time.h>

namespace {

constexpr std::uint32_t kFrameBytes = 2 * sizeof(float);
// A server that does not answer within this time counts as none; the program starts on SDL.
constexpr pa_usec_t kConnectTimeoutUs = 1'500'000;

pa_buffer_attr attributesFor(const BufferPlan& plan)
{
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    // With latency adjustment the target length is the whole latency, device included: the
    // server gives part of it to the sound card and keeps the rest queued for us.
    attr.tlength = static_cast<std::uint32_t>(plan.totalFrames()) * kFrameBytes;
    attr.minreq = static_cast<std::uint32_t>(plan.periodFrames) * kFrameBytes;
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

} // namespace

PulseAudioDevice::~PulseAudioDevice()
{
    close();
}

bool PulseAudioDevice::open(int sampleRate, const BufferPlan& plan, RenderCallback render,
                            void* context)
{
    close();
    m_render = render;
    m_renderContext = context;
    m_lost.store(false);
    m_underruns.store(0);
    m_priorityRaised = false;
    m_playing = false;
    m_idle.store(false);
    m_parked.store(false);
    m_wakesSeen = m_wakes.load();
    m_silentFrames = 0;
    m_framesSinceWake = 0;
    m_rate = sampleRate;
    m_plan = plan;

    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        return false;
    pa_threaded_mainloop_set_name(m_loop, "quendel-audio");
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quendel");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "quendel");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "quendel");
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    m_context =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Quendel", properties);
    pa_proplist_free(properties);
    if (!m_context) {
        close();
        return false;
    }
    pa_context_set_state_callback(m_context, &PulseAudioDevice::contextState, this);
    // Never start a server: without one the program plays through SDL at once.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_loop) < 0) {
        close();
        return false;
    }

    pa_threaded_mainloop_lock(m_loop);
    bool ready = waitUntilReady(false);
    if (ready) {
        const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(sampleRate), 2};
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        m_stream = pa_stream_new(m_context, "Quendel", &spec, &map);
        ready = m_stream != nullptr;
    }
    if (ready) {
        pa_stream_set_state_callback(m_stream, &PulseAudioDevice::streamState, this);
        pa_stream_set_write_callback(m_stream, &PulseAudioDevice::write, this);
        pa_stream_set_underflow_callback(m_stream, &PulseAudioDevice::underflow, this);
        pa_stream_set_started_callback(m_stream, &PulseAudioDevice::started, this);
        const pa_buffer_attr attr = attributesFor(plan);
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_FIX_RATE);
        ready =
            pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) == 0 &&
            waitUntilReady(true);
        if (ready)
            if (const pa_sample_spec* granted = pa_stream_get_sample_spec(m_stream))
                m_rate = static_cast<int>(granted->rate);
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (!ready)
        close();
    return ready;
}

bool PulseAudioDevice::waitUntilReady(bool stream)
{
    m_timedOut = false;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    timeval deadline{};
    pa_timeval_add(pa_gettimeofday(&deadline), kConnectTimeoutUs);
    pa_time_event* timer = api->time_new(api, &deadline, &PulseAudioDevice::timeout, this);
    bool ready = false;
    for (;;) {
        if (stream) {
            const pa_stream_state_t state = pa_stream_get_state(m_stream);
            ready = state == PA_STREAM_READY;
            if (ready || !PA_STREAM_IS_GOOD(state))
                break;
        } else {
            const pa_context_state_t state = pa_context_get_state(m_context);
            ready = state == PA_CONTEXT_READY;
            if (ready || !PA_CONTEXT_IS_GOOD(state))
                break;
        }
        if (m_timedOut)
            break;
        pa_threaded_mainloop_wait(m_loop);
    }
    api->time_free(timer);
    return ready;
}

void PulseAudioDevice::close()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_stream) {
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        pa_stream_set_started_callback(m_stream, nullptr, nullptr);
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop); // joins the loop's thread: no refill runs after this
    pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
}

void PulseAudioDevice::setIdle(bool idle)
{
    m_idle.store(idle, std::memory_order_seq_cst);
    // A stream can park under a voice that plays only silence, should the engine's word that it
    // is busy come late (its housekeeping held up by a reopen): the word itself wakes it.
    if (!idle)
        wake();
}

void PulseAudioDevice::wake()
{
    m_wakes.fetch_add(1, std::memory_order_seq_cst);
    if (!m_parked.load(std::memory_order_seq_cst) || !m_loop ||
        pa_threaded_mainloop_in_thread(m_loop))
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_parked.load(std::memory_order_relaxed) && m_stream && !lost()) {
        m_parked.store(false, std::memory_order_relaxed);
        m_silentFrames = 0;
        m_framesSinceWake = 0;
        // The server has drained what it held and waits for the refill it asked for: it gets it
        // now, the new sound at its very start, and plays it as soon as its start level is met
        // (the rest of which it asks for at once).
        const std::size_t writable = pa_stream_writable_size(m_stream);
        if (writable != static_cast<std::size_t>(-1))
            refill(m_stream, writable);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

bool PulseAudioDevice::resizeWhilePlaying(const BufferPlan& plan)
{
    if (!m_loop || !m_stream || lost())
        return false;
    pa_threaded_mainloop_lock(m_loop);
    const pa_buffer_attr attr = attributesFor(plan);
    // The server asks for the added frames at once and plays on from what it holds: no gap.
    pa_operation* operation = pa_stream_set_buffer_attr(m_stream, &attr, nullptr, nullptr);
    if (operation) {
        pa_operation_unref(operation);
        m_plan = plan;
    }
    pa_threaded_mainloop_unlock(m_loop);
    return operation != nullptr;
}

void PulseAudioDevice::contextState(pa_context* context, void* self)
{
    auto* device = static_cast<PulseAudioDevice*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        device->m_lost.store(true, std::memory_order_release);
    pa_threaded_mainloop_signal(device->m_loop, 0);
}

void PulseAudioDevice::streamState(pa_stream* stream, void* self)
{
    auto* device = static_cast<PulseAudioDevice*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        device->m_lost.store(true, std::memory_order_release);
    pa_threaded_mainloop_signal(device->m_loop, 0);
}

void PulseAudioDevice::timeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* self)
{
    auto* device = static_cast<PulseAudioDevice*>(self);
    device->m_timedOut = true;
    pa_threaded_mainloop_signal(device->m_loop, 0);
}

void PulseAudioDevice::started(pa_stream*, void* self)
{
    static_cast<PulseAudioDevice*>(self)->m_playing = true;
}

void PulseAudioDevice::underflow(pa_stream*, void* self)
{
    // A new stream reports an underflow before its first frames arrive; nothing was heard
    // missing then.
    // Nor is the one a parked stream runs into on purpose, which may still be on its way when a
    // wake refills: a gap in silence is not heard, and must not grow the buffer.
    auto* device = static_cast<PulseAudioDevice*>(self);
    const bool sinceWake =
        device->m_framesSinceWake >= 2 * static_cast<long long>(device->m_plan.totalFrames());
    if (device->m_playing && sinceWake && !device->m_parked.load(std::memory_order_relaxed))
        device->m_underruns.fetch_add(1, std::memory_order_relaxed);
}

void PulseAudioDevice::write(pa_stream* stream, std::size_t bytes, void* self)
{
    auto* device = static_cast<PulseAudioDevice*>(self);
    if (!device->m_priorityRaised) {
        device->m_priorityRaised = true;
        RaiseAudioThreadPriority();
    }
    // Parked: the request stays unanswered and the server plays silence of its own, asking for
    // nothing more, until a wake refills.
    if (device->m_parked.load(std::memory_order_relaxed))
        return;
    device->refill(stream, bytes);
    device->considerParking();
}

void PulseAudioDevice::refill(pa_stream* stream, std::size_t bytes)
{
    while (bytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        // Rendering straight into the server's shared memory block spares a copy.
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data)
            return;
        size -= size % kFrameBytes;
        if (size == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        const int frames = static_cast<int>(size / kFrameBytes);
        auto* samples = static_cast<float*>(data);
        m_render(m_renderContext, samples, frames);
        const bool silent =
            std::all_of(samples, samples + 2 * frames, [](float sample) { return sample == 0.0f; });
        m_silentFrames = silent ? m_silentFrames + frames : 0;
        m_framesSinceWake += frames;
        pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE);
        m_refills.fetch_add(1, std::memory_order_relaxed);
        bytes -= size;
    }
}

void PulseAudioDevice::considerParking()
{
    // A wake since the last refill means commands the refill may not have seen: the silence
    // counts afresh from them.
    const std::uint64_t wakes = m_wakes.load(std::memory_order_seq_cst);
    if (wakes != m_wakesSeen) {
        m_wakesSeen = wakes;
        m_silentFrames = 0;
    }
    if (!m_idle.load(std::memory_order_seq_cst) || m_silentFrames < m_rate)
        return;
    m_parked.store(true, std::memory_order_seq_cst);
    // A wake that came between the look above and the park saw the stream refilling and left
    // its commands to this thread: the stream refills on for them.
    if (m_wakes.load(std::memory_order_seq_cst) != m_wakesSeen)
        m_parked.store(false, std::memory_order_seq_cst);
}

bool PulseServerAnswers()
{
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop)
        return false;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Quendel");
    bool answered = false;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        // A server that takes longer than this to greet a client is no place to play live.
        const long long deadline = MonotonicNs() + 500'000'000LL;
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context);
            answered = state == PA_CONTEXT_READY;
            if (answered || !PA_CONTEXT_IS_GOOD(state) || MonotonicNs() >= deadline)
                break;
            // Wakes at least every 50 ms to look at the clock.
            if (pa_mainloop_prepare(loop, 50'000) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0)
                break;
        }
        pa_context_disconnect(context);
    }
    if (context)
        pa_context_unref(context);
    pa_mainloop_free(loop);
    return answered;
}
