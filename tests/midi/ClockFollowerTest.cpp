// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/ClockFollower.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Clocks of a sender at `bpm` from `start`, each up to `jitter` seconds early or late.
struct Sender {
    double bpm;
    double jitter;
    std::mt19937 random{7};
    double at = 0.0;

    void play(ClockFollower& follower, int beats)
    {
        std::uniform_real_distribution<double> off(-jitter, jitter);
        const double clock = 60.0 / bpm / ClockFollower::kClocksPerBeat;
        for (int i = 0; i < beats * ClockFollower::kClocksPerBeat; ++i) {
            follower.clock(at + off(random));
            at += clock;
        }
    }
};

TEST(ClockFollower, SettlesWithinFourBeatsThroughTwoMillisecondsOfJitter)
{
    for (const double bpm : {60.0, 97.3, 120.0, 174.0, 240.0}) {
        ClockFollower follower;
        Sender sender{bpm, 0.002};
        sender.play(follower, 1);
        ASSERT_TRUE(follower.bpm()) << bpm; // a reading from the first beat on
        sender.play(follower, 3);
        // Four beats are a shorter time at a faster tempo, so the same jitter weighs more.
        EXPECT_NEAR(*follower.bpm(), bpm, bpm <= 120.0 ? 0.1 : 0.4) << bpm;
        EXPECT_EQ(follower.clocks(), 96u) << "jitter never restarts the fit";
    }
}

TEST(ClockFollower, FollowsANewTempoAPauseAndAStart)
{
    ClockFollower follower;
    EXPECT_FALSE(follower.bpm());
    Sender sender{120.0, 0.002};
    sender.play(follower, 4);
    sender.bpm = 90.0; // the drummer changes the tempo
    sender.play(follower, 4);
    EXPECT_NEAR(*follower.bpm(), 90.0, 0.1);

    sender.at += 2.0; // stopped for two seconds, then on at 140
    sender.bpm = 140.0;
    sender.play(follower, 4);
    EXPECT_NEAR(*follower.bpm(), 140.0, 0.1);

    follower.restart();
    EXPECT_FALSE(follower.bpm()) << "a Start counts the beat afresh";
    follower.clock(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(follower.clocks(), 0u);
}

} // namespace
