// SPDX-License-Identifier: GPL-3.0-or-later
// Following JACK's transport on the UI side: what the process thread noted becomes the session
// tempo and starts and stops the loop (the transport itself is heard in the JACK tests).

#include "deck/SessionSync.h"
#include "deck/PadDeck.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>

namespace {

class SessionSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine->start(44100);
        ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "A.wav", std::vector<float>(8820)));
        WriteSetting(AppModul::PadSection, "Sample 3", "A.wav", AppModul::SettingsFile);
        WriteSetting(AppModul::PadSection, "Sample 5", "A.wav", AppModul::SettingsFile);
        deck = std::make_unique<PadDeck>(*engine);
    }
    void TearDown() override { deck.reset(); }
    JackTransportShare& transport() { return engine->host().transport(); }

    ProgramFolder folder;
    TestEngine engine;
    std::unique_ptr<PadDeck> deck;
};

} // namespace

TEST_F(SessionSyncTest, FollowingTheTransportSetsItsTempoOnChangeAndStartsAndStopsTheLastPad)
{
    SessionSync sync(*deck);
    transport().noteTransport(true, 128.0);
    sync.look();
    EXPECT_EQ(deck->ActivePad, PadDeck::kNoPad) << "off by default";
    WriteSetting(AppModul::AppTitle, "JackTransport", " Follow", AppModul::SettingsFile);
    sync.reload();
    EXPECT_EQ(transport().mode(), JackTransportShare::Mode::Follow);
    transport().noteTransport(false, 127.996);
    sync.look();
    EXPECT_EQ(deck->Tempo.now().tempo, 128.0) << "rounded to a hundredth";
    EXPECT_EQ(deck->ActivePad, PadDeck::kNoPad) << "not rolling: nothing starts";

    deck->Tempo.setTempo(90.0); // the musician's own tempo holds while the transport's stays
    transport().noteTransport(true, 127.996);
    sync.look();
    EXPECT_EQ(deck->Tempo.now().tempo, 90.0);
    EXPECT_EQ(deck->ActivePad, 2) << "no pad played yet: the first bound one";

    transport().noteTransport(false, 127.996);
    sync.look();
    EXPECT_EQ(deck->PendingPad, 2) << "it ends at its cycle's end";

    deck->press(4); // the last pad played is the one a roll starts again
    deck->press(4);
    ASSERT_EQ(deck->ActivePad, PadDeck::kNoPad);
    transport().noteTransport(true, 140.0);
    sync.look();
    EXPECT_EQ(deck->ActivePad, 4);
    EXPECT_EQ(deck->Tempo.now().tempo, 140.0);

    WriteSetting(AppModul::AppTitle, "JackTransport", "sideways", AppModul::SettingsFile);
    sync.reload();
    EXPECT_EQ(transport().mode(), JackTransportShare::Mode::Off);
}
