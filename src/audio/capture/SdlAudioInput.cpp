// SPDX-License-Identifier: GPL-3.0-or-later
#include "SdlAudioInput.h"

#include <SDL.h>
#include <algorithm>

SdlAudioInput::~SdlAudioInput()
{
    close();
}

bool SdlAudioInput::open(Sink sink, void* context)
{
    close();
    if (sink == nullptr)
        return false;
    m_sink = sink;
    m_context = context;

    SDL_AudioSpec want{};
    want.freq = kPreferredRate;
    want.format = AUDIO_F32SYS;
    want.channels = kPreferredChannels;
    want.samples = kPeriodFrames;
    want.callback = &SdlAudioInput::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    if (!m_device.open(nullptr, true, want, have,
                       SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) ||
        have.channels < 1 || have.freq <= 0) {
        close();
        return false;
    }
    m_rate = have.freq;
    m_channels = have.channels;
    m_device.start();
    return true;
}

void SdlAudioInput::close()
{
    m_device.close();
    m_rate = 0;
}

bool SdlAudioInput::lost() const
{
    return m_device.lost();
}

void SdlAudioInput::callback(void* self, unsigned char* stream, int bytes)
{
    auto& input = *static_cast<SdlAudioInput*>(self);
    const auto* samples = reinterpret_cast<const float*>(stream);
    const int channels = input.m_channels;
    const int total = bytes / static_cast<int>(sizeof(float) * static_cast<unsigned>(channels));
    for (int offset = 0; offset < total; offset += kMonoFrames) {
        const int chunk = std::min(kMonoFrames, total - offset);
        MixToMono(samples + static_cast<long>(offset) * channels, channels, chunk,
                  input.m_mono.data());
        input.m_sink(input.m_context, input.m_mono.data(), chunk);
    }
}

void MixToMono(const float* interleaved, int channels, int frames, float* mono)
{
    if (channels <= 1) {
        std::copy_n(interleaved, std::max(frames, 0), mono);
        return;
    }
    const float scale = 1.0f / static_cast<float>(channels);
    for (int i = 0; i < frames; ++i) {
        const float* frame = interleaved + static_cast<long>(i) * channels;
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c)
            sum += frame[c];
        mono[i] = sum * scale;
    }
}
