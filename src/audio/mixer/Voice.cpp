// SPDX-License-Identifier: GPL-3.0-or-later
#include "Voice.h"

#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/SoundFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

double Voice::cycleProgress() const
{
    const std::uint64_t packed = m_cycle.load(std::memory_order_relaxed);
    const auto position = static_cast<double>(packed & 0xffffffffu);
    const auto length = static_cast<double>(packed >> 32);
    return length > 0.0 ? std::min(1.0, position / length) : 0.0;
}

void Voice::publishCycle(std::uint64_t position, std::uint64_t length)
{
    // Halving both keeps their ratio when a length outgrows 32 bits (a day of audio).
    while (length > 0xffffffffu) {
        length >>= 1;
        position >>= 1;
    }
    position = std::min(position, length);
    m_cycle.store(position | (length << 32), std::memory_order_relaxed);
}

namespace {
constexpr double kFixedOne = 4294967296.0; // 2^32
constexpr std::uint64_t kFractionMask = 0xffffffffu;
// Longer cycles than this (over 13 hours at 44.1 kHz) are taken as the buffer's own length.
constexpr double kLongestCycle = 2147483648.0;
} // namespace

SampleVoice::SampleVoice(std::shared_ptr<const SampleBuffer> buffer, bool loop, double cycleFrames)
    : Voice(Kind::Sample), m_buffer(std::move(buffer)), m_data(m_buffer->data()),
      m_frames(m_buffer->frames()), m_loop(loop)
{
    if (cycleFrames > 0.0 && cycleFrames < kLongestCycle)
        m_cycleFixed = static_cast<std::uint64_t>(std::llround(cycleFrames * kFixedOne));
    else
        m_cycleFixed = static_cast<std::uint64_t>(m_frames) << 32;
    beginCycle(0);
}

void SampleVoice::beginCycle(std::uint32_t phase)
{
    m_phase = phase;
    m_cycleLength = static_cast<std::size_t>((m_phase + m_cycleFixed) >> 32);
    m_position = 0;
}

std::uint32_t SampleVoice::nextCyclePhase() const
{
    return static_cast<std::uint32_t>((m_phase + m_cycleFixed) & kFractionMask);
}

void SampleVoice::setCyclePhase(std::uint32_t phase)
{
    beginCycle(phase);
}

std::int64_t SampleVoice::framesLeftInCycle() const
{
    if (m_cycleLength == 0)
        return -1;
    return static_cast<std::int64_t>(m_cycleLength - std::min(m_position, m_cycleLength));
}

double SampleVoice::cyclePosition() const
{
    if (m_cycleFixed == 0)
        return 0.0;
    std::size_t position = m_position;
    std::uint32_t phase = m_phase;
    if (position >= m_cycleLength) { // the cycle has ended; the next frame begins the next one
        position -= m_cycleLength;
        phase = nextCyclePhase();
    }
    const double fraction = (static_cast<double>(position) - phase / kFixedOne) /
                            (static_cast<double>(m_cycleFixed) / kFixedOne);
    return std::clamp(fraction, 0.0, 1.0);
}

void SampleVoice::seekToCycleFraction(double fraction)
{
    if (m_cycleFixed == 0 || !(fraction > 0.0))
        return;
    // The next frame lies `into` frames past the cycle's exact start: the cycle began on the
    // frame ceil(into) frames back, its exact start that much after it.
    const double into = std::min(fraction, 1.0) * (static_cast<double>(m_cycleFixed) / kFixedOne);
    const double whole = std::ceil(into);
    const auto phase = static_cast<std::uint32_t>(
        std::min((whole - into) * kFixedOne, static_cast<double>(kFractionMask)));
    beginCycle(phase);
    m_position = static_cast<std::size_t>(whole);
    if (m_position >= m_cycleLength && m_cycleLength > 0) {
        const std::size_t over = m_position - m_cycleLength;
        beginCycle(nextCyclePhase());
        m_position = std::min(over, m_cycleLength);
    }
    publishCycle(m_position, m_cycleLength);
}

long SampleVoice::produce(float* out, long frames)
{
    // The position wraps only when the next frame is due, so a cycle that ended on the last
    // frame of the previous block can still be the one that ends the voice.
    const bool wraps = m_loop && !endAtCycleEnd;
    long done = 0;
    while (done < frames) {
        if (m_position >= m_cycleLength) {
            if (!wraps || m_cycleLength == 0)
                break;
            // The frame after the last is the first: no gap, no repeat.
            beginCycle(nextCyclePhase());
        }
        const auto count = static_cast<long>(std::min<std::size_t>(
            static_cast<std::size_t>(frames - done), m_cycleLength - m_position));
        // A cycle longer than the buffer (by a rounding of whoever rendered it) ends in silence.
        const auto held = static_cast<long>(std::min<std::size_t>(
            static_cast<std::size_t>(count), m_frames - std::min(m_position, m_frames)));
        std::copy_n(m_data + m_position * 2, held * 2, out + done * 2);
        std::fill(out + (done + held) * 2, out + (done + count) * 2, 0.0f);
        m_position += static_cast<std::size_t>(count);
        done += count;
    }
    if (!wraps && m_position >= m_cycleLength)
        markFinished();
    publishCycle(m_cycleLength > 0 ? m_position % m_cycleLength : 0, m_cycleLength);
    return done;
}

namespace {
constexpr std::size_t kReadChunkFrames = 4096;
}

StreamVoice::StreamVoice(std::unique_ptr<StreamDecoder> decoder, std::size_t ringFrames,
                         std::size_t prefillFrames)
    : Voice(Kind::Stream), m_decoder(std::move(decoder)), m_ring(ringFrames),
      m_chunk(kReadChunkFrames * 2), m_ratio(m_decoder->ratio()),
      m_lengthHint(static_cast<std::uint64_t>(
          std::max<double>(0.0, static_cast<double>(m_decoder->file().framesHint()) * m_ratio)))
{
    const std::size_t prefill = std::min(prefillFrames, m_ring.capacity());
    while (m_ring.capacity() - m_ring.writable() < prefill) {
        const std::size_t missing = prefill - (m_ring.capacity() - m_ring.writable());
        if (!decodeInto(std::min(missing, kReadChunkFrames)))
            return; // the whole file fitted: no reader needed
    }
    m_reader = std::thread([this] { readerLoop(); });
}

StreamVoice::~StreamVoice()
{
    m_stop.store(true, std::memory_order_relaxed);
    if (m_reader.joinable())
        m_reader.join();
}

bool StreamVoice::decodeInto(std::size_t frames)
{
    const long got = m_decoder->read(m_chunk.data(), static_cast<long>(frames));
    if (got <= 0) {
        m_ended.store(true, std::memory_order_release);
        return false;
    }
    if (m_passFrames.load(std::memory_order_relaxed) == 0 && m_decoder->passFrames() > 0)
        m_passFrames.store(static_cast<std::uint64_t>(m_decoder->passFrames()),
                           std::memory_order_release);
    m_ring.write(m_chunk.data(), static_cast<std::size_t>(got));
    return true;
}

void StreamVoice::readerLoop()
{
    // Decoding in large pieces and napping long while the read-ahead is well filled keeps this
    // thread's wake-ups few; the audio thread never waits on it either way.
    const std::size_t capacity = m_ring.capacity();
    const std::size_t refillAt = std::min(capacity, std::max<std::size_t>(1024, capacity / 4));
    while (!m_stop.load(std::memory_order_relaxed)) {
        const std::size_t room = m_ring.writable();
        if (room >= refillAt) {
            if (!decodeInto(std::min(room, kReadChunkFrames)))
                return;
        } else {
            const bool wellFilled = m_ring.readable() > capacity / 2;
            std::this_thread::sleep_for(std::chrono::milliseconds(wellFilled ? 20 : 3));
        }
    }
}

std::uint64_t StreamVoice::passEnd(std::uint64_t n, std::uint64_t pass) const
{
    if (m_ratio == 1.0)
        return n * pass;
    // A converted loop's seams fall between frames; each pass ends on the frame nearest.
    return static_cast<std::uint64_t>(
        std::llround(static_cast<double>(n) * static_cast<double>(pass) * m_ratio));
}

std::uint64_t StreamVoice::passesBefore(std::uint64_t position, std::uint64_t pass) const
{
    if (m_ratio == 1.0)
        return position / pass;
    auto n = static_cast<std::uint64_t>(static_cast<double>(position) /
                                        (static_cast<double>(pass) * m_ratio));
    while (n > 0 && passEnd(n, pass) > position)
        --n;
    while (passEnd(n + 1, pass) <= position)
        ++n;
    return n;
}

std::size_t StreamVoice::framesToCycleEnd() const
{
    const std::uint64_t pass = m_passFrames.load(std::memory_order_acquire);
    if (pass == 0)
        return SIZE_MAX;
    const std::uint64_t position = m_ring.readCount();
    const std::uint64_t ended = passesBefore(position, pass);
    // Right on a seam the cycle that just finished is the one that ends, as with a sample.
    if (position > 0 && passEnd(ended, pass) == position)
        return 0;
    return static_cast<std::size_t>(passEnd(ended + 1, pass) - position);
}

void StreamVoice::publishPosition()
{
    const std::uint64_t position = m_ring.readCount();
    const std::uint64_t pass = m_passFrames.load(std::memory_order_acquire);
    if (pass == 0) {
        publishCycle(position, m_lengthHint); // the first pass: the header's guess
        return;
    }
    const std::uint64_t ended = passesBefore(position, pass);
    const std::uint64_t start = passEnd(ended, pass);
    publishCycle(position - start, passEnd(ended + 1, pass) - start);
}

long StreamVoice::produce(float* out, long frames)
{
    const auto wanted = static_cast<std::size_t>(frames);
    std::size_t got = 0;
    for (;;) {
        // What is readable is looked at before the cycle's end: the reader records a pass's
        // length before it writes a frame past it, so no frame counted here lies beyond an end
        // this voice does not know.
        const std::size_t available = std::min(wanted - got, m_ring.readable());
        if (endAtCycleEnd) {
            const std::size_t toEnd = framesToCycleEnd();
            if (toEnd <= available) {
                got += m_ring.read(out + got * 2, toEnd);
                markFinished();
                publishPosition();
                return static_cast<long>(got);
            }
        }
        if (available == 0)
            break;
        got += m_ring.read(out + got * 2, available);
    }
    if (got < wanted && m_ended.load(std::memory_order_acquire)) {
        got += m_ring.read(out + got * 2, wanted - got);
        if (got < wanted) {
            markFinished();
            publishPosition();
            return static_cast<long>(got);
        }
    }
    std::fill(out + got * 2, out + wanted * 2, 0.0f); // underrun: silence, never a wait
    publishPosition();
    return frames;
}

void StreamVoice::waitForReadAhead(std::size_t frames) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    frames = std::min(frames, m_ring.capacity());
    while (m_ring.readable() < frames && !m_ended.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

PcmVoice::PcmVoice(std::unique_ptr<PcmBlock> block, double step, bool loop)
    : Voice(Kind::Pcm), m_current(block.release()), m_step(step), m_loop(loop)
{
}

PcmVoice::~PcmVoice()
{
    delete m_current;
    delete m_previous;
}

PcmBlock* PcmVoice::replace(PcmBlock* block, int crossfadeFrames)
{
    PcmBlock* retired = nullptr;
    if (crossfadeFrames <= 0) {
        retired = m_current;
    } else if (m_previous && m_crossfadeLeft == m_crossfadeTotal) {
        // Rewritten again before a frame of the last rewrite sounded: that one is skipped and
        // the fade still starts from what was heard.
        retired = m_current;
    } else {
        // A rewrite arriving mid-fade drops the oldest content; the fade restarts from the
        // content that was fading in.
        retired = m_previous;
        m_previous = m_current;
        m_crossfadeLeft = m_crossfadeTotal = crossfadeFrames;
    }
    m_current = block;
    return retired;
}

float PcmVoice::sampleAt(const PcmBlock* block, double phase) const
{
    const std::size_t length = block->samples.size();
    const auto index = static_cast<std::size_t>(phase) % length;
    const float frac = static_cast<float>(phase - std::floor(phase));
    const float a = block->samples[index];
    if (frac == 0.0f)
        return a;
    // Between samples, a cubic through the four around the point (Catmull-Rom): a tone block
    // played at another rate than its own keeps its high partials clean, where a straight line
    // between two samples would add audible distortion above a few kHz.
    const float before = block->samples[(index + length - 1) % length];
    const float b = block->samples[(index + 1) % length];
    const float after = block->samples[(index + 2) % length];
    return a + 0.5f * frac *
                   (b - before +
                    frac * (2.0f * before - 5.0f * a + 4.0f * b - after +
                            frac * (3.0f * (a - b) + after - before)));
}

long PcmVoice::produce(float* out, long frames)
{
    const auto length = static_cast<double>(m_current->samples.size());
    long done = 0;
    for (; done < frames; ++done) {
        if (m_phase >= length) {
            if (!m_loop) {
                markFinished();
                break;
            }
            m_phase = std::fmod(m_phase, length);
        }
        float value = sampleAt(m_current, m_phase);
        if (m_crossfadeLeft > 0) {
            const float weight =
                static_cast<float>(m_crossfadeLeft) / static_cast<float>(m_crossfadeTotal + 1);
            value += (sampleAt(m_previous, m_phase) - value) * weight;
            --m_crossfadeLeft;
        }
        out[2 * done] = value;
        out[2 * done + 1] = value;
        m_phase += m_step;
    }
    return done;
}
