// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackPortInput.h"

JackPortInput::JackPortInput(CaptureTap& tap) : m_tap(tap) {}

JackPortInput::~JackPortInput()
{
    close();
}

bool JackPortInput::open(Sink sink, void* context)
{
    close();
    m_source = m_tap.source();
    if (sink == nullptr || m_source.rate <= 0)
        return false;
    m_context = context;
    m_tap.attach(sink, context);
    m_open = true;
    return true;
}

void JackPortInput::close()
{
    if (m_open)
        m_tap.detach(m_context);
    m_open = false;
}

bool JackPortInput::lost() const
{
    return m_open && m_tap.source().generation != m_source.generation;
}
