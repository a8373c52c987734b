#pragma once

#include "FrameRing.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

class SampleBuffer;
class StreamDecoder;

// Anything the audio thread hands back to the UI thread to be freed.
class Retired {
public:
    virtual ~Retired() = default;
    virtual bool isVoice() const { return false; }
};

// One content of a looping PCM buffer, as float samples (mono) at the buffer's own rate.
class PcmBlock : public Retired {
public:
    std::vector<float> samples;
};

// Something the mixer plays. The UI thread creates it and sets its starting gains, the engine
// publishes it, and from then on only the audio thread touches the mixing fields below until it
// retires the voice; the UI thread reads only `finished`.
class Voice : public Retired {
public:
    enum class Kind { Sample, Stream, Pcm };

    explicit Voice(Kind kind) : m_kind(kind) {}
    bool isVoice() const override { return true; }
    Kind kind() const { return m_kind; }

    // Audio thread: writes up to `frames` stereo frames to `out`; fewer means the voice has
    // played its last frame (and then it marks itself finished).
    virtual long produce(float* out, long frames) = 0;

    // A once-played voice that has rendered its last frame.
    bool finished() const { return m_finished.load(std::memory_order_acquire); }

    // Mixing state, owned by the audio thread once the voice is published.
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    float targetLeft = 1.0f;
    float targetRight = 1.0f;
    int rampLeft = 0;
    int fadeInLeft = 0;
    int fadeInTotal = 0;
    int fadeOutLeft = 0;
    int fadeOutTotal = 0;
    bool inMix = false;
    bool rendered = false;
    bool stopping = false;

    // Audio thread.
    void markFinished() { m_finished.store(true, std::memory_order_release); }

private:
    Kind m_kind;
    std::atomic<bool> m_finished{false};
};

// A sound decoded into memory.
class SampleVoice : public Voice {
public:
    SampleVoice(std::shared_ptr<const SampleBuffer> buffer, bool loop);
    long produce(float* out, long frames) override;

private:
    std::shared_ptr<const SampleBuffer> m_buffer; // released on the UI thread with the voice
    const float* m_data;
    std::size_t m_frames;
    std::size_t m_position = 0;
    bool m_loop;
};

// A file decoded ahead by a reader thread into a ring; the audio thread never waits on it: an
// underrun plays silence.
class StreamVoice : public Voice {
public:
    // Fills `prefillFrames` synchronously, so the first block after the start already has the
    // file's first frames, then starts the reader.
    StreamVoice(std::unique_ptr<StreamDecoder> decoder, std::size_t ringFrames,
                std::size_t prefillFrames);
    ~StreamVoice() override;
    long produce(float* out, long frames) override;

    // For offline rendering only: waits (bounded) until `frames` frames are decoded ahead.
    void waitForReadAhead(std::size_t frames) const;

private:
    bool decodeInto(std::size_t frames);
    void readerLoop();

    std::unique_ptr<StreamDecoder> m_decoder;
    FrameRing m_ring;
    std::vector<float> m_chunk;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{false}; // the decoder is done; released after its last frames
    std::thread m_reader;
};

// The looping PCM buffer of the tone generator: plays its block (at the block's rate, with
// linear interpolation when the device runs at another rate) and crossfades to a rewritten block
// without losing its play position.
class PcmVoice : public Voice {
public:
    PcmVoice(std::unique_ptr<PcmBlock> block, double step, bool loop);
    ~PcmVoice() override;
    long produce(float* out, long frames) override;

    // Audio thread: takes `block` as the new content; returns the block to retire, if any.
    PcmBlock* replace(PcmBlock* block, int crossfadeFrames);

private:
    float sampleAt(const PcmBlock* block, double phase) const;

    PcmBlock* m_current;
    PcmBlock* m_previous = nullptr;
    int m_crossfadeLeft = 0;
    int m_crossfadeTotal = 0;
    double m_phase = 0.0;
    double m_step;
    bool m_loop;
};
