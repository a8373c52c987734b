// SPDX-License-Identifier: GPL-3.0-or-later
#include "TakeRecorder.h"

#include <algorithm>

void TakeRecorder::Hear(void* recorder, const float* mono, int frames)
{
    if (frames > 0)
        static_cast<TakeRecorder*>(recorder)->m_input.write(mono, static_cast<std::size_t>(frames));
}

TakeRecorder::Progress TakeRecorder::progress() const
{
    const std::uint64_t word = m_shownState.load(std::memory_order_acquire);
    Progress shown;
    shown.state = static_cast<State>(word & 0xffu);
    shown.serial = static_cast<std::uint32_t>(word >> 32);
    shown.start = m_shownStart.load(std::memory_order_relaxed);
    shown.end = m_shownEnd.load(std::memory_order_relaxed);
    shown.taken = m_shownTaken.load(std::memory_order_relaxed);
    shown.dropped = m_shownDropped.load(std::memory_order_relaxed);
    shown.roundTrip = m_shownRoundTrip.load(std::memory_order_relaxed);
    return shown;
}

void TakeRecorder::publish(State state)
{
    m_state = state;
    m_shownStart.store(m_start, std::memory_order_relaxed);
    m_shownEnd.store(m_end, std::memory_order_relaxed);
    m_shownTaken.store(m_taken, std::memory_order_relaxed);
    m_shownDropped.store(m_dropped, std::memory_order_relaxed);
    m_shownRoundTrip.store(m_roundTrip, std::memory_order_relaxed);
    m_shownState.store(static_cast<std::uint64_t>(m_serial) << 32 |
                           static_cast<std::uint64_t>(state),
                       std::memory_order_release);
}

void TakeRecorder::begin(std::int64_t start, std::int64_t end, std::int64_t roundTrip,
                         MonoRing* target)
{
    ++m_serial;
    m_start = start;
    m_end = std::max(end, start);
    m_roundTrip = std::max<std::int64_t>(roundTrip, 0);
    m_target = target;
    m_taken = 0;
    m_dropped = 0;
    publish(m_end == m_start ? State::Done : State::Waiting);
}

void TakeRecorder::endAt(std::int64_t frame)
{
    if (!open())
        return;
    m_end = std::max(frame, m_start);
    publish(m_start + m_taken >= m_end ? State::Done : m_state);
}

void TakeRecorder::cancel()
{
    if (open() || m_state == State::Measuring)
        publish(State::Cancelled);
    m_target = nullptr;
    m_clickDue = false;
}

void TakeRecorder::refuse()
{
    ++m_serial;
    m_target = nullptr;
    publish(State::Cancelled);
}

void TakeRecorder::measure(std::int64_t timeoutFrames)
{
    ++m_serial;
    m_echoTimeout = std::max<std::int64_t>(timeoutFrames, 1);
    m_clickDue = true;
    m_clickAt = -1;
    publish(State::Measuring);
}

void TakeRecorder::process(float* out, int frames, std::int64_t firstFrame)
{
    if (m_restart.exchange(false, std::memory_order_acq_rel)) {
        // A fresh input is placed from this block: what it heard before the last block's worth
        // (an input opened a while before its first render) is let go.
        std::size_t stale = m_input.readable();
        stale -= std::min(stale, static_cast<std::size_t>(frames));
        while (stale > 0)
            stale -= m_input.read(m_piece.data(), std::min(stale, m_piece.size()));
        m_inputAt = firstFrame;
    }
    if (m_clickDue) {
        m_clickDue = false;
        m_clickAt = firstFrame;
        // A short burst, high enough that any cable and converter pass its edge.
        const int click = std::min(frames, kClickFrames);
        for (int i = 0; i < click; ++i) {
            const float level = (i / 4) % 2 == 0 ? kClickLevel : -kClickLevel;
            out[2 * i] += level;
            out[2 * i + 1] += level;
        }
    }
    const bool monitor = monitoring();
    int left = frames;
    int at = 0;
    while (left > 0) {
        const int piece = static_cast<int>(
            m_input.read(m_piece.data(), static_cast<std::size_t>(std::min(left, kPiece))));
        if (piece == 0)
            break;
        if (monitor)
            for (int i = 0; i < piece; ++i) {
                out[2 * (at + i)] += m_piece[static_cast<std::size_t>(i)];
                out[2 * (at + i) + 1] += m_piece[static_cast<std::size_t>(i)];
            }
        if (open())
            cut(m_piece.data(), piece, m_inputAt);
        if (m_state == State::Measuring)
            listen(m_piece.data(), piece, m_inputAt);
        m_inputAt += piece;
        at += piece;
        left -= piece;
    }
    if (m_state == State::Measuring && m_clickAt >= 0 &&
        firstFrame + frames - m_clickAt > m_echoTimeout)
        publish(State::NoEcho);
}

void TakeRecorder::cut(const float* mono, int frames, std::int64_t position)
{
    // Input frame i belongs to the mix's frame position + i - roundTrip.
    const std::int64_t first = position - m_roundTrip;
    const std::int64_t from = std::max(first, m_start + m_taken);
    const std::int64_t to = std::min(first + frames, m_end);
    if (from < to && m_target) {
        const auto count = static_cast<std::size_t>(to - from);
        const std::size_t before = m_target->dropped();
        m_target->write(mono + (from - first), count);
        m_dropped += static_cast<std::int64_t>(m_target->dropped() - before);
        m_taken += static_cast<std::int64_t>(count);
    }
    if (m_start + m_taken >= m_end)
        publish(State::Done);
    else if (m_taken > 0)
        publish(State::Recording);
}

void TakeRecorder::listen(const float* mono, int frames, std::int64_t position)
{
    if (m_clickAt < 0)
        return;
    for (int i = 0; i < frames; ++i) {
        if (position + i < m_clickAt)
            continue;
        if (mono[i] > kEchoThreshold || mono[i] < -kEchoThreshold) {
            m_roundTrip = position + i - m_clickAt;
            publish(State::Measured);
            return;
        }
    }
}
