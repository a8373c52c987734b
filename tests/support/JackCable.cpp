// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackCable.h"

#include <jack/jack.h>

#include <algorithm>
#include <cerrno>

JackCable::~JackCable()
{
    if (m_client)
        jack_client_close(m_client);
}

bool JackCable::open(const char* from, const char* to)
{
    m_client = jack_client_open("Cable", JackNoStartServer, nullptr);
    if (!m_client)
        return false;
    m_in = jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    m_out = jack_port_register(m_client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(m_client, &JackCable::process, this);
    if (!m_in || !m_out || jack_activate(m_client) != 0)
        return false;
    const auto joined = [](int result) { return result == 0 || result == EEXIST; };
    return joined(jack_connect(m_client, from, jack_port_name(m_in))) &&
           joined(jack_connect(m_client, jack_port_name(m_out), to));
}

int JackCable::process(jack_nframes_t frames, void* self)
{
    auto& cable = *static_cast<JackCable*>(self);
    const auto* in = static_cast<const float*>(jack_port_get_buffer(cable.m_in, frames));
    auto* out = static_cast<float*>(jack_port_get_buffer(cable.m_out, frames));
    std::copy_n(in, frames, out);
    return 0;
}
