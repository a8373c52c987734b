// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureTap.h"

#include <thread>

void CaptureTap::deliver(const float* mono, int frames)
{
    m_delivering.fetch_add(1);
    if (const Listener* listener = m_listener.load())
        listener->sink(listener->context, mono, frames);
    m_delivering.fetch_sub(1);
}

void CaptureTap::setSource(int rate)
{
    const std::uint64_t generation = (m_source.load() >> 32) + 1;
    const auto clampedRate = static_cast<std::uint32_t>(rate > 0 ? rate : 0);
    m_source.store((generation << 32) | clampedRate);
}

CaptureTap::Source CaptureTap::source() const
{
    const std::uint64_t value = m_source.load();
    return {static_cast<int>(value & 0xffffffffu), static_cast<std::uint32_t>(value >> 32)};
}

void CaptureTap::attach(AudioInput::Sink sink, void* context)
{
    withdraw();
    if (sink == nullptr)
        return;
    m_slot = {sink, context};
    m_listener.store(&m_slot);
}

void CaptureTap::detach(void* context)
{
    const Listener* listener = m_listener.load();
    if (listener != nullptr && listener->context == context)
        withdraw();
}

void CaptureTap::withdraw()
{
    m_listener.store(nullptr);
    // A delivery takes as long as one copy into the listener's ring: yielding beats sleeping.
    while (m_delivering.load() != 0)
        std::this_thread::yield();
}
