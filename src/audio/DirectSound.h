// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

// A looping PCM buffer on the engine it is given, offering the six operations the tone generator
// uses. A buffer sounds from Play until its last reference is dropped.

inline constexpr int DSSCL_NORMAL = 1;
inline constexpr int DSBCAPS_STATIC = 2;
inline constexpr int DSBLOCK_ENTIREBUFFER = 2;
inline constexpr int DSBPLAY_LOOPING = 1;
inline constexpr int WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    int nFormatTag = WAVE_FORMAT_PCM;
    int nChannels = 1;
    int lSamplesPerSec = 44100;
    int nBlockAlign = 1;
    int nBitsPerSample = 8;
    int lAvgBytesPerSec = 44100;
};

struct DSBUFFERDESC {
    int lFlags = 0;
    int lBufferBytes = 0;
};

class AudioEngine;
class DirectSoundBuffer;

class DirectSound {
public:
    explicit DirectSound(AudioEngine& engine) : m_engine(engine) {}
    void SetCooperativeLevel(std::uintptr_t windowHandle, int level);
    // A buffer of exactly desc.lBufferBytes bytes in the given format (8-bit unsigned mono PCM
    // at 44100 Hz, 128 = zero). nullptr when the description or format is unusable.
    std::shared_ptr<DirectSoundBuffer> CreateSoundBuffer(const DSBUFFERDESC& desc,
                                                         const WAVEFORMATEX& format);

private:
    AudioEngine& m_engine;
};

class DirectX7 {
public:
    explicit DirectX7(AudioEngine& engine) : m_engine(engine) {}
    // The default device ("" names it).
    std::shared_ptr<DirectSound> DirectSoundCreate(const char* deviceGuid);

private:
    AudioEngine& m_engine;
};

class DirectSoundBuffer {
public:
    virtual ~DirectSoundBuffer() = default;
    // Overwrites the whole buffer with the block (start and size are ignored with
    // DSBLOCK_ENTIREBUFFER); a playing buffer carries on from its play position.
    virtual void WriteBuffer(int start, int size, const std::uint8_t* block, int flags) = 0;
    virtual void Play(int flags) = 0;
    virtual int bufferBytes() const = 0;
};
