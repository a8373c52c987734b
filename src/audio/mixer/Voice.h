// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/FrameRing.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
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
// retires the voice; the UI thread reads only `finished`, `began` and `cycleProgress`.
class Voice : public Retired {
public:
    enum class Kind { Sample, Stream, Pcm };

    explicit Voice(Kind kind) : m_kind(kind) {}
    bool isVoice() const override { return true; }
    Kind kind() const { return m_kind; }

    // Audio thread: writes up to `frames` stereo frames to `out`; fewer means the voice has
    // played its last frame (and then it marks itself finished).
    virtual long produce(float* out, long frames) = 0;

    // A once-played voice that has rendered its last frame, a looped one that ended at its cycle
    // end, or a voice queued behind another that was withdrawn before it began.
    bool finished() const { return m_finished.load(std::memory_order_acquire); }
    // The voice has entered the mix (at once, or by taking over from the voice it waited on).
    bool began() const { return m_began.load(std::memory_order_acquire); }
    // UI thread: how far the voice is through its current cycle, 0..1, as of the last block it
    // rendered; 0 while the cycle's length is not known.
    double cycleProgress() const;

    // Audio thread: how far the voice is through its cycle at the next frame it plays, 0..1.
    virtual double cyclePosition() const { return cycleProgress(); }
    // Audio thread, before the voice plays: it starts `fraction` (0..1) of the way through its
    // cycle, so that a loop rendered at another tempo takes over where the old one was.
    virtual void seekToCycleFraction(double) {}
    // Audio thread: where, between two frames, the cycle after the current one begins (in
    // 1/2^32 of a frame); and the same for a voice about to start, which takes that phase over,
    // so that loops following each other keep the bar lines of the first.
    virtual std::uint32_t nextCyclePhase() const { return 0; }
    virtual void setCyclePhase(std::uint32_t) {}
    // Audio thread: frames still to play before the current cycle ends (0 when the next frame
    // begins a new one); -1 for a voice that cannot tell (a stream).
    virtual std::int64_t framesLeftInCycle() const { return -1; }

    // Set by the UI before publishing: this voice's plain start from silence sets the beat grid's
    // origin (the first bar line) to its first frame.
    bool anchorsGrid = false;
    // Set by the UI before publishing: a plain start waits for the running grid's next bar line
    // (a take that was just recorded loops from there), leaving the grid as it is.
    bool startsOnBar = false;

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
    // A looped voice that ends on the last frame of its current cycle instead of wrapping.
    bool endAtCycleEnd = false;
    // The voice that starts on the frame after this one's cycle ends, and its way back.
    Voice* successor = nullptr;
    Voice* waitingOn = nullptr;
    // Where this voice went on once it ended at its cycle end: a command aimed at it follows.
    Voice* handedTo = nullptr;
    // A voice waiting for a line of the beat grid: the frame it starts on (-1: not on the grid).
    std::int64_t startFrame = -1;
    // A voice that takes over from another at a bar line by a crossfade: the one it replaces.
    Voice* replaces = nullptr;
    // Fades in and out along quarter sine and cosine curves (a crossfade of constant power)
    // instead of straight lines.
    bool equalPowerFade = false;
    // Fading out (over fadeOutLeft frames) because another took over, not because it was
    // stopped: once silent it shows finished, for its owner to stop.
    bool fadingAway = false;

    // Audio thread.
    void markFinished() { m_finished.store(true, std::memory_order_release); }
    void markBegan() { m_began.store(true, std::memory_order_release); }

protected:
    // Audio thread: the position within the current cycle and the cycle's length, in frames.
    void publishCycle(std::uint64_t position, std::uint64_t length);

private:
    Kind m_kind;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_began{false};
    // Position and length in one word, so the UI never pairs one cycle's position with
    // another's length.
    std::atomic<std::uint64_t> m_cycle{0};
};

// A sound decoded into memory. A loop's cycle is the buffer's length, or `cycleFrames` when
// that is given: a tempo's bars rarely last a whole number of frames, so such a loop's cycles
// begin at floor(start + k * cycleFrames), each from the buffer's first frame (the buffer holds
// at least ceil(cycleFrames) frames; frames it lacks play as silence). The fraction is carried
// in fixed point from cycle to cycle, so the hundredth cycle starts on the same frame as the
// grid's hundredth line, never a rounding per cycle away from it.
class SampleVoice : public Voice {
public:
    SampleVoice(std::shared_ptr<const SampleBuffer> buffer, bool loop, double cycleFrames = 0.0);
    long produce(float* out, long frames) override;

    double cyclePosition() const override;
    void seekToCycleFraction(double fraction) override;
    std::uint32_t nextCyclePhase() const override;
    void setCyclePhase(std::uint32_t phase) override;
    std::int64_t framesLeftInCycle() const override;

private:
    void beginCycle(std::uint32_t phase);

    std::shared_ptr<const SampleBuffer> m_buffer; // released on the UI thread with the voice
    const float* m_data;
    std::size_t m_frames;
    std::size_t m_position = 0;
    // The cycle in frames times 2^32. The current cycle's exact start lies m_phase / 2^32 of a
    // frame after its first frame, and it lasts m_cycleLength whole frames.
    std::uint64_t m_cycleFixed;
    std::uint32_t m_phase = 0;
    std::size_t m_cycleLength = 0;
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
    // Ring frames up to the end of the n-th pass of the file; passes are `pass` file frames.
    std::uint64_t passEnd(std::uint64_t n, std::uint64_t pass) const;
    // How many passes have ended at or before ring frame `position`.
    std::uint64_t passesBefore(std::uint64_t position, std::uint64_t pass) const;
    // Frames this voice still plays before its current cycle ends; SIZE_MAX while the end is
    // not decoded yet.
    std::size_t framesToCycleEnd() const;
    void publishPosition();

    std::unique_ptr<StreamDecoder> m_decoder;
    FrameRing m_ring;
    std::vector<float> m_chunk;
    double m_ratio;             // ring frames per file frame
    std::uint64_t m_lengthHint; // what the file's header claims, in ring frames
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{false}; // the decoder is done; released after its last frames
    // File frames of one pass, 0 until the reader has seen the first pass end. Stored before
    // the reader writes any frame of the next pass, so a frame the audio thread can read never
    // lies past an end it does not know of.
    std::atomic<std::uint64_t> m_passFrames{0};
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
