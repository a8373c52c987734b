// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>

// A single-producer single-consumer ring of mono float frames: an input's thread writes what it
// heard, the UI thread reads it. Same ordering as FrameRing: the writer copies the frames and
// then releases m_written; the reader acquires m_written before copying and then releases m_read
// so the writer may reuse those frames. What does not fit is dropped and counted, so the
// reader can tell that the wave it reads has a hole.
class MonoRing {
public:
    explicit MonoRing(std::size_t frames)
        : m_capacity(std::max<std::size_t>(frames, 1)),
          m_data(std::make_unique<float[]>(m_capacity))
    {
    }

    std::size_t capacity() const { return m_capacity; }

    // Writer side: copies what fits of `frames` frames; never blocks.
    void write(const float* src, std::size_t frames)
    {
        const std::size_t written = m_written.load(std::memory_order_relaxed);
        const std::size_t room = m_capacity - (written - m_read.load(std::memory_order_acquire));
        const std::size_t take = std::min(frames, room);
        const std::size_t start = written % m_capacity;
        const std::size_t first = std::min(take, m_capacity - start);
        std::copy_n(src, first, m_data.get() + start);
        std::copy_n(src + first, take - first, m_data.get());
        m_written.store(written + take, std::memory_order_release);
        if (take < frames)
            m_dropped.fetch_add(frames - take, std::memory_order_relaxed);
    }

    // Reader side.
    std::size_t readable() const
    {
        return m_written.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
    }
    std::size_t read(float* dst, std::size_t frames)
    {
        const std::size_t read = m_read.load(std::memory_order_relaxed);
        frames = std::min(frames, readable());
        const std::size_t start = read % m_capacity;
        const std::size_t first = std::min(frames, m_capacity - start);
        std::copy_n(m_data.get() + start, first, dst);
        std::copy_n(m_data.get(), frames - first, dst + first);
        m_read.store(read + frames, std::memory_order_release);
        return frames;
    }
    // Reader side: forgets what waits to be read.
    void skipAll()
    {
        m_read.store(m_written.load(std::memory_order_acquire), std::memory_order_release);
    }
    // Frames that found the ring full, since it was made.
    std::size_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    std::size_t m_capacity;
    std::unique_ptr<float[]> m_data;
    alignas(64) std::atomic<std::size_t> m_written{0};
    alignas(64) std::atomic<std::size_t> m_read{0};
    alignas(64) std::atomic<std::size_t> m_dropped{0};
};
