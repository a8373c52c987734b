// SPDX-License-Identifier: GPL-3.0-or-later
#include "deck/TempoScout.h"

#include "support/AudioTestKit.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A drum loop of `bars` 4/4 bars at `bpm`: a low thump on every beat (louder on the first of
// each bar) and a short tick between the beats.
std::vector<float> DrumLoop(double bpm, int bars, int rate)
{
    const auto beat = 60.0 / bpm * rate;
    const auto frames = static_cast<int>(std::lround(beat * 4 * bars));
    std::vector<float> samples(static_cast<std::size_t>(frames), 0.0f);
    for (int hit = 0; hit < 8 * bars; ++hit) {
        const auto start = static_cast<int>(std::lround(hit * beat / 2));
        const bool onBeat = hit % 2 == 0;
        const float level = hit % 8 == 0 ? 0.9f : onBeat ? 0.7f : 0.25f;
        const double frequency = onBeat ? 70.0 : 3000.0;
        const int length = onBeat ? rate / 8 : rate / 50;
        for (int i = 0; i < length && start + i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            samples[static_cast<std::size_t>(start + i)] +=
                static_cast<float>(level * std::exp(-t * (onBeat ? 30.0 : 300.0)) *
                                   std::sin(2 * M_PI * frequency * t));
        }
    }
    return samples;
}

TEST(TempoScout, FindsALoopsTempoAndBarsAndNothingInSilenceOrBadFiles)
{
    QTemporaryDir dir;
    const QString loop = dir.filePath("Loop 96.wav");
    ASSERT_TRUE(WriteTestSound(loop, DrumLoop(96.0, 4, 44100)));
    const PadTempo found = TempoScout::Listen(loop.toStdString());
    EXPECT_EQ(found.kind, PadTempo::Kind::Set);
    EXPECT_NEAR(found.bpm, 96.0, 0.1);
    EXPECT_EQ(found.bars, 4);

    const QString silence = dir.filePath("Silence.wav");
    ASSERT_TRUE(WriteTestSound(silence, std::vector<float>(44100 * 4, 0.0f)));
    EXPECT_EQ(TempoScout::Listen(silence.toStdString()).kind, PadTempo::Kind::None);
    EXPECT_EQ(TempoScout::Listen(dir.filePath("missing.wav").toStdString()).kind,
              PadTempo::Kind::None);
    QFile junk(dir.filePath("Junk.wav"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("RIFF....WAVEfmt not really a sound");
    junk.close();
    EXPECT_EQ(TempoScout::Listen(junk.fileName().toStdString()).kind, PadTempo::Kind::None);
}

TEST(TempoScout, TellsWhatItFoundOnTheUiThreadAndTheNewestRequestForAPadWins)
{
    QTemporaryDir dir;
    const QString slow = dir.filePath("Slow.wav");
    const QString fast = dir.filePath("Fast.wav");
    ASSERT_TRUE(WriteTestSound(slow, DrumLoop(90.0, 2, 44100)));
    ASSERT_TRUE(WriteTestSound(fast, DrumLoop(140.0, 4, 44100)));

    TempoScout scout;
    QSignalSpy found(&scout, &TempoScout::found);
    scout.find(4, "Slow.wav", slow.toStdString());
    scout.find(9, "Fast.wav", fast.toStdString());
    ASSERT_TRUE(found.wait(60000));
    while (found.size() < 2)
        ASSERT_TRUE(found.wait(60000));
    EXPECT_FALSE(scout.busy());
    for (const QList<QVariant>& told : found) {
        const auto tempo = told[2].value<PadTempo>();
        if (told[0].toInt() == 4) {
            EXPECT_EQ(told[1].toString(), "Slow.wav");
            EXPECT_NEAR(tempo.bpm, 90.0, 0.1);
        } else {
            EXPECT_EQ(told[0].toInt(), 9);
            EXPECT_NEAR(tempo.bpm, 140.0, 0.1);
            EXPECT_EQ(tempo.bars, 4);
        }
    }
}

} // namespace
