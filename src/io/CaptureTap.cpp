// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureTap.h"

#include <algorithm>
#include <thread>

void CaptureTap::deliver(const float* mono, int frames)
{
    m_delivering.fetch_add(1);
    for (const auto& place : m_listeners)
        if (const Listener* listener = place.load())
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
    int place = -1;
    for (int i = 0; i < kListeners && place < 0; ++i) {
        const Listener* listener = m_listeners[i].load();
        if (listener != nullptr && listener->context == context)
            place = i;
    }
    for (int i = 0; i < kListeners && place < 0; ++i)
        if (m_listeners[i].load() == nullptr)
            place = i;
    place = std::max(place, 0);
    withdraw(place);
    if (sink == nullptr)
        return;
    m_slots[place] = {sink, context};
    m_listeners[place].store(&m_slots[place]);
}

void CaptureTap::detach(void* context)
{
    for (int i = 0; i < kListeners; ++i) {
        const Listener* listener = m_listeners[i].load();
        if (listener != nullptr && listener->context == context)
            withdraw(i);
    }
}

void CaptureTap::withdraw(int place)
{
    m_listeners[place].store(nullptr);
    // A delivery takes as long as one copy into the listener's ring: yielding beats sleeping.
    while (m_delivering.load() != 0)
        std::this_thread::yield();
}
