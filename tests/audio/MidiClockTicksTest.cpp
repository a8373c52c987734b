// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI clock of the mixer's grid, from its per-block read-outs, offline.

#include "audio/mixer/MidiClockTicks.h"
#include "GridTestSupport.h"

using namespace gridtest;

namespace {

struct Sent {
    std::int64_t frame;
    std::uint8_t status;
    int data = 0; // a Song Position's sixteenths
};

class ClockTicks : public OfflineMixer {
protected:
    // Renders in blocks of 777 frames, as the grid tests do, keeping every event sent.
    void play(std::int64_t frames)
    {
        std::vector<float> out(777 * 2);
        for (std::int64_t done = 0; done < frames;) {
            const int block = static_cast<int>(std::min<std::int64_t>(777, frames - done));
            mixer.render(out.data(), block);
            const GridBlock& read = mixer.gridBlock();
            ASSERT_EQ(read.frame, mixer.framesRendered() - block);
            ticks.follow(read);
            for (int i = 0; i < ticks.count(); ++i)
                sent.push_back({read.frame + ticks.events()[i].offset, ticks.events()[i].bytes[0],
                                ticks.events()[i].bytes[1] | ticks.events()[i].bytes[2] << 7});
            done += block;
        }
    }
    std::vector<std::int64_t> clocks() const
    {
        std::vector<std::int64_t> frames;
        for (const Sent& s : sent)
            if (s.status == 0xF8)
                frames.push_back(s.frame);
        return frames;
    }

    MidiClockTicks ticks;
    std::vector<Sent> sent;
};

} // namespace

TEST_F(ClockTicks, TwentyFourABeatOnTheirFramesAcrossATempoChangeAtTheBarLine)
{
    mixer.setTempo(kBeat93, 4);
    play(100); // the grid starts with the loop, 100 frames in
    mixer.startVoice(markedLoop(4 * kBeat93, 0.25f, true));
    play(2 * static_cast<std::int64_t>(kBeat93) + 5000);
    // The change reaches the grid at the top of the next block and takes over at the bar after.
    const std::int64_t asked = mixer.framesRendered();
    mixer.setTempo(kBeat137, 4);
    play(8 * static_cast<std::int64_t>(kBeat137));

    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0].status, 0xF2) << "the song position first";
    EXPECT_EQ(sent[1].status, 0xFA);
    EXPECT_EQ(sent[0].frame, 100);
    EXPECT_EQ(sent[1].frame, 100);
    std::int64_t barLine = 4;
    while (100 + gridFrame(kBeat93, barLine) < asked)
        barLine += 4;
    const double changeAt = static_cast<double>(barLine) * kBeat93;
    const std::vector<std::int64_t> got = clocks();
    ASSERT_GT(got.size(), static_cast<std::size_t>(barLine * 24 + 4 * 24));
    for (std::size_t n = 0; n < got.size(); ++n) {
        const auto line = static_cast<std::int64_t>(n) / 24;
        const double exact =
            line < barLine
                ? static_cast<double>(n) * kBeat93 / 24.0
                : changeAt + static_cast<double>(static_cast<std::int64_t>(n) - barLine * 24) *
                                 kBeat137 / 24.0;
        ASSERT_EQ(got[n], 100 + static_cast<std::int64_t>(std::floor(exact))) << "clock " << n;
    }
}

TEST_F(ClockTicks, AStopEndsTheClockAndTheNextLoopStartsItAfresh)
{
    mixer.setTempo(kBeat93, 4);
    Voice* loop = mixer.startVoice(markedLoop(4 * kBeat93, 0.25f, true));
    play(30000);
    mixer.stopVoice(loop);
    play(30000);
    ASSERT_EQ(sent.back().status, 0xFC) << "nothing after the Stop";
    EXPECT_EQ(sent.back().frame, 30000); // the top of the block the stop came in
    EXPECT_FALSE(ticks.running());
    const std::size_t before = sent.size();

    mixer.startVoice(markedLoop(4 * kBeat93, 0.5f, true));
    play(1000);
    ASSERT_GT(sent.size(), before + 2);
    EXPECT_EQ(sent[before].status, 0xF2);
    EXPECT_EQ(sent[before + 1].status, 0xFA);
    EXPECT_EQ(sent[before + 2].status, 0xF8);
    EXPECT_EQ(sent[before + 2].frame, sent[before + 1].frame) << "the first clock on the Start";
    EXPECT_EQ(ticks.clocksSent(), 1) << "a clock lasts longer than the 1000 frames played";
}

TEST_F(ClockTicks, AClockSwitchedOnMidSongJoinsAtTheNextBeatWithItsSongPosition)
{
    mixer.setTempo(kBeat93, 4);
    mixer.startVoice(markedLoop(4 * kBeat93, 0.25f, true));
    play(static_cast<std::int64_t>(5 * kBeat93) + 100); // the grid has passed five beats
    ticks.reset();                                      // as the clock is switched on now
    sent.clear();
    play(static_cast<std::int64_t>(2 * kBeat93));
    ASSERT_GT(sent.size(), 3u);
    EXPECT_EQ(sent[0].status, 0xF2);
    EXPECT_EQ(sent[0].data, 6 * 4) << "the sixth beat's line, in sixteenths";
    EXPECT_EQ(sent[1].status, 0xFB) << "a Continue, not a Start";
    EXPECT_EQ(sent[2].status, 0xF8);
    EXPECT_EQ(sent[2].frame, sent[0].frame);
    EXPECT_EQ(sent[0].frame, static_cast<std::int64_t>(6 * kBeat93)) << "on the line's frame";
    EXPECT_EQ(clocks().size(), 24u + 1u) << "every clock of a beat after it";
}
