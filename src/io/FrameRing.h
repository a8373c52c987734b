// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>

// A single-producer single-consumer ring of interleaved stereo float frames: a stream's reader
// thread writes decoded audio ahead, the audio thread reads it. Same ordering as SpscQueue: the
// writer copies frames and then releases m_written; the reader acquires m_written before copying
// and then releases m_read so the writer may reuse those frames.
class FrameRing {
public:
    explicit FrameRing(std::size_t frames)
        : m_capacity(std::max<std::size_t>(frames, 1)),
          m_data(std::make_unique<float[]>(m_capacity * 2))
    {
    }

    std::size_t capacity() const { return m_capacity; }

    std::size_t readable() const
    {
        return m_written.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
    }

    // Reader side: every frame read since the ring was made; a stream's play position.
    std::size_t readCount() const { return m_read.load(std::memory_order_relaxed); }

    std::size_t writable() const
    {
        return m_capacity -
               (m_written.load(std::memory_order_relaxed) - m_read.load(std::memory_order_acquire));
    }

    // Writer side: copies up to `frames` frames, returns how many fitted.
    std::size_t write(const float* src, std::size_t frames)
    {
        const std::size_t written = m_written.load(std::memory_order_relaxed);
        frames = std::min(frames, writable());
        copyIn(written % m_capacity, src, frames);
        m_written.store(written + frames, std::memory_order_release);
        return frames;
    }

    // Reader side: copies up to `frames` frames, returns how many there were.
    std::size_t read(float* dst, std::size_t frames)
    {
        const std::size_t read = m_read.load(std::memory_order_relaxed);
        frames = std::min(frames, readable());
        const std::size_t start = read % m_capacity;
        const std::size_t first = std::min(frames, m_capacity - start);
        std::copy_n(m_data.get() + start * 2, first * 2, dst);
        std::copy_n(m_data.get(), (frames - first) * 2, dst + first * 2);
        m_read.store(read + frames, std::memory_order_release);
        return frames;
    }

private:
    void copyIn(std::size_t start, const float* src, std::size_t frames)
    {
        const std::size_t first = std::min(frames, m_capacity - start);
        std::copy_n(src, first * 2, m_data.get() + start * 2);
        std::copy_n(src + first * 2, (frames - first) * 2, m_data.get());
    }

    std::size_t m_capacity;
    std::unique_ptr<float[]> m_data;
    alignas(64) std::atomic<std::size_t> m_written{0};
    alignas(64) std::atomic<std::size_t> m_read{0};
};
