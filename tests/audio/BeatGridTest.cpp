// SPDX-License-Identifier: GPL-3.0-or-later
// The beat grid and the loops that keep to it, rendered offline and checked to the frame: loops
// whose cycle is a fractional number of frames, switches on the next beat or bar, loops that
// follow each other at their cycle ends keeping the bar lines, and a mix without a tempo that is
// what it always was.

#include "audio/mixer/BeatGrid.h"
#include "GridTestSupport.h"

using namespace gridtest;

TEST(BeatGrid, LinesFallOnTheFloorOfTheirExactTimeAndANewBeatWaitsForTheBarLine)
{
    BeatGrid grid;
    grid.start(1000, kBeat137, 4);
    for (std::int64_t line = 0; line < 2000; ++line) {
        ASSERT_EQ(grid.nextLine(), gridFrame(kBeat137, line, 1000)) << "line " << line;
        ASSERT_EQ(grid.nextLineBeat(), line % 4);
        ASSERT_EQ(grid.nextBar(), gridFrame(kBeat137, (line + 3) / 4 * 4, 1000));
        grid.pass();
    }
    // Halfway through a bar: the two lines left of it keep the old beat.
    grid.pass();
    grid.pass();
    grid.changeAtNextBar(kBeat93, 3);
    EXPECT_TRUE(grid.changePending());
    EXPECT_NEAR(grid.comingBeatFrames(), kBeat93, 1e-6);
    EXPECT_EQ(grid.comingBeatsPerBar(), 3);
    grid.pass();
    EXPECT_EQ(grid.nextLine(), gridFrame(kBeat137, 2003, 1000));
    grid.pass();
    EXPECT_EQ(grid.nextLine(), gridFrame(kBeat137, 2004, 1000));
    EXPECT_NEAR(grid.beatFrames(), kBeat137, 1e-6) << "the bar line not passed yet";
    const double from = 2004 * kBeat137; // the exact time of the bar line
    for (int line = 0; line < 30; ++line) {
        ASSERT_EQ(grid.nextLine(), 1000 + static_cast<std::int64_t>(from + line * kBeat93));
        ASSERT_EQ(grid.nextLineBeat(), line % 3);
        grid.pass();
    }
    EXPECT_NEAR(grid.beatFrames(), kBeat93, 1e-6);

    grid.passBefore(grid.nextLine() + 100000);
    EXPECT_GE(grid.nextLine(), 0);
    grid.stop();
    EXPECT_FALSE(grid.running());
    grid.start(0, 0.5, 4); // less than a frame a beat: no grid
    EXPECT_FALSE(grid.running());
}

TEST_F(OfflineMixer, AFractionalLoopsHundredthCycleStartsOnTheFloorOfAHundredCycles)
{
    const double cycle = kBeat137; // a loop of one beat, 19313.87 frames
    mixer.startVoice(markedLoop(cycle, 0.5f));
    const auto out = render(static_cast<std::int64_t>(101 * cycle));
    const auto starts = cycleStarts(out, 0.5f);
    ASSERT_GE(starts.size(), 101u);
    for (std::size_t k = 0; k <= 100; ++k)
        ASSERT_EQ(starts[k], gridFrame(cycle, static_cast<std::int64_t>(k))) << "cycle " << k;
    // Each cycle plays its buffer from the first frame to where the next begins.
    for (std::size_t k = 1; k <= 100; ++k) {
        const auto last = static_cast<std::size_t>(starts[k] - 1);
        EXPECT_EQ(out[2 * last], static_cast<float>(starts[k] - starts[k - 1])) << k;
    }
}

TEST_F(OfflineMixer, WithoutATempoEveryNewSettingLeavesTheMixAsItWas)
{
    // Metronome, count-in and a loop that would anchor a grid, but no tempo: the loop alone.
    mixer.setMetronome(true, 1.0f);
    mixer.setCountIn(true);
    auto buffer = markedBuffer(9000, 0.25f);
    auto voice = std::make_unique<SampleVoice>(buffer, true);
    voice->anchorsGrid = true;
    Voice* a = mixer.startVoice(std::move(voice));
    std::vector<float> clicks;
    auto out = render(30000, &clicks);
    mixer.startVoiceAfter(std::make_unique<SampleVoice>(markedBuffer(7001, 0.75f), true), a,
                          Mixer::SwitchAt::Bar); // no grid: at the cycle end
    const auto more = render(20000, &clicks);
    out.insert(out.end(), more.begin(), more.end());
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        const bool first = i < 36000;
        const std::size_t index = first ? i % 9000 : (i - 36000) % 7001;
        ASSERT_EQ(out[2 * i], static_cast<float>(index + 1)) << i;
        ASSERT_EQ(out[2 * i + 1], first ? 0.25f : 0.75f) << i;
    }
    for (float sample : clicks)
        ASSERT_EQ(sample, 0.0f);
    EXPECT_EQ(mixer.beatFrames(), 0.0);
    EXPECT_EQ(mixer.framesToNextBar(), -1);
}

namespace {
struct GridSwitch {
    const char* name;
    Mixer::SwitchAt at;
    std::int64_t queuedAt; // frames after the grid's origin
};
class GridSwitches : public OfflineMixer, public ::testing::WithParamInterface<GridSwitch> {};
} // namespace

TEST_P(GridSwitches, TheNewLoopStartsOnTheGridLineAndTheOldEndsTheFrameBefore)
{
    const GridSwitch& c = GetParam();
    mixer.setTempo(kBeat93, 4);
    // A loop of two bars sets the grid going at its first frame, five frames in.
    render(5);
    Voice* a = mixer.startVoice(markedLoop(8 * kBeat93, 0.25f, true));
    auto out = render(c.queuedAt); // from the grid's origin
    Voice* b = mixer.startVoiceAfter(markedLoop(4 * kBeat93, 0.75f), a, c.at);
    const std::int64_t now = 5 + c.queuedAt;
    std::int64_t line = 0;
    while (gridFrame(kBeat93, line, 5) < now || (c.at == Mixer::SwitchAt::Bar && line % 4 != 0))
        ++line;
    const std::int64_t switchAt = gridFrame(kBeat93, line, 5);
    const auto rest = render(switchAt - now + 12 * static_cast<std::int64_t>(kBeat93));
    out.insert(out.end(), rest.begin(), rest.end());

    const auto at = static_cast<std::size_t>(switchAt - 5);
    ASSERT_GT(at, 0u);
    EXPECT_EQ(out[2 * (at - 1) + 1], 0.25f) << "the old loop plays up to the line";
    EXPECT_EQ(out[2 * (at - 1)], static_cast<float>(switchAt - 5) -
                                     static_cast<float>(gridFrame(8 * kBeat93, (line - 1) / 8)));
    EXPECT_EQ(out[2 * at], 1.0f) << "the new loop from its first frame on the line";
    EXPECT_EQ(out[2 * at + 1], 0.75f);
    // Its cycles end on the grid's bar lines from then on.
    const auto starts = cycleStarts(out, 0.75f, 5);
    ASSERT_GE(starts.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(starts[k], gridFrame(kBeat93, line + 4 * static_cast<std::int64_t>(k), 5)) << k;
    EXPECT_TRUE(a->finished());
    EXPECT_TRUE(b->began());
}

INSTANTIATE_TEST_SUITE_P(
    Table, GridSwitches,
    ::testing::Values(
        GridSwitch{"NextBeatMidBeat", Mixer::SwitchAt::Beat, 40000},
        GridSwitch{"NextBeatRightOnTheLine", Mixer::SwitchAt::Beat, gridFrame(kBeat93, 3)},
        GridSwitch{"NextBarMidBar", Mixer::SwitchAt::Bar, 150000},
        GridSwitch{"NextBarFromTheLastBeat", Mixer::SwitchAt::Bar, gridFrame(kBeat93, 7) + 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OfflineMixer, AGridSwitchWithdrawnOrStoppedNeverStartsAndTheLoopPlaysOn)
{
    mixer.setTempo(kBeat93, 4);
    Voice* a = mixer.startVoice(markedLoop(4 * kBeat93, 0.25f, true));
    render(1000);
    Voice* b = mixer.startVoiceAfter(markedLoop(kBeat93, 0.75f), a, Mixer::SwitchAt::Bar);
    render(1000);
    mixer.endAtCycleEnd(a, false);
    Voice* c = mixer.startVoiceAfter(markedLoop(kBeat93, 0.5f), a, Mixer::SwitchAt::Beat);
    render(1000);
    mixer.stopVoice(c);
    const auto out = render(static_cast<std::int64_t>(9 * kBeat93));
    EXPECT_TRUE(b->finished());
    EXPECT_FALSE(b->began());
    EXPECT_FALSE(a->finished());
    for (std::size_t i = 0; i < out.size() / 2; ++i)
        ASSERT_EQ(out[2 * i + 1], 0.25f) << i;
    mixer.stopVoice(b);
}

TEST_F(OfflineMixer, LoopsOfOtherLengthsFollowingAtTheCycleEndKeepTheBarLines)
{
    // Two bars, then one bar of the same tempo: where the second loop's cycles fall depends on
    // the fraction of a frame the first one's end carried.
    const double beat = kBeat137;
    const std::int64_t handOver = gridFrame(beat, 16); // the end of the first loop's 2nd cycle
    ASSERT_NE(handOver + gridFrame(beat, 40), gridFrame(beat, 56))
        << "a tempo where rounding each loop on its own would miss the grid";
    mixer.setTempo(beat, 4);
    Voice* a = mixer.startVoice(markedLoop(8 * beat, 0.25f, true));
    render(static_cast<std::int64_t>(12 * beat));
    mixer.startVoiceAfter(markedLoop(4 * beat, 0.75f), a);
    const auto start = static_cast<std::int64_t>(12 * beat);
    const auto out = render(static_cast<std::int64_t>(56 * beat) + 10 - start);
    const auto starts = cycleStarts(out, 0.75f, start);
    ASSERT_GE(starts.size(), 11u);
    EXPECT_EQ(starts[0], handOver);
    for (std::size_t k = 1; k <= 10; ++k)
        EXPECT_EQ(starts[k], gridFrame(beat, 16 + 4 * static_cast<std::int64_t>(k))) << k;
}
