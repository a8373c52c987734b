// SPDX-License-Identifier: GPL-3.0-or-later
// The metronome and the tempo changes, rendered offline: clicks on the grid's lines with the
// bar's first accented, a count-in of one bar before the loop, a new beat taking over at a bar
// line, and a loop swapped for one at the new tempo on that line without a click.

#include "GridTestSupport.h"

#include <algorithm>

using namespace gridtest;

namespace {

// The largest jump between neighbouring left samples in [from, to).
float largestStep(const std::vector<float>& out, std::size_t from, std::size_t to)
{
    float largest = 0.0f;
    for (std::size_t f = std::max<std::size_t>(from, 1); f < to; ++f)
        largest = std::max(largest, std::fabs(out[2 * f] - out[2 * f - 2]));
    return largest;
}

float peakAfter(const std::vector<float>& clicks, std::size_t frame)
{
    float peak = 0.0f;
    for (std::size_t f = frame; f < std::min(clicks.size() / 2, frame + 2000); ++f)
        peak = std::max(peak, std::fabs(clicks[2 * f]));
    return peak;
}

// A loop of a 441 Hz sine on the left and its frame's index plus one on the right.
std::unique_ptr<SampleVoice> sineLoop(double cycle, bool anchors = false)
{
    const auto frames = static_cast<std::size_t>(std::ceil(cycle));
    auto data = std::make_unique<float[]>(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        data[2 * i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 441.0 * i / kRate));
        data[2 * i + 1] = static_cast<float>(i + 1);
    }
    auto voice = std::make_unique<SampleVoice>(
        std::make_shared<SampleBuffer>(std::move(data), frames), true, cycle);
    voice->anchorsGrid = anchors;
    return voice;
}

} // namespace

TEST_F(OfflineMixer, ClicksLandOnEveryBeatAndTheBarsFirstIsAccented)
{
    mixer.setTempo(kBeat137, 3);
    render(1234);
    mixer.setClickInMix(false);
    mixer.setMetronome(true, 0.5f); // nothing plays: the grid counts from here
    std::vector<float> clicks;
    const auto out = render(static_cast<std::int64_t>(10 * kBeat137), &clicks);
    for (float sample : out)
        ASSERT_EQ(sample, 0.0f) << "the clicks are kept out of the mix";
    const auto onsets = clickOnsets(clicks, 1234);
    ASSERT_EQ(onsets.size(), 10u);
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        EXPECT_EQ(onsets[k], gridFrame(kBeat137, static_cast<std::int64_t>(k), 1234)) << k;
        const float peak = peakAfter(clicks, static_cast<std::size_t>(onsets[k] - 1234));
        if (k % 3 == 0)
            EXPECT_GT(peak, 0.4f) << "the bar's first beat, loud";
        else
            EXPECT_TRUE(peak > 0.2f && peak < 0.35f) << k << ": " << peak;
    }
    EXPECT_GT(mixer.framesToNextBar(), 0);
    EXPECT_NEAR(mixer.beatFrames(), kBeat137, 1e-6);

    // Back in the mix (the default), and on the click bus as well.
    mixer.setClickInMix(true);
    const auto both = render(static_cast<std::int64_t>(3 * kBeat137), &clicks);
    EXPECT_EQ(both, clicks);
    EXPECT_EQ(clickOnsets(clicks).size(), 3u);
}

TEST_F(OfflineMixer, TheCountInClicksOneBarAndTheLoopStartsOnTheNextBarLine)
{
    mixer.setTempo(kBeat93, 4);
    mixer.setCountIn(true); // the metronome stays off
    mixer.setClickInMix(false);
    render(2000);
    Voice* loop = mixer.startVoice(markedLoop(4 * kBeat93, 0.5f, true));
    std::vector<float> clicks;
    auto out = render(1000, &clicks);
    EXPECT_FALSE(loop->began()) << "a bar of clicks comes first";
    const auto rest = render(static_cast<std::int64_t>(9 * kBeat93) - 1000, &clicks);
    out.insert(out.end(), rest.begin(), rest.end());

    const auto starts = cycleStarts(out, 0.5f, 2000);
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(starts[0], gridFrame(kBeat93, 4, 2000));
    EXPECT_EQ(starts[1], gridFrame(kBeat93, 8, 2000));
    EXPECT_TRUE(loop->began());
    for (std::int64_t f = 0; f < starts[0] - 2000; ++f)
        ASSERT_EQ(out[2 * static_cast<std::size_t>(f) + 1], 0.0f) << "no loop before " << f;
}

TEST_F(OfflineMixer, TheCountInsClicksAreTheBarBeforeTheLoop)
{
    mixer.setTempo(kBeat93, 4);
    mixer.setCountIn(true);
    mixer.setClickInMix(false);
    mixer.startVoice(markedLoop(4 * kBeat93, 0.5f, true));
    std::vector<float> all;
    std::vector<float> part;
    for (int i = 0; i < 12; ++i) {
        render(static_cast<std::int64_t>(kBeat93 * 0.75), &part);
        all.insert(all.end(), part.begin(), part.end());
    }
    const auto onsets = clickOnsets(all);
    ASSERT_EQ(onsets.size(), 4u) << "one bar, and nothing once the loop plays";
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(onsets[k], gridFrame(kBeat93, static_cast<std::int64_t>(k))) << k;
    EXPECT_GT(peakAfter(all, 0), peakAfter(all, static_cast<std::size_t>(onsets[1])));
}

TEST_F(OfflineMixer, ANewTempoTakesOverAtTheNextBarLine)
{
    mixer.setTempo(kBeat137, 4);
    mixer.setClickInMix(false);
    mixer.setMetronome(true, 0.5f);
    std::vector<float> clicks;
    std::vector<float> all;
    render(static_cast<std::int64_t>(5 * kBeat137) + 100, &all); // in the second bar
    mixer.setTempo(kBeat93, 4);
    render(10, &clicks);
    EXPECT_NEAR(mixer.beatFrames(), kBeat137, 1e-6) << "not before the bar line";
    all.insert(all.end(), clicks.begin(), clicks.end());
    render(static_cast<std::int64_t>(3 * kBeat137 + 6 * kBeat93), &clicks);
    all.insert(all.end(), clicks.begin(), clicks.end());
    EXPECT_NEAR(mixer.beatFrames(), kBeat93, 1e-6);

    const auto onsets = clickOnsets(all);
    ASSERT_GE(onsets.size(), 14u);
    for (std::size_t k = 0; k <= 8; ++k)
        EXPECT_EQ(onsets[k], gridFrame(kBeat137, static_cast<std::int64_t>(k))) << k;
    const double barLine = 8 * kBeat137;
    for (std::size_t j = 1; j <= 5; ++j)
        EXPECT_EQ(onsets[8 + j],
                  static_cast<std::int64_t>(barLine + static_cast<double>(j) * kBeat93))
            << j;
}

TEST_F(OfflineMixer, ALoopSwappedForItsNewTempoTakesOverOnTheBarLineWithoutAClick)
{
    const double oldCycle = 8 * kBeat137; // two bars at each tempo, the same 441 Hz
    const double newCycle = 8 * kBeat93;
    mixer.setTempo(kBeat137, 4);
    Voice* playing = mixer.startVoice(sineLoop(oldCycle, true));
    const auto lead = static_cast<std::int64_t>(2 * kBeat137) + 500;
    auto out = render(lead);
    Voice* swapped = mixer.swapAtBar(sineLoop(newCycle), playing, kBeat93);
    mixer.setMetronome(true, 0.5f);
    mixer.setClickInMix(false);
    std::vector<float> clicks;
    const auto rest = render(static_cast<std::int64_t>(4 * kBeat137 + 3 * kBeat93) - lead, &clicks);
    out.insert(out.end(), rest.begin(), rest.end());

    const std::int64_t bar = gridFrame(kBeat137, 4);
    const int fade = static_cast<int>(std::lround(kRate * Mixer::kSwapFadeSeconds));
    // After the fade only the new loop sounds, as far through its cycle as the old one was.
    const double into = static_cast<double>(bar) / oldCycle * newCycle;
    const auto position = static_cast<std::int64_t>(std::ceil(into));
    for (std::int64_t k = fade; k < fade + 100; ++k)
        ASSERT_EQ(out[2 * static_cast<std::size_t>(bar + k) + 1],
                  static_cast<float>(position + k + 1))
            << k;
    // Before the bar line only the old one.
    EXPECT_EQ(out[2 * static_cast<std::size_t>(bar - 1) + 1], static_cast<float>(bar));

    // No step at the seam beyond what the sine's own steps are and a fade adds to them.
    const float normal =
        largestStep(out, static_cast<std::size_t>(bar - 2000), static_cast<std::size_t>(bar));
    const float seam = largestStep(out, static_cast<std::size_t>(bar - 5),
                                   static_cast<std::size_t>(bar + fade + 5));
    EXPECT_GT(normal, 0.03f);
    EXPECT_LT(seam, 1.6f * normal);
    EXPECT_TRUE(playing->finished());
    EXPECT_TRUE(swapped->began());
    EXPECT_FALSE(swapped->finished());

    // The grid goes on from the bar line at the new beat.
    const auto onsets = clickOnsets(clicks, lead);
    ASSERT_GE(onsets.size(), 4u);
    EXPECT_EQ(onsets[0], gridFrame(kBeat137, 3)) << "the line after the metronome went on";
    EXPECT_EQ(onsets[1], bar);
    EXPECT_EQ(onsets[2], static_cast<std::int64_t>(4 * kBeat137 + kBeat93));
    EXPECT_EQ(onsets[3], static_cast<std::int64_t>(4 * kBeat137 + 2 * kBeat93));
    mixer.stopVoice(playing);
}
