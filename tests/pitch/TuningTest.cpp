// SPDX-License-Identifier: GPL-3.0-or-later
#include "pitch/Tuning.h"
#include "pitch/TargetHold.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using pitch::HeldTarget;
using pitch::PitchReading;
using pitch::TargetHold;
using pitch::Tuning;
using pitch::TuningKind;

// ---- The tunings: names, strings and pitches ----

TEST(Tuning, EveryTuningNamesItsSixStringsLowToHigh)
{
    const struct {
        TuningKind kind;
        const char* name;
        const char* strings[6];
    } expected[] = {
        {TuningKind::Standard, "Standard", {"E2", "A2", "D3", "G3", "B3", "E4"}},
        {TuningKind::DropD, "Drop D", {"D2", "A2", "D3", "G3", "B3", "E4"}},
        {TuningKind::DStandard, "D Standard", {"D2", "G2", "C3", "F3", "A3", "D4"}},
        {TuningKind::OpenG, "Open G", {"D2", "G2", "D3", "G3", "B3", "D4"}},
        {TuningKind::OpenD, "Open D", {"D2", "A2", "D3", "F#3", "A3", "D4"}},
        {TuningKind::Dadgad, "DADGAD", {"D2", "A2", "D3", "G3", "A3", "D4"}},
        {TuningKind::HalfStepDown, "Half Step Down", {"D#2", "G#2", "C#3", "F#3", "A#3", "D#4"}},
        {TuningKind::Chromatic, "Chromatic", {"E2", "A2", "D3", "G3", "B3", "E4"}},
    };
    ASSERT_EQ(Tuning::allKinds().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Tuning tuning(expected[i].kind);
        EXPECT_EQ(Tuning::allKinds()[i], expected[i].kind);
        EXPECT_EQ(tuning.displayName(), expected[i].name);
        for (int s = 0; s < 6; ++s)
            EXPECT_EQ(tuning.stringName(s), expected[i].strings[s]) << expected[i].name << s;
    }
    EXPECT_EQ(Tuning().stringName(6), "");
}

TEST(Tuning, PitchesFollowA4InHalfHertzStepsWithinItsRange)
{
    EXPECT_NEAR(Tuning().stringFrequency(0), 82.4069, 1e-4);
    EXPECT_NEAR(Tuning(TuningKind::DropD).stringFrequency(0), 73.4162, 1e-4);
    EXPECT_NEAR(Tuning(TuningKind::Standard, 432.0).stringFrequency(1), 108.0, 1e-9);
    const struct {
        double asked, kept;
    } a4[] = {{440.26, 440.5}, {440.24, 440.0},   {425.0, 430.0}, {451.0, 450.0},
              {NAN, 440.0},    {INFINITY, 440.0}, {449.75, 450.0}};
    for (const auto& c : a4)
        EXPECT_EQ(Tuning(TuningKind::Standard, c.asked).a4(), c.kept) << c.asked;
    // A band's pitch is followed to the tenth of a hertz, within the same range.
    const struct {
        double asked, kept;
    } fine[] = {{438.64, 438.6}, {438.66, 438.7}, {425.0, 430.0}, {451.0, 450.0}, {NAN, 440.0}};
    for (const auto& c : fine)
        EXPECT_EQ(Tuning::withFineA4(TuningKind::DropD, c.asked).a4(), c.kept) << c.asked;
    EXPECT_EQ(Tuning::withFineA4(TuningKind::DropD, 438.6).kind(), TuningKind::DropD);
}

TEST(Tuning, ReferenceSoundsPlayAtTheRatioOfTheTargetString)
{
    // Standard at 440 is what the sounds were recorded at.
    for (int s = 0; s < 6; ++s)
        EXPECT_DOUBLE_EQ(Tuning().referencePlaybackRatio(s), 1.0);
    const Tuning dropD(TuningKind::DropD, 440.0);
    EXPECT_NEAR(dropD.referencePlaybackRatio(0), std::exp2(-2.0 / 12), 1e-12);
    EXPECT_DOUBLE_EQ(dropD.referencePlaybackRatio(1), 1.0);
    EXPECT_NEAR(Tuning(TuningKind::OpenD, 445.0).referencePlaybackRatio(3),
                445.0 / 440.0 * std::exp2(-1.0 / 12), 1e-12); // G3 -> F#3
    EXPECT_NEAR(Tuning(TuningKind::Chromatic, 430.0).referencePlaybackRatio(5), 430.0 / 440.0,
                1e-12);
}

TEST(Tuning, NearestTargetIsTheClosestStringInCentsOrAnyNoteWhenChromatic)
{
    const Tuning standard;
    EXPECT_EQ(standard.nearestTarget(84.0).string, 0);
    EXPECT_NEAR(standard.nearestTarget(84.0).cents, 1200.0 * std::log2(84.0 / 82.4069), 1e-3);
    // 95 Hz lies nearer E2 than A2 in hertz terms but nearer A2 in cents: 246 against 254.
    EXPECT_EQ(standard.nearestTarget(95.0).string, 0);
    EXPECT_EQ(standard.nearestTarget(96.0).string, 1);
    EXPECT_EQ(standard.nearestTarget(1000.0).string, 5);
    EXPECT_EQ(Tuning(TuningKind::DropD).nearestTarget(75.0).note, 38);

    const Tuning chromatic(TuningKind::Chromatic, 442.0);
    EXPECT_EQ(chromatic.nearestTarget(442.0).note, 69);
    EXPECT_EQ(chromatic.nearestTarget(442.0).string, -1);
    EXPECT_NEAR(chromatic.nearestTarget(442.0).cents, 0.0, 1e-9);
    EXPECT_EQ(chromatic.nearestTarget(455.0).note, 70);
    EXPECT_LT(chromatic.nearestTarget(455.0).cents, 0.0);
    EXPECT_EQ(chromatic.nearestTarget(-5.0).cents, 0.0) << "no nonsense for a bad frequency";
}

// ---- Text for the settings file ----

TEST(TuningText, RoundTripsAndRefusesNonsense)
{
    for (TuningKind kind : Tuning::allKinds())
        for (double a4 : {430.0, 437.5, 440.0, 450.0}) {
            const Tuning tuning(kind, a4);
            EXPECT_EQ(Tuning::fromText(tuning.a4Text(), tuning.tuningText()), tuning);
        }
    EXPECT_EQ(Tuning().a4Text(), "440.0");
    EXPECT_EQ(Tuning(TuningKind::DropD).tuningText(), "Drop D");
    EXPECT_EQ(Tuning::parseTuning("  drop d "), TuningKind::DropD);
    EXPECT_EQ(Tuning::parseA4(" 445 "), 445.0);
    // A band's measured pitch is kept to the tenth, and reads back as the very same value.
    EXPECT_EQ(Tuning::parseA4("438.6"), Tuning::withFineA4(TuningKind::Standard, 438.6).a4());
    EXPECT_EQ(Tuning::fromText("438.6", "Drop D").a4Text(), "438.6");
    for (const char* bad : {"", "abc", "440,0", "4.4e2", "-440", "+440", "440.25", "429.5", "450.5",
                            "nan", "inf", "440.", ".5", "440.0.0", "4400000000000000"})
        EXPECT_FALSE(Tuning::parseA4(bad).has_value()) << bad;
    for (const char* bad : {"", "Drop Z", "Standard tuning", "DropD"})
        EXPECT_FALSE(Tuning::parseTuning(bad).has_value()) << bad;
    EXPECT_EQ(Tuning::fromText("junk", "junk"), Tuning());
    EXPECT_EQ(Tuning::fromText("432.5", "junk"), Tuning(TuningKind::Standard, 432.5));
}

// ---- Holding the shown target while a string rings ----

class Hold : public ::testing::Test {
protected:
    const HeldTarget& hear(double frequency, const Tuning& tuning = Tuning())
    {
        m_time += 0.01;
        PitchReading reading;
        reading.hasPitch = frequency > 0.0;
        reading.frequency = frequency;
        return m_hold.update(tuning, reading, m_time);
    }
    const HeldTarget& silence(double seconds)
    {
        const HeldTarget* shown = &m_hold.current();
        for (double t = 0.0; t < seconds; t += 0.01)
            shown = &hear(0.0);
        return *shown;
    }

    TargetHold m_hold;
    double m_time = 0.0;
};

TEST_F(Hold, ParksUntilANoteAndAgainAfterSilenceButBridgesShortGaps)
{
    EXPECT_TRUE(silence(1.0).parked);
    EXPECT_EQ(hear(110.5).target.string, 1);
    EXPECT_FALSE(silence(0.2).parked) << "a short drop-out keeps the needle";
    EXPECT_NEAR(m_hold.current().target.cents, 1200.0 * std::log2(110.5 / 110.0), 1e-6);
    EXPECT_TRUE(silence(0.35).parked);
    EXPECT_EQ(hear(147.0).target.string, 2) << "after silence a new string is taken at once";
}

TEST_F(Hold, DoesNotJumpBetweenStringsWhileOneRings)
{
    hear(82.41);
    // Two stray readings at the octave (an A-string harmonic would be nearer A): ignored.
    EXPECT_EQ(hear(164.8).target.string, 0);
    EXPECT_EQ(hear(164.8).target.string, 0);
    EXPECT_NEAR(hear(82.0).target.cents, 1200.0 * std::log2(82.0 / 82.4069), 1e-3);
    // A low E tuned far up, just past the middle towards A, stays the low E string.
    EXPECT_EQ(hear(95.5).target.string, 0);
    EXPECT_EQ(hear(95.5).target.string, 0);
    EXPECT_EQ(hear(95.5).target.string, 0);
    // Clearly on another string for several readings in a row: then it switches.
    EXPECT_EQ(hear(110.0).target.string, 0);
    EXPECT_EQ(hear(110.0).target.string, 0);
    EXPECT_EQ(hear(110.0).target.string, 1);
}

TEST_F(Hold, ChromaticNotesNearTheBoundaryDoNotFlicker)
{
    const Tuning chromatic(TuningKind::Chromatic);
    EXPECT_EQ(hear(452.0, chromatic).target.note, 69);
    for (double f : {453.5, 452.5, 454.0, 453.0}) // around +50 cents, A4 / A#4
        EXPECT_EQ(hear(f, chromatic).target.note, 69) << f;
    // A new tuning starts afresh.
    EXPECT_EQ(hear(453.5, Tuning(TuningKind::Chromatic, 445.0)).target.note, 69);
    EXPECT_EQ(hear(82.41, Tuning(TuningKind::DropD)).target.string, 0);
}

} // namespace
