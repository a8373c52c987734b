// SPDX-License-Identifier: GPL-3.0-or-later
#include "OfflineAudioInput.h"

bool OfflineAudioInput::open(Sink sink, void* context)
{
    close();
    if (m_failing || sink == nullptr)
        return false;
    m_sink = sink;
    m_context = context;
    m_open = true;
    return true;
}

void OfflineAudioInput::close()
{
    m_open = false;
    m_sink = nullptr;
}

void OfflineAudioInput::feed(const float* mono, int frames)
{
    if (m_open && !m_lost && frames > 0)
        m_sink(m_context, mono, frames);
}
