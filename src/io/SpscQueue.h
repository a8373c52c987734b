// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

// A bounded single-producer single-consumer queue of small plain values, lock-free on both sides.
//
// Ordering: the producer writes the items first and then publishes them with one release store
// of m_tail; the consumer loads m_tail with acquire, so every item below that index is fully
// written before it reads it. In the other direction the consumer releases m_head after it has
// copied the items out, and the producer loads m_head with acquire before it reuses those cells.
// Each index is written by one side only, so no read-modify-write is needed. A batch pushed with
// pushAll becomes visible to the consumer all at once (one store), never half of it.
template <typename T, std::size_t Capacity> class SpscQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity: a power of two");

public:
    // Producer side.
    bool push(const T& item) { return pushAll(&item, &item + 1); }

    // Pushes every item of [first, last) or none of them.
    template <typename It> bool pushAll(It first, It last)
    {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        const std::size_t head = m_head.load(std::memory_order_acquire);
        const auto count = static_cast<std::size_t>(last - first);
        if (Capacity - (tail - head) < count)
            return false;
        std::size_t index = tail;
        for (It it = first; it != last; ++it)
            m_items[index++ & (Capacity - 1)] = *it;
        m_tail.store(tail + count, std::memory_order_release);
        return true;
    }

    // Consumer side.
    bool pop(T& item)
    {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire))
            return false;
        item = m_items[head & (Capacity - 1)];
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }

    static constexpr std::size_t capacity() { return Capacity; }

private:
    std::array<T, Capacity> m_items{};
    alignas(64) std::atomic<std::size_t> m_head{0}; // next cell to read; written by the consumer
    alignas(64) std::atomic<std::size_t> m_tail{0}; // next cell to write; written by the producer
};
