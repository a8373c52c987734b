// SPDX-License-Identifier: GPL-3.0-or-later
#include "DirectSound.h"

#include "AudioEngine.h"
#include "audio/mixer/Voice.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kMaxBufferBytes = 64 * 1024 * 1024;

// 8-bit unsigned PCM on the engine: the bytes as written (128 is zero), a voice while it plays.
class PcmBuffer final : public DirectSoundBuffer {
public:
    PcmBuffer(AudioEngine& engine, int bytes, int rate)
        : m_engine(engine), m_bytes(static_cast<std::size_t>(bytes), 128), m_rate(rate)
    {
    }

    ~PcmBuffer() override
    {
        // Dropping the last reference silences the buffer (the engine fades it out).
        if (sounding())
            m_engine.mixer().stopVoice(m_voice);
    }

    void WriteBuffer(int start, int size, const std::uint8_t* block, int flags) override
    {
        if (!block)
            return;
        const int length = bufferBytes();
        if (flags & DSBLOCK_ENTIREBUFFER) {
            start = 0;
            size = length;
        }
        start = std::clamp(start, 0, length);
        size = std::clamp(size, 0, length - start);
        std::copy_n(block, size, m_bytes.begin() + start);
        // In place: a sounding buffer keeps its play position and crossfades to the new content.
        if (sounding())
            m_engine.mixer().replacePcm(m_voice, makeBlock());
    }

    void Play(int flags) override
    {
        if (!m_engine.isRunning())
            return; // created while the engine is stopped: it exists but does not sound
        if (sounding()) {
            if (!m_voice->finished())
                return; // already playing: it carries on
            m_engine.mixer().stopVoice(m_voice);
        }
        const double step = static_cast<double>(m_rate) / m_engine.sampleRate();
        m_voice = m_engine.mixer().startVoice(
            std::make_unique<PcmVoice>(makeBlock(), step, (flags & DSBPLAY_LOOPING) != 0));
        m_generation = m_engine.generation();
    }

    int bufferBytes() const override { return static_cast<int>(m_bytes.size()); }

private:
    bool sounding() const
    {
        return m_voice && m_engine.isRunning() && m_generation == m_engine.generation();
    }

    std::unique_ptr<PcmBlock> makeBlock() const
    {
        auto block = std::make_unique<PcmBlock>();
        block->samples.resize(m_bytes.size());
        std::transform(
            m_bytes.begin(), m_bytes.end(), block->samples.begin(),
            [](std::uint8_t byte) { return (static_cast<float>(byte) - 128.0f) / 128.0f; });
        return block;
    }

    AudioEngine& m_engine;
    std::vector<std::uint8_t> m_bytes;
    int m_rate;
    Voice* m_voice = nullptr;
    std::uint64_t m_generation = 0;
};

} // namespace

void DirectSound::SetCooperativeLevel(std::uintptr_t, int)
{
    // The engine always shares the device with other programs; nothing to choose.
}

std::shared_ptr<DirectSoundBuffer> DirectSound::CreateSoundBuffer(const DSBUFFERDESC& desc,
                                                                  const WAVEFORMATEX& format)
{
    if (desc.lBufferBytes <= 0 || desc.lBufferBytes > kMaxBufferBytes)
        return nullptr;
    if (format.nFormatTag != WAVE_FORMAT_PCM || format.nChannels != 1 ||
        format.nBitsPerSample != 8 || format.lSamplesPerSec < 1000 ||
        format.lSamplesPerSec > 192000)
        return nullptr;
    return std::make_shared<PcmBuffer>(m_engine, desc.lBufferBytes, format.lSamplesPerSec);
}

std::shared_ptr<DirectSound> DirectX7::DirectSoundCreate(const char*)
{
    return std::make_shared<DirectSound>(m_engine);
}
