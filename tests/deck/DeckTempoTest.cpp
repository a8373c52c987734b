// SPDX-License-Identifier: GPL-3.0-or-later
#include "deck/PadDeck.h"

#include "audio/sounds/StretchedSounds.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRate = 44100;

// A pad deck over an offline engine, with a loop on pad 1 whose tempo is known: one bar at
// 120 BPM (two seconds), a loud burst at its start and a quiet tone under it; also as an MP3 on
// pad 2.
class DeckTempoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine->start(kRate);
        std::vector<float> loop(2 * kRate);
        for (std::size_t i = 0; i < loop.size(); ++i)
            loop[i] = 0.1f * static_cast<float>(std::sin(2 * M_PI * 220.0 * i / kRate));
        for (int i = 0; i < 400; ++i) // a burst an MP3 keeps
            loop[static_cast<std::size_t>(i)] =
                0.9f * static_cast<float>(std::sin(2 * M_PI * 2000.0 * i / kRate));
        ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "Loop.wav", loop));
        ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "Loop.mp3", loop));
        const QString file = AppModul::SettingsFile;
        WriteSetting(AppModul::PadSection, "Sample 1", "Loop.wav", file);
        WriteSetting(AppModul::PadSection, "Tempo 1", "120", file);
        WriteSetting(AppModul::PadSection, "Bars 1", "1", file);
        WriteSetting(AppModul::PadSection, "Sample 2", "Loop.mp3", file);
        WriteSetting(AppModul::PadSection, "Tempo 2", "120", file);
        WriteSetting(AppModul::PadSection, "Bars 2", "1", file);
        deck = std::make_unique<PadDeck>(*engine);
    }
    void TearDown() override { deck.reset(); }

    // Lets the stretching worker finish what it was asked for, and its word reach the deck.
    void settleRenders()
    {
        const QDeadlineTimer deadline(60000);
        while (engine->stretched().busy() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
    }
    // Where the loop's clicks fall in `frames` rendered frames.
    std::vector<long> clicksIn(int frames)
    {
        const std::vector<float> out = Render(*engine, frames);
        std::vector<long> clicks;
        for (long i = 0; i < frames; ++i)
            if (std::abs(out[static_cast<std::size_t>(2 * i)]) > 0.45f &&
                (clicks.empty() || i - clicks.back() > kRate / 2))
                clicks.push_back(i);
        return clicks;
    }

    ProgramFolder folder;
    TestEngine engine;
    std::unique_ptr<PadDeck> deck;
};

TEST_F(DeckTempoTest, WithoutASessionTempoAPadPlaysAsRecorded)
{
    deck->press(0);
    const std::vector<long> clicks = clicksIn(5 * kRate);
    ASSERT_GE(clicks.size(), 2u);
    EXPECT_EQ(clicks[1] - clicks[0], 2 * kRate);
    EXPECT_TRUE(deck->DMC.sampleIsRendered());
}

TEST_F(DeckTempoTest, AtTheSessionTempoTheLoopLastsItsBarsAndUntilReadyPlaysAsRecorded)
{
    QSignalSpy notes(deck.get(), &PadDeck::note);
    deck->Tempo.setTempo(100.0); // one bar lasts 2.4 s now
    deck->press(0);              // before the worker could have rendered it
    if (!deck->DMC.sampleIsRendered()) {
        ASSERT_EQ(notes.size(), 1);
        EXPECT_EQ(notes[0][0].toString(),
                  "Pad 1 plays at its own tempo until its stretch is ready");
    }
    settleRenders();
    Render(*engine, 3 * kRate); // the render takes over at a bar line
    const std::vector<long> clicks = clicksIn(8 * kRate);
    ASSERT_GE(clicks.size(), 3u);
    EXPECT_NEAR(static_cast<double>(clicks[1] - clicks[0]), 2.4 * kRate, 200.0);
    EXPECT_NEAR(static_cast<double>(clicks[2] - clicks[1]), 2.4 * kRate, 200.0);
}

TEST_F(DeckTempoTest, APadTooFarFromTheSessionTempoPlaysAtItsOwnAndSaysSo)
{
    QSignalSpy notes(deck.get(), &PadDeck::note);
    deck->Tempo.setTempo(50.0); // 120 BPM at 50 would be more than twice as long
    deck->press(0);
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(
        notes[0][0].toString(),
        "Pad 1 (120.0 BPM) is too far from the session tempo to stretch: it plays at its own");
    const std::vector<long> clicks = clicksIn(5 * kRate);
    ASSERT_GE(clicks.size(), 2u);
    EXPECT_EQ(clicks[1] - clicks[0], 2 * kRate);
}

TEST_F(DeckTempoTest, AnMp3PadIsStretchedToo)
{
    deck->Tempo.setTempo(100.0);
    settleRenders();
    deck->press(1);
    EXPECT_TRUE(deck->DMC.SampleIsActive()) << "its render plays from memory";
    const std::vector<long> clicks = clicksIn(8 * kRate);
    ASSERT_GE(clicks.size(), 3u);
    EXPECT_NEAR(static_cast<double>(clicks[2] - clicks[1]), 2.4 * kRate, 200.0);
}

TEST_F(DeckTempoTest, ATempoChangeWhileALoopPlaysTakesOverAtABarLine)
{
    deck->Tempo.setTempo(120.0); // the loop's own: no stretch
    deck->press(0);
    Render(*engine, kRate);
    deck->Tempo.setTempo(80.0); // 3 s a bar
    settleRenders();
    Render(*engine, 4 * kRate);
    const std::vector<long> clicks = clicksIn(10 * kRate);
    ASSERT_GE(clicks.size(), 3u);
    EXPECT_NEAR(static_cast<double>(clicks[1] - clicks[0]), 3.0 * kRate, 200.0);
    deck->Tempo.setTempo(0.0); // off: back to its own tempo at the next bar line
    settleRenders();
    Render(*engine, 4 * kRate);
    const std::vector<long> back = clicksIn(6 * kRate);
    ASSERT_GE(back.size(), 2u);
    EXPECT_NEAR(static_cast<double>(back[1] - back[0]), 2.0 * kRate, 200.0);
}

TEST_F(DeckTempoTest, APlayingPadsOwnKeyIsHeardOnceItsRenderIsReady)
{
    // The tone under the loop's burst, by the median gap between its zero crossings over half
    // a second (the burst's short gaps do not move a median).
    const auto toneHz = [this] {
        const std::vector<float> out = Render(*engine, kRate / 2);
        std::vector<double> gaps;
        double last = -1.0;
        for (std::size_t i = 2; i < out.size(); i += 2) {
            if ((out[i - 2] < 0.0f) == (out[i] < 0.0f))
                continue;
            const double at = static_cast<double>(i / 2) - out[i] / (out[i] - out[i - 2]);
            if (last >= 0.0)
                gaps.push_back(at - last);
            last = at;
        }
        std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2),
                         gaps.end());
        return kRate / (2.0 * gaps[gaps.size() / 2]);
    };
    deck->press(0);
    EXPECT_NEAR(toneHz(), 220.0, 1.0);
    deck->setPadKey(0, {12, 0}); // an octave up, at its own tempo
    EXPECT_EQ(deck->padKey(0), (PadKey{12, 0}));
    settleRenders();
    Render(*engine, 2 * kRate); // without a session tempo it takes over at once
    EXPECT_NEAR(toneHz(), 440.0, 2.0);
}

// Pads that never stretch, on the session's grid: a switch waits for the next beat or bar line
// and lands on its very frame.
TEST_F(DeckTempoTest, ASwitchOnTheNextBeatOrBarLandsOnItsFrame)
{
    const QString file = AppModul::SettingsFile;
    ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "Low.wav", Constant(0.1f, kRate)));
    ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "High.wav", Constant(0.3f, kRate)));
    for (const auto& [pad, name] : {std::pair{3, "Low.wav"}, std::pair{4, "High.wav"}}) {
        WriteSetting(AppModul::PadSection, QStringLiteral("Sample %1").arg(pad), name, file);
        WriteSetting(AppModul::PadSection, QStringLiteral("Tempo %1").arg(pad), "none", file);
    }
    deck->Tempo.setTempo(120.0); // a beat is 22050 frames, a bar 88200
    for (const auto& [mode, line] : {std::pair{PadDeck::SwitchMode::OnNextBeat, 44100},
                                     std::pair{PadDeck::SwitchMode::OnNextBar, 88200}}) {
        PadDeck::StoreSwitchMode(mode);
        deck->press(2);
        std::vector<float> out = Render(*engine, 30000);
        deck->press(3); // waits for the line
        const std::vector<float> rest = Render(*engine, 100000);
        out.insert(out.end(), rest.begin(), rest.end());
        // At the pads' volume of 80, from 16-bit files.
        EXPECT_NEAR(out[2 * (line - 1)], 0.08f, 1e-4f) << "the old pad to the frame before";
        EXPECT_NEAR(out[2 * line], 0.24f, 1e-4f) << "the new one from the line on";
        deck->press(3); // stop, for the next round
        Render(*engine, kRate);
    }
}

} // namespace
