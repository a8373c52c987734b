// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/MidiTransport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

// Holds a MidiTransport's receiver so that the thread MIDI arrives on (JACK's process thread)
// can call it without a lock, while the UI thread may replace it at any time.
//
// Ordering: deliver() counts itself in before it loads the receiver, and set() swaps the
// receiver before it looks at the count; all four are sequentially consistent. So either a
// delivery sees the new receiver, or set() sees the delivery in progress and waits for it to
// finish before it frees the old one. set() must not be called from within the receiver.
class MidiReceiverSlot {
public:
    MidiReceiverSlot() = default;
    ~MidiReceiverSlot() { delete m_current.load(); }
    MidiReceiverSlot(const MidiReceiverSlot&) = delete;
    MidiReceiverSlot& operator=(const MidiReceiverSlot&) = delete;

    // UI thread. An empty function stops delivery.
    void set(MidiTransport::Receiver receiver)
    {
        auto* next = receiver ? new MidiTransport::Receiver(std::move(receiver)) : nullptr;
        MidiTransport::Receiver* old = m_current.exchange(next);
        while (m_inCall.load() != 0)
            std::this_thread::yield(); // a delivery takes microseconds
        delete old;
    }

    // Any thread; neither locks nor allocates.
    void deliver(const std::uint8_t* bytes, std::size_t size)
    {
        m_inCall.fetch_add(1);
        if (MidiTransport::Receiver* receiver = m_current.load())
            (*receiver)(bytes, size);
        m_inCall.fetch_sub(1);
    }

private:
    std::atomic<MidiTransport::Receiver*> m_current{nullptr};
    std::atomic<int> m_inCall{0};
};
