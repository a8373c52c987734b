// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackAudioDevice.h"

#include "OutputChoice.h"
#include "io/CaptureTap.h"

#include <algorithm>
#include <jack/jack.h>
#include <mutex>

namespace {

// libjack writes to stderr whenever no server answers; with the engine asking again twice a
// second while a server is away, that would fill the terminal Quendel was started from.
void quiet(const char*) {}

void silenceLibraryMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(&quiet);
        jack_set_info_function(&quiet);
    });
}

} // namespace

JackAudioDevice::~JackAudioDevice()
{
    close();
}

bool JackAudioDevice::open(int, const BufferPlan&, RenderCallback render, void* context)
{
    close();
    if (render == nullptr)
        return false;
    silenceLibraryMessages();
    jack_status_t status{};
    // JackNoStartServer: a missing server fails here at once instead of being started for us.
    m_client = jack_client_open(kClientName, JackNoStartServer, &status);
    if (m_client == nullptr)
        return false;
    m_render = render;
    m_renderContext = context;
    m_lost.store(false);
    m_xruns.store(0);
    m_rate = static_cast<int>(jack_get_sample_rate(m_client));
    m_periodFrames.store(static_cast<int>(jack_get_buffer_size(m_client)));
    m_outputs[0] =
        jack_port_register(m_client, kLeftPort, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    m_outputs[1] =
        jack_port_register(m_client, kRightPort, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    m_midiIn =
        jack_port_register(m_client, kMidiInPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_midiOut =
        jack_port_register(m_client, kMidiOutPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    m_input = jack_port_register(m_client, kInPort, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    m_clickOutputs[0] =
        jack_port_register(m_client, kClickLeftPort, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    m_clickOutputs[1] =
        jack_port_register(m_client, kClickRightPort, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    const bool ported = m_outputs[0] && m_outputs[1] && m_midiIn && m_midiOut && m_input &&
                        m_clickOutputs[0] && m_clickOutputs[1];
    if (!ported || m_rate <= 0 || jack_set_process_callback(m_client, &process, this) != 0 ||
        jack_set_buffer_size_callback(m_client, &bufferSizeChanged, this) != 0 ||
        jack_set_xrun_callback(m_client, &xrun, this) != 0) {
        close();
        return false;
    }
    jack_on_shutdown(m_client, &shutdown, this);
    jack_on_info_shutdown(m_client, &infoShutdown, this);
    m_midi.setConnected(true); // before the first period, so nothing sent early is dropped
    if (jack_activate(m_client) != 0) {
        close();
        return false;
    }
    joinPlaybackPorts();
    return true;
}

void JackAudioDevice::close()
{
    m_midi.setConnected(false);
    if (m_client == nullptr)
        return;
    // Deactivating returns once the process callback has run for the last time. It reads the
    // server's shared memory, which is gone with the server: then there is no callback to wait
    // for, and closing alone frees the client.
    if (!lost())
        jack_deactivate(m_client);
    jack_client_close(m_client);
    m_client = nullptr;
    m_outputs = {};
    m_clickOutputs = {};
    m_midiIn = m_midiOut = m_input = nullptr;
    m_tap.store(nullptr);
    m_clickRender.store(nullptr);
    m_clockOut.store(nullptr);
    m_transport.store(nullptr);
    m_timebaseMaster = false;
}

void JackAudioDevice::followTransportMode()
{
    JackTransportShare* transport = m_transport.load(std::memory_order_acquire);
    if (m_client == nullptr || transport == nullptr)
        return;
    const bool lead = transport->mode() == JackTransportShare::Mode::Lead;
    if (lead && !m_timebaseMaster)
        // Conditional: a master that is already there keeps the transport.
        m_timebaseMaster = jack_set_timebase_callback(m_client, 1, &timebase, this) == 0;
    else if (!lead && m_timebaseMaster && jack_release_timebase(m_client) == 0)
        m_timebaseMaster = false;
}

void JackAudioDevice::rollTransport(bool roll)
{
    if (m_client == nullptr || lost())
        return;
    if (roll) {
        // The grid starts from its first bar line: so does the transport.
        jack_transport_locate(m_client, 0);
        jack_transport_start(m_client);
    } else {
        jack_transport_stop(m_client);
    }
}

bool JackAudioDevice::setCaptureTap(CaptureTap* tap)
{
    m_tap.store(tap, std::memory_order_release);
    return true;
}

int JackAudioDevice::inputLatencyFrames() const
{
    // What the server reports of the way in to our "in" port: nothing while it is connected
    // to no capture port (a program feeding it hands its frames over in the same cycle).
    jack_latency_range_t range{0, 0};
    if (m_client && m_input)
        jack_port_get_latency_range(m_input, JackCaptureLatency, &range);
    return static_cast<int>(range.max);
}

BufferPlan JackAudioDevice::plan() const
{
    return {m_periodFrames.load(std::memory_order_relaxed), 2};
}

int JackAudioDevice::outputLatencyFrames() const
{
    // The server knows the way from our port to the speakers; while the port is not connected to
    // any, the cycle we write and the one it plays out in.
    jack_latency_range_t range{0, 0};
    if (m_client && m_outputs[0])
        jack_port_get_latency_range(m_outputs[0], JackPlaybackLatency, &range);
    return range.max > 0 ? static_cast<int>(range.max) : plan().totalFrames();
}

const char* JackAudioDevice::clientName() const
{
    return m_client ? jack_get_client_name(m_client) : "";
}

void JackAudioDevice::joinPlaybackPorts()
{
    const char** playback = jack_get_ports(m_client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (playback == nullptr)
        return;
    if (playback[0] != nullptr) {
        // A single speaker hears both sides.
        const char* right = playback[1] != nullptr ? playback[1] : playback[0];
        jack_connect(m_client, jack_port_name(m_outputs[0]), playback[0]);
        jack_connect(m_client, jack_port_name(m_outputs[1]), right);
    }
    jack_free(static_cast<void*>(playback));
}

// ---- JACK's threads --------------------------------------------------------------------------

int JackAudioDevice::process(jack_nframes_t frames, void* self)
{
    auto& device = *static_cast<JackAudioDevice*>(self);
    auto* left = static_cast<float*>(jack_port_get_buffer(device.m_outputs[0], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(device.m_outputs[1], frames));
    // MIDI first: a note that arrived is handed on before this period's sound is made.
    void* midiOut = jack_port_get_buffer(device.m_midiOut, frames);
    device.m_midi.process(jack_port_get_buffer(device.m_midiIn, frames), midiOut);
    device.followTransport();
    MidiClockOut* clockOut = device.m_clockOut.load(std::memory_order_acquire);
    if (clockOut)
        clockOut->beginPeriod();
    const int total = static_cast<int>(frames);
    // The tuner's frames are only copied on: its analysis runs on the UI thread.
    if (CaptureTap* tap = device.m_tap.load(std::memory_order_acquire))
        tap->deliver(static_cast<const float*>(jack_port_get_buffer(device.m_input, frames)),
                     total);
    auto* clickLeft = static_cast<float*>(jack_port_get_buffer(device.m_clickOutputs[0], frames));
    auto* clickRight = static_cast<float*>(jack_port_get_buffer(device.m_clickOutputs[1], frames));
    const ClickRenderCallback withClicks = device.m_clickRender.load(std::memory_order_acquire);
    float* scratch = device.m_scratch.data();
    float* clicks = device.m_clickScratch.data();
    for (int offset = 0; offset < total; offset += kScratchFrames) {
        const int chunk = std::min(kScratchFrames, total - offset);
        if (withClicks) {
            withClicks(device.m_renderContext, scratch, clicks, chunk);
        } else {
            device.m_render(device.m_renderContext, scratch, chunk);
            std::fill(clicks, clicks + static_cast<std::ptrdiff_t>(chunk) * 2, 0.0f);
        }
        for (int i = 0; i < chunk; ++i) {
            left[offset + i] = scratch[2 * i];
            right[offset + i] = scratch[2 * i + 1];
            clickLeft[offset + i] = clicks[2 * i];
            clickRight[offset + i] = clicks[2 * i + 1];
        }
    }
    if (clockOut) {
        // After the UI's messages, which went out at the period's first frame.
        device.m_midi.writeTimed(midiOut, clockOut->events(), clockOut->count(), total);
        clockOut->endPeriod();
    }
    return 0;
}

void JackAudioDevice::followTransport()
{
    JackTransportShare* transport = m_transport.load(std::memory_order_acquire);
    if (transport == nullptr || transport->mode() != JackTransportShare::Mode::Follow)
        return;
    jack_position_t position;
    const jack_transport_state_t state = jack_transport_query(m_client, &position);
    const bool tempo = (position.valid & JackPositionBBT) != 0;
    transport->noteTransport(state == JackTransportRolling,
                             tempo ? position.beats_per_minute : 0.0);
}

void JackAudioDevice::timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position,
                               int, void* self)
{
    auto& device = *static_cast<JackAudioDevice*>(self);
    JackTransportShare* transport = device.m_transport.load(std::memory_order_acquire);
    const JackTransportShare::Place place =
        transport ? transport->place() : JackTransportShare::Place{};
    if (!place.valid) {
        position->valid = static_cast<jack_position_bits_t>(position->valid & ~JackPositionBBT);
        return;
    }
    position->valid = static_cast<jack_position_bits_t>(position->valid | JackPositionBBT);
    position->bar = place.bar;
    position->beat = place.beat;
    position->tick = place.tick;
    position->bar_start_tick = place.barStartTick;
    position->beats_per_bar = static_cast<float>(place.beatsPerBar);
    position->beat_type = 4.0f;
    position->ticks_per_beat = JackTransportShare::kTicksPerBeat;
    position->beats_per_minute = place.bpm;
}

int JackAudioDevice::bufferSizeChanged(jack_nframes_t frames, void* self)
{
    static_cast<JackAudioDevice*>(self)->m_periodFrames.store(static_cast<int>(frames),
                                                              std::memory_order_relaxed);
    return 0;
}

int JackAudioDevice::xrun(void* self)
{
    static_cast<JackAudioDevice*>(self)->m_xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void JackAudioDevice::shutdown(void* self)
{
    static_cast<JackAudioDevice*>(self)->serverLost();
}

void JackAudioDevice::infoShutdown(jack_status_t, const char*, void* self)
{
    static_cast<JackAudioDevice*>(self)->serverLost();
}

void JackAudioDevice::serverLost()
{
    // The server ended or threw the client out: no process callback comes any more. Both steps
    // may be taken twice, for a library that reports the end both ways.
    m_midi.setConnected(false);
    m_lost.store(true, std::memory_order_release);
}

bool JackServerAnswers()
{
    silenceLibraryMessages();
    jack_status_t status{};
    jack_client_t* client = jack_client_open("QuendelCheck", JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}
