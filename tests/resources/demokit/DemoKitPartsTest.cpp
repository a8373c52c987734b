// SPDX-License-Identifier: GPL-3.0-or-later
// The generator's parts on their own: the looping canvas, effects run round the loop, drum
// patterns, and writing and reading the files.

#include "DemoKitDesign.h"
#include "DemoKitFiles.h"
#include "LoopCanvas.h"
#include "Reverb.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

namespace {

using demokit::FileKind;
using demokit::LoopCanvas;

std::filesystem::path folderOf(const QTemporaryDir& dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

// ---- The canvas: what rings past the end comes back at the start ----

TEST(Canvas, SoundLandsModuloTheLoop)
{
    const struct {
        int start;
        std::vector<int> landsOn; // the frames the three samples 1, 2, 3 end up on
    } cases[] = {{3, {3, 4, 5}}, {8, {8, 9, 0}}, {21, {1, 2, 3}}, {-1, {9, 0, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        LoopCanvas canvas(10);
        canvas.add(c.start, {1.0, 2.0, 3.0}, 1.0);
        std::vector<double> expected(10, 0.0);
        for (std::size_t i = 0; i < c.landsOn.size(); ++i)
            expected[static_cast<std::size_t>(c.landsOn[i])] += static_cast<double>(i + 1);
        for (int frame = 0; frame < 10; ++frame) {
            EXPECT_DOUBLE_EQ(canvas.left(frame), expected[static_cast<std::size_t>(frame)]);
            EXPECT_DOUBLE_EQ(canvas.right(frame), expected[static_cast<std::size_t>(frame)]);
        }
    }
}

TEST(Canvas, SoundLongerThanTheLoopPilesUp)
{
    LoopCanvas canvas(4);
    canvas.add(0, std::vector<double>(10, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(canvas.left(0), 3.0);
    EXPECT_DOUBLE_EQ(canvas.left(1), 3.0);
    EXPECT_DOUBLE_EQ(canvas.left(2), 2.0);
    EXPECT_DOUBLE_EQ(canvas.left(3), 2.0);
}

TEST(Canvas, PanKeepsPowerAndHardPanIsOneSide)
{
    for (double pan : {-1.0, -0.4, 0.0, 0.7, 1.0}) {
        LoopCanvas canvas(2);
        canvas.add(0, {1.0}, 1.0, pan);
        EXPECT_NEAR(canvas.left(0) * canvas.left(0) + canvas.right(0) * canvas.right(0), 2.0, 1e-12)
            << "pan " << pan;
    }
    LoopCanvas left(1);
    left.add(0, {1.0}, 1.0, -1.0);
    EXPECT_NEAR(left.right(0), 0.0, 1e-12);
    LoopCanvas centre(1);
    centre.add(0, {0.5}, 1.0, 0.0);
    EXPECT_DOUBLE_EQ(centre.left(0), centre.right(0));
}

TEST(Canvas, RemoveDcLeavesZeroMeanAndTheShape)
{
    LoopCanvas canvas(4);
    canvas.add(0, {1.0, 2.0, 3.0, 6.0}, 1.0);
    canvas.removeDc();
    EXPECT_DOUBLE_EQ(canvas.left(0), -2.0);
    EXPECT_DOUBLE_EQ(canvas.left(3), 3.0);
    EXPECT_NEAR(canvas.left(0) + canvas.left(1) + canvas.left(2) + canvas.left(3), 0.0, 1e-12);
}

// ---- Effects run round the loop ----

// An echo of a note near the end, and a reverb tail, come round to the start exactly as they
// would when the loop plays on: the result is the same however often the loop has gone round.
TEST(EffectsRoundTheLoop, TailOfTheEndRingsAtTheStartInSteadyState)
{
    constexpr int kFrames = demokit::kBarFrames;
    LoopCanvas dry(kFrames);
    dry.add(kFrames - 100, {1.0}, 1.0);

    demokit::PingPongDelay echo(1000, 0.5, 20000.0);
    const LoopCanvas echoed = demokit::processLooped(dry, echo);
    // First echo left, 1000 frames after the note, which is 900 frames into the next pass.
    EXPECT_GT(std::abs(echoed.left(899)) + std::abs(echoed.left(900)), 0.5);
    EXPECT_NEAR(echoed.right(900), 0.0, 1e-9);

    demokit::Reverb usual(0.88, 0.4, 0.01);
    demokit::Reverb longer(0.88, 0.4, 0.01);
    const LoopCanvas warmed = demokit::processLooped(dry, usual);
    const LoopCanvas steady = demokit::processLooped(dry, longer, 6);
    double largest = 0.0;
    for (int i = 0; i < kFrames; ++i)
        largest = std::max(largest, std::abs(steady.left(i)));
    double start = 0.0;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_NEAR(warmed.left(i), steady.left(i), 1e-4 * largest) << "frame " << i;
        ASSERT_NEAR(warmed.right(i), steady.right(i), 1e-4 * largest) << "frame " << i;
        if (i < 4000)
            start = std::max(start, std::abs(steady.left(i)));
    }
    // The tail is really there at the start, not silence.
    EXPECT_GT(start, 0.1 * largest);
}

// ---- Drum patterns ----

TEST(Pattern, CharactersAreVelocitiesAndOffSixteenthsShuffle)
{
    const std::vector<demokit::Hit> hits = demokit::patternHits("Xx.o|....|....|....");
    // One bar written, repeated over all four.
    ASSERT_EQ(hits.size(), 3u * demokit::kBars);
    EXPECT_EQ(hits[0].step, 0);
    EXPECT_EQ(hits[0].frame, 0);
    EXPECT_DOUBLE_EQ(hits[0].velocity, 1.0);
    EXPECT_EQ(hits[1].step, 1);
    EXPECT_DOUBLE_EQ(hits[1].velocity, 0.75);
    // 1.1 sixteenths of 5512.5 frames: the off sixteenth comes a tenth late.
    EXPECT_EQ(hits[1].frame, 6064);
    EXPECT_EQ(hits[2].step, 3);
    EXPECT_DOUBLE_EQ(hits[2].velocity, 0.45);
    EXPECT_EQ(hits[3].step, 16);
    EXPECT_EQ(hits[3].frame, demokit::kBarFrames);
    EXPECT_EQ(hits.back().step, 3 * 16 + 3);
    EXPECT_TRUE(demokit::patternHits("").empty());
    EXPECT_TRUE(demokit::patternHits("....").empty());
}

// ---- Files ----

TEST(Pcm, RoundsClampsAndDithersTheSameEveryTime)
{
    LoopCanvas loop(3);
    loop.left(0) = 1.0;
    loop.right(0) = -1.0;
    loop.left(1) = 1.7;
    loop.right(1) = -3.0;
    loop.left(2) = 0.25;
    const std::vector<std::int16_t> pcm = demokit::toPcm16(loop, 7);
    ASSERT_EQ(pcm.size(), 6u);
    EXPECT_GE(pcm[0], 32766);
    EXPECT_LE(pcm[1], -32766);
    EXPECT_EQ(pcm[2], 32767);
    EXPECT_EQ(pcm[3], -32767);
    EXPECT_NEAR(pcm[4], 8192, 1);
    EXPECT_NEAR(pcm[5], 0, 1);
    EXPECT_EQ(pcm, demokit::toPcm16(loop, 7));
}

// A length that is no whole number of MP3 frames (1152 samples): the decoded loop must still be
// exactly as long as the one written, and line up with it.
TEST(LoopFiles, Mp3AndWaveReadBackAtTheirExactLength)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr int kFrames = 44100 + 77;
    LoopCanvas loop(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        loop.left(i) = 0.5 * std::sin(2.0 * 3.14159265358979 * 220.0 * i / 44100.0);
        loop.right(i) = 0.3 * std::sin(2.0 * 3.14159265358979 * 330.0 * i / 44100.0);
    }
    for (FileKind kind : {FileKind::Mp3, FileKind::Wave}) {
        const auto path = folderOf(dir) / (kind == FileKind::Mp3 ? "loop.mp3" : "loop.wav");
        std::string error;
        ASSERT_TRUE(demokit::writeLoop(path, loop, kind, error)) << error;
        EXPECT_FALSE(std::filesystem::exists(path.string() + ".part"));
        const auto back = demokit::readLoop(path);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->frames(), kFrames);
        double worst = 0.0;
        for (int i = 0; i < std::min(kFrames, back->frames()); ++i)
            worst = std::max({worst, std::abs(back->left(i) - loop.left(i)),
                              std::abs(back->right(i) - loop.right(i))});
        EXPECT_LT(worst, kind == FileKind::Mp3 ? 0.05 : 3.0 / 32767.0);
    }
}

TEST(LoopFiles, MissingFoldersAndFilesAndJunkGiveNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto path = folderOf(dir) / "no such folder" / "loop.wav";
    std::string error;
    EXPECT_FALSE(demokit::writeLoop(path, LoopCanvas(100), FileKind::Wave, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folderOf(dir)));

    EXPECT_FALSE(demokit::readLoop(folderOf(dir) / "missing.wav"));
    const auto junk = folderOf(dir) / "junk.wav";
    std::FILE* file = std::fopen(junk.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("RIFF not really a wave file", file);
    std::fclose(file);
    EXPECT_FALSE(demokit::readLoop(junk));
}

} // namespace
