// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioDevice.h"

#include <array>

struct SRC_STATE_tag;

// Plays the engine's sound on a device that runs at another rate. What is loaded was converted
// to the engine's rate when it was opened; should a reopened device come back at another rate
// (a JACK server restarted at 44.1 kHz instead of 48 kHz), the whole mix is converted on its way
// to the device instead, so every pad, stream and tone keeps its pitch.
//
// Made and destroyed while no device calls back; pull() runs on the device's thread and neither
// allocates nor locks (libsamplerate converts in place in its own state).
class RateBridge {
public:
    RateBridge(int fromRate, int toRate, AudioDevice::RenderCallback render, void* context);
    ~RateBridge();
    RateBridge(const RateBridge&) = delete;
    RateBridge& operator=(const RateBridge&) = delete;

    bool valid() const { return m_state != nullptr; }
    // `frames` interleaved stereo frames at the device's rate.
    void pull(float* out, int frames);

private:
    static constexpr int kBlockFrames = 256;
    static long supply(void* self, float** data);

    SRC_STATE_tag* m_state = nullptr;
    double m_ratio = 1.0;
    AudioDevice::RenderCallback m_render;
    void* m_context;
    std::array<float, kBlockFrames * 2> m_block{};
};
