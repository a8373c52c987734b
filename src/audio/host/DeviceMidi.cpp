// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceMidi.h"

void DeviceMidi::send(const std::uint8_t* bytes, std::size_t size)
{
    std::lock_guard lock(m_mutex);
    if (m_ports)
        m_ports->send(bytes, size);
}

bool DeviceMidi::connected() const
{
    std::lock_guard lock(m_mutex);
    return m_ports && m_ports->connected();
}

void DeviceMidi::attach(MidiTransport* ports)
{
    detach();
    if (ports == nullptr)
        return;
    // The device's ports call on into whatever receiver the pads have set here, now or later.
    ports->setReceiver(
        [this](const std::uint8_t* bytes, std::size_t size) { m_receiver.deliver(bytes, size); });
    std::lock_guard lock(m_mutex);
    m_ports = ports;
}

void DeviceMidi::detach()
{
    MidiTransport* ports = nullptr;
    {
        std::lock_guard lock(m_mutex);
        ports = m_ports;
        m_ports = nullptr;
    }
    if (ports)
        ports->setReceiver({});
}
