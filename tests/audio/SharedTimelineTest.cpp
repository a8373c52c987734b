// SPDX-License-Identifier: GPL-3.0-or-later
// The beat grid on a shared timeline, rendered offline against a timeline the test moves: a loop
// from silence waits for the timeline's next bar line, and a grid that drifted off the timeline
// is put back on it without moving the loop that plays.

#include "GridTestSupport.h"

#include "audio/mixer/SharedTimeline.h"

using namespace gridtest;

namespace {

// Beat `origin + frame / beatFrames` at mixer frame `frame`, while joined.
class MovableTimeline : public SharedTimeline {
public:
    explicit MovableTimeline(double origin) : origin(origin) {}
    bool position(std::int64_t frame, int, int, Position& out) noexcept override
    {
        if (!joined)
            return false;
        out.beat = origin + static_cast<double>(frame) / kBeat93;
        out.beatFrames = kBeat93;
        return true;
    }
    // The frame on which the timeline's beat `beat` falls.
    std::int64_t frameOf(double beat) const
    {
        return static_cast<std::int64_t>(std::floor((beat - origin) * kBeat93));
    }

    double origin;
    bool joined = true;
};

class SharedTimelineMixer : public OfflineMixer {
protected:
    // The session tempo and the timeline, in force from frame 1 on.
    MovableTimeline& follow(double origin)
    {
        auto timeline = std::make_unique<MovableTimeline>(origin);
        MovableTimeline& kept = *timeline;
        mixer.setTempo(kBeat93);
        mixer.setTimeline(std::move(timeline));
        rendered = 0;
        renderTo(1);
        return kept;
    }
    // Renders on to frame `end`; what it rendered.
    std::vector<float> renderTo(std::int64_t end, std::vector<float>* clicks = nullptr)
    {
        std::vector<float> out = render(end - rendered, clicks);
        rendered = end;
        return out;
    }
    std::int64_t rendered = 0;
};

} // namespace

TEST_F(SharedTimelineMixer, ALoopFromSilenceStartsOnTheTimelinesNextBarLine)
{
    MovableTimeline& timeline = follow(1.3);
    Voice* loop = mixer.startVoice(markedLoop(4 * kBeat93, 1.0f, true));
    const std::vector<float> out = renderTo(timeline.frameOf(12.5));
    const auto starts = cycleStarts(out, 1.0f, 1);
    ASSERT_GE(starts.size(), 3u);
    // Beat 4 is the first bar line after the start; the cycles go on over the next bars.
    EXPECT_EQ(starts[0], timeline.frameOf(4.0));
    EXPECT_NEAR(starts[1], timeline.frameOf(8.0), 1);
    EXPECT_NEAR(starts[2], timeline.frameOf(12.0), 1);
    for (std::int64_t f = 0; f + 1 < starts[0]; ++f)
        ASSERT_EQ(out[static_cast<std::size_t>(f) * 2], 0.0f) << "silence before the bar, " << f;
    mixer.stopVoice(loop);

    // Out of the session the grid keeps its own time again: the next start is at once.
    timeline.joined = false;
    renderTo(rendered + 20000);
    mixer.startVoice(markedLoop(4 * kBeat93, 2.0f, true));
    const std::int64_t pressed = rendered;
    const auto alone = cycleStarts(renderTo(rendered + 5000), 2.0f, pressed);
    ASSERT_FALSE(alone.empty());
    EXPECT_EQ(alone[0], pressed);
}

TEST_F(SharedTimelineMixer, AGridOffTheTimelineIsPutBackWithoutMovingThePlayingLoop)
{
    MovableTimeline& timeline = follow(0.5);
    mixer.setMetronome(true, 0.7f);
    Voice* first = mixer.startVoice(markedLoop(4 * kBeat93, 1.0f, true));
    std::vector<float> clicks;
    renderTo(timeline.frameOf(4.0) + 1000, &clicks);
    const auto before = clickOnsets(clicks, 1);
    ASSERT_EQ(before.size(), 4u);
    for (std::size_t k = 0; k < before.size(); ++k)
        EXPECT_EQ(before[k], timeline.frameOf(1.0 + static_cast<double>(k))) << k;
    mixer.startVoiceAfter(markedLoop(4 * kBeat93, 2.0f), first, Mixer::SwitchAt::Bar);
    renderTo(rendered + 500);

    // Half a millisecond off is within what the grid lets pass: beat 5 clicks where it was.
    const std::int64_t oldBar = timeline.frameOf(8.0);
    const std::int64_t oldBeat5 = timeline.frameOf(5.0);
    timeline.origin -= 22.0 / kBeat93;
    const std::int64_t shifted = rendered;
    renderTo(oldBeat5 + 1000, &clicks);
    const auto within = clickOnsets(clicks, shifted);
    ASSERT_EQ(within.size(), 1u);
    EXPECT_EQ(within[0], oldBeat5);

    // Three milliseconds off: the lines from beat 6 on, and the switch at the bar, follow the
    // timeline; the playing loop's cycle still ends where it would have.
    timeline.origin -= 110.0 / kBeat93;
    const std::int64_t from = rendered;
    const std::vector<float> out = renderTo(timeline.frameOf(8.0) + 2000, &clicks);
    const auto after = clickOnsets(clicks, from);
    ASSERT_EQ(after.size(), 3u);
    for (std::size_t k = 0; k < after.size(); ++k)
        EXPECT_NEAR(after[k], timeline.frameOf(6.0 + static_cast<double>(k)), 1) << k;
    const auto second = cycleStarts(out, 2.0f, from);
    ASSERT_FALSE(second.empty());
    EXPECT_NEAR(second[0], timeline.frameOf(8.0), 1);
    EXPECT_EQ(cycleStarts(out, 1.0f, from), std::vector<std::int64_t>{oldBar});
}
