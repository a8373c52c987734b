// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/host/SdlAudioHandle.h"
#include "io/AudioInput.h"

#include <array>
#include <atomic>
#include <cstdint>

// SDL's default capture device. SDL may give any rate and any channel count the hardware
// prefers (asking for them would make SDL resample, and a tuner wants the wave as it came); the
// callback mixes the channels down to mono in a buffer of its own and hands that on.
class SdlAudioInput final : public AudioInput {
public:
    // What is asked for; a device that prefers something else keeps its own.
    static constexpr int kPreferredRate = 48000;
    static constexpr int kPreferredChannels = 1;
    static constexpr int kPeriodFrames = 512;

    ~SdlAudioInput() override;
    bool open(Sink sink, void* context) override;
    void close() override;
    bool lost() const override;
    int rate() const override { return m_rate; }
    const char* name() const override { return "sdl"; }
    int channels() const { return m_channels; }

private:
    static constexpr int kMonoFrames = 1024;

    static void callback(void* self, unsigned char* stream, int bytes);

    SdlAudioHandle m_device;
    int m_rate = 0;
    int m_channels = 1;
    Sink m_sink = nullptr;
    void* m_context = nullptr;
    std::array<float, kMonoFrames> m_mono{};
};

// Averages interleaved frames of `channels` channels into `mono` (`frames` long). One channel
// is copied as it is. An average, not a sum: a guitar on both sides of a stereo interface must
// not clip on its way to the tuner.
void MixToMono(const float* interleaved, int channels, int frames, float* mono);
