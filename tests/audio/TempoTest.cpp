// SPDX-License-Identifier: GPL-3.0-or-later
// A loop's tempo: the bars it is fitted to from what the beat tracker hears (octave errors
// included), a tapped tempo, and what the tracker hears in a click track and in the demo kit.

#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/SoundFile.h"
#include "audio/tempo/TempoDetect.h"
#include "audio/tempo/TempoFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

namespace {

constexpr int kRate = 44100;

void expectTempo(std::optional<LoopTempo> tempo, double bpm, int bars)
{
    ASSERT_TRUE(tempo);
    EXPECT_NEAR(tempo->bpm, bpm, 1e-9);
    EXPECT_EQ(tempo->bars, bars);
}

// A kick-like thump on every beat, a hat on every off-beat: what any tracker locks on to.
std::vector<float> clickTrack(double bpm, int beats)
{
    const double beatFrames = 60.0 / bpm * kRate;
    const auto frames = static_cast<std::size_t>(std::llround(beatFrames * beats));
    std::vector<float> stereo(frames * 2, 0.0f);
    unsigned noise = 1;
    for (std::size_t i = 0; i < frames; ++i) {
        const double inBeat = std::fmod(static_cast<double>(i), beatFrames);
        const double offBeat = std::fmod(static_cast<double>(i) + beatFrames / 2, beatFrames);
        const double t = inBeat / kRate;
        double v = 0.8 * std::exp(-t * 30.0) * std::sin(2.0 * M_PI * 60.0 * t);
        noise = noise * 1664525u + 1013904223u;
        v += 0.2 * std::exp(-offBeat / kRate * 200.0) * ((noise >> 9) / 4194304.0 - 1.0);
        stereo[2 * i] = stereo[2 * i + 1] = static_cast<float>(v);
    }
    return stereo;
}

TEST(TempoFit, WholeBarsAtTheDetectedTempoOrAnOctaveOfIt)
{
    expectTempo(FitLoopTempo(119.3, 8.0), 120.0, 4); // a 4-bar loop at 120
    expectTempo(FitLoopTempo(60.2, 8.0), 120.0, 4);  // tracker heard half time
    expectTempo(FitLoopTempo(240.5, 8.0), 120.0, 4); // or double time
    expectTempo(FitLoopTempo(95.6, 5.0), 96.0, 2);   // 96 BPM, 2 bars
    expectTempo(FitLoopTempo(80.0, 8.0), 120.0, 4);  // heard in three against two
    // 90 and 180 fit 8 s too (3 and 6 bars), but 120 is what was heard: it wins over both.
    expectTempo(FitLoopTempo(120.0, 8.0), 120.0, 4);
    // A long take: 32 bars at 128.
    expectTempo(FitLoopTempo(127.7, 60.0), 128.0, 32);
}

TEST(TempoFit, NoFitFallsBackToTheNearestWholeBars)
{
    // At 8.5 s no reading of 120 (80, 90, 120, 160, 180) gives whole bars within 1 %.
    expectTempo(FitLoopTempo(120.0, 8.5), 4 * 240.0 / 8.5, 4);
    // Below one bar: one bar, if that is still a tempo.
    expectTempo(FitLoopTempo(120.0, 1.4), 240.0 / 1.4, 1);
    EXPECT_FALSE(FitLoopTempo(120.0, 0.5)); // one bar in half a second: 480 BPM
}

TEST(TempoFit, NonsenseGivesNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [bpm, seconds] : std::vector<std::pair<double, double>>{{0.0, 8.0},
                                                                             {-120.0, 8.0},
                                                                             {nan, 8.0},
                                                                             {inf, 8.0},
                                                                             {120.0, 0.0},
                                                                             {120.0, -8.0},
                                                                             {120.0, nan},
                                                                             {120.0, inf},
                                                                             {5000.0, 8.0},
                                                                             {120.0, 1e9}})
        EXPECT_FALSE(FitLoopTempo(bpm, seconds)) << bpm << " BPM, " << seconds << " s";
}

TEST(TempoFit, BarsAndTempo)
{
    EXPECT_DOUBLE_EQ(TempoForBars(4, 8.0).bpm, 120.0);
    EXPECT_DOUBLE_EQ(TempoForBars(3, 7.5).bpm, 96.0);
    EXPECT_EQ(BarsAtTempo(120.0, 8.0), 4);
    EXPECT_EQ(BarsAtTempo(120.0, 9.1), 5);
    EXPECT_EQ(BarsAtTempo(120.0, 0.2), 1);
    EXPECT_EQ(BarsAtTempo(std::numeric_limits<double>::quiet_NaN(), 8.0), 1);
}

TEST(TapTempo, MedianOfTheLastTapsAndAFreshCountAfterAPause)
{
    TapTempo tap;
    EXPECT_FALSE(tap.bpm());
    tap.tap(10.0);
    EXPECT_FALSE(tap.bpm()); // one tap is no interval
    tap.tap(10.5);
    ASSERT_TRUE(tap.bpm());
    EXPECT_DOUBLE_EQ(*tap.bpm(), 120.0);
    // One late tap among steady ones does not move the reading.
    tap.tap(11.0);
    tap.tap(11.7);
    tap.tap(12.2);
    tap.tap(12.7);
    EXPECT_DOUBLE_EQ(*tap.bpm(), 120.0);
    // Only the last 8 taps count: a steady 100 BPM takes over.
    for (int i = 1; i <= 8; ++i)
        tap.tap(12.7 + 0.6 * i);
    EXPECT_NEAR(*tap.bpm(), 100.0, 1e-9);
    // After a pause of over 2 s the count starts afresh.
    tap.tap(30.0);
    EXPECT_FALSE(tap.bpm());
    tap.tap(30.4);
    EXPECT_NEAR(*tap.bpm(), 150.0, 1e-9);
    tap.reset();
    EXPECT_FALSE(tap.bpm());
}

TEST(TempoDetect, ClickTracksAtTheirTempo)
{
    for (const double bpm : {96.0, 120.0, 140.0}) {
        const std::vector<float> loop = clickTrack(bpm, 8); // two bars
        const auto heard = AnalyseLoop(loop.data(), loop.size() / 2, kRate);
        ASSERT_TRUE(heard) << bpm;
        EXPECT_NEAR(heard->bpm, bpm, 1e-6);
        EXPECT_EQ(heard->bars, 2);
    }
}

TEST(TempoDetect, SilenceTinyInputAndNaNsGiveNothingWithoutACrash)
{
    const std::vector<float> silence(kRate * 4 * 2, 0.0f);
    EXPECT_FALSE(DetectBpm(silence.data(), silence.size() / 2, kRate));
    const float one[2] = {0.5f, 0.5f};
    EXPECT_FALSE(DetectBpm(one, 1, kRate));
    EXPECT_FALSE(DetectBpm(nullptr, 1000, kRate));
    EXPECT_FALSE(AnalyseLoop(silence.data(), silence.size() / 2, 0));
    std::vector<float> broken(kRate * 4 * 2, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(DetectBpm(broken.data(), broken.size() / 2, kRate));
    // Beats with NaNs between them: the NaNs are heard as silence.
    std::vector<float> clicks = clickTrack(120.0, 8);
    for (std::size_t i = 1000; i < clicks.size(); i += 7919)
        clicks[i] = std::numeric_limits<float>::infinity();
    const auto heard = AnalyseLoop(clicks.data(), clicks.size() / 2, kRate);
    ASSERT_TRUE(heard);
    EXPECT_NEAR(heard->bpm, 120.0, 1e-6);
}

// The demo loops are written at 120 BPM, four bars each: what a user's first loops are heard at.
TEST(TempoDetect, DemoKitLoopsAre120Bpm)
{
    int loops = 0;
    for (const auto& file : std::filesystem::directory_iterator(QUENDEL_DEMO_SOUNDS_DIR)) {
        std::shared_ptr<const SampleBuffer> sound;
        const std::string name = file.path().filename().string();
        if (name.find(" 120") == std::string::npos)
            continue;
        ASSERT_EQ(decodeSample(file.path().string(), kRate, std::size_t{1} << 30, sound),
                  DecodeResult::Ok)
            << name;
        const auto heard = AnalyseLoop(sound->data(), sound->frames(), kRate);
        ASSERT_TRUE(heard) << name;
        EXPECT_NEAR(heard->bpm, 120.0, 1e-6) << name;
        EXPECT_EQ(heard->bars, 4) << name;
        ++loops;
    }
    EXPECT_EQ(loops, 6);
}

} // namespace
