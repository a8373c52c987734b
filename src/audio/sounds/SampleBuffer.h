// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>

// A decoded sound in memory: interleaved stereo float frames at the engine's rate. Immutable once
// handed to the audio thread; the last reference is always dropped on the UI thread.
class SampleBuffer {
public:
    SampleBuffer() = default;
    SampleBuffer(std::unique_ptr<float[]> data, std::size_t frames)
        : m_data(std::move(data)), m_frames(frames)
    {
    }

    const float* data() const { return m_data.get(); }
    std::size_t frames() const { return m_frames; }
    std::size_t bytesHeld() const { return m_frames * 2 * sizeof(float); }

private:
    std::unique_ptr<float[]> m_data;
    std::size_t m_frames = 0;
};
