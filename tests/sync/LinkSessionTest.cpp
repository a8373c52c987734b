// SPDX-License-Identifier: GPL-3.0-or-later
// Quendel and another Link player in the test's own network namespace: they find each other,
// each follows the other's tempo, a loop launched from silence starts on the session's bar line
// as the other player counts it, and the deck joins at the session's tempo and starts and stops
// with the other player.

#include "sync/LinkSession.h"
#include "audio/GridTestSupport.h"
#include "audio/mixer/SharedTimeline.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"
#include "support/AudioTestKit.h"
#include "support/OwnNetwork.h"
#include "support/ProgramFolder.h"
#include "support/TestEngine.h"
#include "sync/LinkDeck.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <ableton/Link.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace gridtest;
using std::chrono::microseconds;

namespace {

// Discovery over the loopback takes a second or so; this is far more than it ever needs.
constexpr int kDeadlineMs = 30000;
// Link keeps a tempo as whole microseconds a beat: 133 BPM comes back as 132.99993.
constexpr double kLinkTempoStep = 1e-3;

bool sameTempo(double a, double b)
{
    return std::abs(a - b) < kLinkTempoStep;
}

bool waitFor(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(kDeadlineMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

double tempoOf(const ableton::Link& link)
{
    return link.captureAppSessionState().tempo();
}

void commitTempo(ableton::Link& link, double bpm)
{
    auto state = link.captureAppSessionState();
    state.setTempo(bpm, link.clock().micros());
    link.commitAppSessionState(state);
}

void commitPlaying(ableton::Link& link, bool playing)
{
    auto state = link.captureAppSessionState();
    state.setIsPlaying(playing, link.clock().micros());
    link.commitAppSessionState(state);
}

// How far from the nearest bar line a player counting with `beatAt` hears the moment `heard`
// (microseconds on Link's clock), in frames of `beat`.
double offBarFrames(double heard, const LinkSession& session, double beat,
                    const std::function<double(microseconds)>& beatAt)
{
    const double whole = std::floor(heard);
    const double counted = beatAt(microseconds(static_cast<std::int64_t>(whole))) +
                           (heard - whole) * session.tempo() / 60e6;
    return (counted - 4.0 * std::round(counted / 4.0)) * beat;
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!OwnNetworkReady())
            GTEST_SKIP() << "no network namespace of the test's own (needs root and unshare): "
                            "Link is never started outside one";
    }
};

} // namespace

TEST_F(LinkTest, TwoPlayersFindEachOtherAndFollowEachOthersTempo)
{
    LinkSession quendel(120.0);
    QSignalSpy peers(&quendel, &LinkSession::peersChanged);
    QSignalSpy tempos(&quendel, &LinkSession::tempoChanged);
    ableton::Link other(120.0);
    other.enable(true);
    ASSERT_TRUE(waitFor([&] { return quendel.peers() == 1 && other.numPeers() == 1; }));
    ASSERT_TRUE(waitFor([&] { return !peers.isEmpty() && peers.last().at(0).toInt() == 1; }));

    quendel.setTempo(133.0);
    EXPECT_TRUE(waitFor([&] { return sameTempo(tempoOf(other), 133.0); }));

    tempos.clear();
    commitTempo(other, 97.25);
    ASSERT_TRUE(waitFor(
        [&] { return !tempos.isEmpty() && sameTempo(tempos.last().at(0).toDouble(), 97.25); }));
    EXPECT_TRUE(sameTempo(quendel.tempo(), 97.25));
    // Told back what it already has (the deck's rounding), the session stays as it was set.
    const double set = quendel.tempo();
    quendel.setTempo(97.25 + LinkSession::kSameTempo / 2);
    EXPECT_EQ(quendel.tempo(), set);
}

TEST_F(LinkTest, ALoopLaunchedFromSilenceStartsOnTheSharedBar)
{
    LinkSession quendel(111.0);
    ableton::Link other(111.0);
    other.enable(true);
    ASSERT_TRUE(waitFor([&] { return quendel.peers() == 1 && other.numPeers() == 1; }));

    // Heard with and without an output that holds sound ahead.
    for (const int latencyMicros : {0, 12345}) {
        SCOPED_TRACE(latencyMicros);
        quendel.setOutputLatency(microseconds(latencyMicros));
        Mixer mixer;
        mixer.start(kRate, true);
        const double beat = kRate * 60.0 / quendel.tempo();
        const microseconds frameZero = quendel.now();
        mixer.setTempo(beat);
        mixer.setTimeline(quendel.timeline(frameZero));
        std::vector<float> out(2);
        mixer.render(out.data(), 1);
        mixer.startVoice(markedLoop(4 * beat, 1.0f, true));
        const auto frames = static_cast<std::size_t>(std::ceil(9 * beat));
        out.assign(frames * 2, 0.0f);
        for (std::size_t done = 0; done < frames; done += 512)
            mixer.render(out.data() + done * 2,
                         static_cast<int>(std::min<std::size_t>(512, frames - done)));
        const auto starts = cycleStarts(out, 1.0f, 1);
        ASSERT_GE(starts.size(), 2u);

        // Where each player counts the loop's first frames as they reach the speakers: this one
        // within a frame or two; the other as well, give or take how far apart Link measures
        // the two clocks right after they met (some tens of microseconds).
        for (const std::int64_t start : {starts[0], starts[1]}) {
            const double heard = static_cast<double>(frameZero.count()) +
                                 static_cast<double>(start) * 1e6 / kRate + latencyMicros;
            const double here = offBarFrames(heard, quendel, beat,
                                             [&](microseconds t) { return quendel.beatAt(t); });
            const double there = offBarFrames(heard, quendel, beat, [&](microseconds t) {
                return other.captureAppSessionState().beatAtTime(t, 4.0);
            });
            EXPECT_LE(std::abs(here), 2.0);
            EXPECT_LE(std::abs(there), 4.0);
        }
        mixer.stop();
    }
}

TEST_F(LinkTest, TheDeckJoinsAtTheSessionsTempoAndStartsAndStopsWithTheOthers)
{
    ProgramFolder folder;
    TestEngine engine;
    engine->start(kRate);
    ASSERT_TRUE(
        WriteTestSound(folder.soundsFolder() + "Loop.wav", std::vector<float>(kRate, 0.1f)));
    WriteSetting(AppModul::PadSection, "Sample 1", "Loop.wav", AppModul::SettingsFile);
    PadDeck deck(*engine);
    ASSERT_EQ(deck.Tempo.now().tempo, 0.0);

    ableton::Link other(97.5);
    other.enable(true);
    other.enableStartStopSync(true);
    auto link = std::make_unique<LinkDeck>(deck);
    ASSERT_TRUE(waitFor([&] { return link->peers() == 1; }));
    // Whichever player's tempo the session settled on, the deck, which had none, plays at it.
    EXPECT_TRUE(waitFor([&] {
        return deck.Tempo.now().tempo > 0.0 && sameTempo(deck.Tempo.now().tempo, tempoOf(other));
    }));
    commitTempo(other, 97.5);
    EXPECT_TRUE(waitFor([&] { return deck.Tempo.now().tempo == 97.5; }));

    deck.Tempo.setTempo(104.0);
    EXPECT_TRUE(waitFor([&] { return sameTempo(tempoOf(other), 104.0); }));

    link->setStartStopSync(true);
    deck.press(0);
    deck.release(0);
    ASSERT_EQ(deck.ActivePad, 0);
    EXPECT_TRUE(waitFor([&] { return other.captureAppSessionState().isPlaying(); }));
    deck.press(0);
    deck.release(0);
    EXPECT_TRUE(waitFor([&] { return !other.captureAppSessionState().isPlaying(); }));

    commitPlaying(other, true);
    EXPECT_TRUE(waitFor([&] { return deck.ActivePad == 0; })) << "the pad that played last";
    commitPlaying(other, false);
    EXPECT_TRUE(waitFor([&] { return deck.ActivePad == PadDeck::kNoPad; }));

    // Switched off, Link is gone: the other player is alone again.
    link.reset();
    EXPECT_TRUE(waitFor([&] { return other.numPeers() == 0; }));
}
