// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackClockProbe.h"

#include <jack/jack.h>
#include <jack/midiport.h>

bool JackClockProbe::open(const char* name)
{
    close();
    m_count.store(0);
    jack_status_t status{};
    m_client = jack_client_open(name, JackNoStartServer, &status);
    if (m_client == nullptr)
        return false;
    m_name = jack_get_client_name(m_client);
    m_midiIn = jack_port_register(m_client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_xruns.store(0);
    const auto xrun = [](void* self) {
        static_cast<JackClockProbe*>(self)->m_xruns.fetch_add(1);
        return 0;
    };
    if (m_midiIn == nullptr || jack_set_process_callback(m_client, &process, this) != 0 ||
        jack_set_xrun_callback(m_client, xrun, this) != 0 || jack_activate(m_client) != 0) {
        close();
        return false;
    }
    return true;
}

void JackClockProbe::close()
{
    if (m_client == nullptr)
        return;
    jack_deactivate(m_client);
    jack_client_close(m_client);
    m_client = nullptr;
}

int JackClockProbe::process(std::uint32_t frames, void* self)
{
    auto& probe = *static_cast<JackClockProbe*>(self);
    const long long start = jack_last_frame_time(probe.m_client);
    void* in = jack_port_get_buffer(static_cast<jack_port_t*>(probe.m_midiIn), frames);
    for (std::uint32_t i = 0, n = jack_midi_get_event_count(in); i < n; ++i) {
        jack_midi_event_t event;
        const std::size_t slot = probe.m_count.load(std::memory_order_relaxed);
        if (jack_midi_event_get(&event, in, i) != 0 || event.size == 0 || slot >= kMaxHeard)
            continue;
        probe.m_heard[slot] = {start + event.time, event.buffer[0]};
        probe.m_count.store(slot + 1, std::memory_order_release);
    }
    return 0;
}

std::vector<JackClockProbe::Heard> JackClockProbe::heard() const
{
    const std::size_t count = m_count.load(std::memory_order_acquire);
    return {m_heard.begin(), m_heard.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<long long> JackClockProbe::clocks() const
{
    std::vector<long long> frames;
    for (const Heard& heard : heard())
        if (heard.status == 0xF8)
            frames.push_back(heard.frame);
    return frames;
}

bool JackClockProbe::rolling() const
{
    return m_client && jack_transport_query(m_client, nullptr) == JackTransportRolling;
}

double JackClockProbe::transportBpm() const
{
    if (m_client == nullptr)
        return 0.0;
    jack_position_t position;
    jack_transport_query(m_client, &position);
    return (position.valid & JackPositionBBT) ? position.beats_per_minute : 0.0;
}

bool JackClockProbe::leadAt(double bpm)
{
    m_leadBpm.store(bpm);
    return m_client && jack_set_timebase_callback(m_client, 0, &timebase, this) == 0;
}

void JackClockProbe::timebase(jack_transport_state_t, std::uint32_t, jack_position_t* position, int,
                              void* self)
{
    auto& probe = *static_cast<JackClockProbe*>(self);
    position->valid = static_cast<jack_position_bits_t>(position->valid | JackPositionBBT);
    position->bar = 1;
    position->beat = 1;
    position->tick = 0;
    position->bar_start_tick = 0.0;
    position->beats_per_bar = 4.0f;
    position->beat_type = 4.0f;
    position->ticks_per_beat = 1920.0;
    position->beats_per_minute = probe.m_leadBpm.load();
}
