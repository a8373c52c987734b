// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/OpenAudioInput.h"
#include "host/OutputHost.h"
#include "mixer/Mixer.h"
#include "sounds/ReadySounds.h"
#include "sounds/StretchedSounds.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// What plays Quendel's sound: the mixer, and the output host that drives its render from a
// device. The application makes one and hands it to whatever plays (the pads' deck, the tuner,
// the tone generator, the output menu, MIDI); tests make their own, offline or on a device of
// their own.
class AudioEngine {
public:
    struct Options {
        // No device and no housekeeping: the caller pulls audio with mixer().render.
        bool offline = false;
        // Opens a device of the caller's own in place of the machine's.
        OutputHost::DeviceFactory deviceFactory;
    };

    // A ten-minute stereo track at 48 kHz is kept in memory; a longer one plays from disk.
    static constexpr std::size_t kDefaultSampleSizeLimit = 256u * 1024u * 1024u;

    AudioEngine() : AudioEngine(Options{}) {}
    explicit AudioEngine(Options options);
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Starts mixing and opens the output (does nothing when the engine runs). A rate outside
    // 8000..192000 means 44100; a device that imposes its own rate overrides it, and
    // sampleRate() says so.
    void start(int sampleRate);
    // Closes the output and frees every voice; AudioControls forget what they held.
    void stop();
    bool isRunning() const { return m_mixer.isRunning(); }
    int sampleRate() const { return m_mixer.sampleRate(); }
    // Changes at every start; what an AudioControl held under another generation is gone.
    std::uint64_t generation() const { return m_mixer.generation(); }

    Mixer& mixer() { return m_mixer; }
    const Mixer& mixer() const { return m_mixer; }
    OutputHost& host() { return m_host; }
    const OutputHost& host() const { return m_host; }

    // The tuner's input, open and calling `sink`: the machine's best (the output's own JACK
    // client while it plays through JACK, else SDL's capture device), or what the factory set
    // here makes (tests). Null when none opens.
    using InputFactory = std::function<std::unique_ptr<AudioInput>()>;
    void setInputFactory(InputFactory factory) { m_inputFactory = std::move(factory); }
    std::unique_ptr<AudioInput> openInput(AudioInput::Sink sink, void* context);

    // Files whose decoded size would exceed this many bytes open as streams (and are not kept
    // ready).
    void setSampleSizeLimit(std::size_t bytes)
    {
        m_sampleSizeLimit = bytes;
        m_sounds.setSizeLimit(bytes);
    }
    std::size_t sampleSizeLimit() const { return m_sampleSizeLimit; }
    // The pads' sounds, decoded ahead at the engine's rate.
    ReadySounds& sounds() { return m_sounds; }
    // The pads' sounds at the song's tempo and key, rendered ahead from the ready sounds.
    StretchedSounds& stretched() { return m_stretched; }

private:
    Options m_options;
    Mixer m_mixer;
    OutputHost m_host;
    std::size_t m_sampleSizeLimit = kDefaultSampleSizeLimit;
    InputFactory m_inputFactory;
    ReadySounds m_sounds;
    StretchedSounds m_stretched{m_sounds}; // after the sounds it renders from, gone before them
};
