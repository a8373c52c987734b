// SPDX-License-Identifier: GPL-3.0-or-later
// Takes from the input, placed on the grid: where a take starts and ends is decided here, on the
// audio thread, from the grid's own lines, so its length is exactly the bars asked for.

#include "Mixer.h"
#include "Voice.h"

#include <algorithm>

// ---- UI thread -------------------------------------------------------------------------------

void Mixer::recordTake(const TakeRequest& request)
{
    if (!isRunning())
        return;
    Command command{Command::Type::Take, nullptr, nullptr, 0.0f, 0.0f};
    command.take = request;
    command.take.bars = std::clamp(request.bars, 0, 1024);
    queue(command);
}

void Mixer::endTake(std::int64_t at)
{
    if (!isRunning())
        return;
    Command command{Command::Type::EndTake, nullptr, nullptr, 0.0f, 0.0f};
    command.endBefore = at;
    queue(command);
}

void Mixer::cancelTake()
{
    if (isRunning())
        queue({Command::Type::CancelTake, nullptr, nullptr, 0.0f, 0.0f});
}

void Mixer::measureRoundTrip()
{
    if (isRunning())
        queue({Command::Type::MeasureRoundTrip, nullptr, nullptr, 0.0f, 0.0f});
}

// ---- audio thread ----------------------------------------------------------------------------

void Mixer::applyTake(const Command& command)
{
    switch (command.type) {
    case Command::Type::Take:
        beginTake(command.take);
        return;
    case Command::Type::EndTake:
        if (!m_recorder.open())
            return;
        if (command.endBefore >= 0) {
            m_recorder.endAt(command.endBefore);
        } else if (!m_grid.running()) {
            m_recorder.endAt(m_frame);
        } else {
            // The first bar line still to come that leaves the take at least a bar.
            int bars = 0;
            while (barLineAfter(bars) <= m_recorder.start() && bars < 1024)
                ++bars;
            m_recorder.endAt(barLineAfter(bars));
        }
        return;
    case Command::Type::CancelTake:
        m_recorder.cancel();
        return;
    case Command::Type::MeasureRoundTrip:
        m_recorder.measure(m_sampleRate);
        return;
    default:
        return;
    }
}

std::int64_t Mixer::barLineAfter(int bars) const
{
    const int perBar = m_grid.beatsPerBar();
    const int toBar = (perBar - m_grid.nextLineBeat()) % perBar;
    return m_grid.lineAfter(toBar + bars * perBar);
}

void Mixer::beginTake(const TakeRequest& request)
{
    if (request.over) {
        // The loop's next cycle, from its first frame: the old playing stays where it was.
        for (int i = 0; i < m_voiceCount; ++i) {
            const Voice* voice = m_voices[static_cast<std::size_t>(i)];
            if (voice != request.over || !voice->inMix || voice->stopping || voice->finished())
                continue;
            const std::int64_t left = voice->framesLeftInCycle();
            if (left < 0)
                break;
            const std::int64_t start = m_frame + left;
            m_recorder.begin(start, start + std::max<std::int64_t>(request.overFrames, 1),
                             request.roundTrip, request.target);
            return;
        }
        m_recorder.refuse();
        return;
    }
    if (m_tempoBeat <= 0.0) {
        m_recorder.begin(m_frame, TakeRecorder::kOpenEnd, request.roundTrip, request.target);
        return;
    }
    if (!m_grid.running())
        restartGrid(); // the take's grid counts from here
    const int countIn = request.countIn ? 1 : 0;
    const std::int64_t start = barLineAfter(countIn);
    const std::int64_t end =
        request.bars > 0 ? barLineAfter(countIn + request.bars) : TakeRecorder::kOpenEnd;
    if (request.countIn)
        m_countInEnd = std::max(m_countInEnd, start);
    m_recorder.begin(start, end, request.roundTrip, request.target);
}
