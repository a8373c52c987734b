// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer playing with others: its beat grid on the beats and bars of a shared timeline.

#include "Mixer.h"
#include "SharedTimeline.h"
#include "Voice.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kFixedOne = 4294967296.0; // 2^32
// A line the timeline puts this close past the block's first frame counts as on it.
constexpr double kSameBeat = 1e-6;

// The place in the bar of the timeline's line `line`.
int beatInBar(double line, int beatsPerBar)
{
    double beat = std::fmod(line, static_cast<double>(beatsPerBar));
    if (beat < 0.0)
        beat += beatsPerBar;
    return std::clamp(static_cast<int>(beat), 0, beatsPerBar - 1);
}
} // namespace

// ---- audio thread ----------------------------------------------------------------------------

void Mixer::readTimeline()
{
    SharedTimeline::Position position;
    m_onTimeline = m_timeline && m_tempoBeat > 0.0 &&
                   m_timeline->position(m_frame, m_sampleRate, m_tempoBeatsPerBar, position) &&
                   std::isfinite(position.beat) && std::isfinite(position.beatFrames) &&
                   position.beatFrames >= 1.0 && position.beatFrames < BeatGrid::kLongestBeat;
    m_timelineBeat = position.beat;
    m_timelineBeatFrames = position.beatFrames;
}

double Mixer::alignGridToTimeline(double earliest)
{
    const double beat = m_timelineBeatFrames;
    const double line = std::ceil(earliest - kSameBeat);
    // Frames from this block's first to the line: a hair before it means the line is due now.
    const double offset = (line - m_timelineBeat) * beat;
    const double whole = std::floor(offset);
    const auto fraction =
        static_cast<std::uint32_t>(std::min((offset - whole) * kFixedOne, kFixedOne - 1.0));
    m_grid.start(m_frame + static_cast<std::int64_t>(whole), beat, m_tempoBeatsPerBar, fraction,
                 beatInBar(line, m_tempoBeatsPerBar));
    return line;
}

void Mixer::startOnSharedBar(Voice* voice)
{
    // The loop waits for the timeline's next bar line, so it starts in phase with the others'
    // bars; a count-in clicks on the lines left before it.
    const std::int64_t bar = m_grid.nextBar();
    if (m_countIn)
        m_countInEnd = bar;
    schedule(voice, bar);
}

void Mixer::keepGridOnTimeline()
{
    if (!m_onTimeline || !m_grid.running())
        return;
    const double beat = m_timelineBeatFrames;
    const double gridBeat = m_grid.beatFrames();
    // The grid's next line, in frames from this block's first, and the timeline's beat there.
    const std::int64_t next = m_grid.nextLine();
    const double ahead =
        static_cast<double>(next - m_frame) + m_grid.nextLineFraction() / kFixedOne;
    const double atNext = m_timelineBeat + ahead / beat;
    const double nearest = std::round(atNext);
    const double tolerance = std::max(1.0, m_sampleRate * kTimelineToleranceSeconds);
    if (std::abs(atNext - nearest) * beat <= tolerance &&
        m_grid.beatsPerBar() == m_tempoBeatsPerBar &&
        beatInBar(nearest, m_tempoBeatsPerBar) == m_grid.nextLineBeat())
        return;

    // Off the timeline (clocks that drift apart, a tempo changed by another player): the grid
    // goes on from the timeline's first line that is neither past nor already heard. No voice
    // moves; what waits for a line of the grid waits for the same line of the timeline.
    const double lastHeard = std::round(atNext - gridBeat / beat);
    const double first =
        alignGridToTimeline(std::max(m_timelineBeat - tolerance / beat, lastHeard + 1.0));
    const auto sameLine = [&](std::int64_t frame) {
        const double lines =
            std::max(0.0, std::round(static_cast<double>(frame - next) / gridBeat));
        const double after =
            std::clamp(nearest + lines - first, 0.0, 2.0 * BeatGrid::kMaxBeatsPerBar);
        return m_grid.lineAfter(static_cast<int>(after));
    };
    for (int i = 0; i < m_scheduledCount; ++i) {
        Voice* voice = m_scheduled[static_cast<std::size_t>(i)];
        voice->startFrame = sameLine(voice->startFrame);
    }
    for (int i = 0; i < m_voiceCount; ++i) {
        Voice* successor = m_voices[static_cast<std::size_t>(i)]->successor;
        if (successor && successor->startFrame >= 0)
            successor->startFrame = sameLine(successor->startFrame);
    }
    if (m_countInEnd >= next)
        m_countInEnd = sameLine(m_countInEnd);
}
