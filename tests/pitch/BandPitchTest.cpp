// SPDX-License-Identifier: GPL-3.0-or-later
#include "pitch/BandPitch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using pitch::BandPitch;
using pitch::PitchReading;

// Readings as the detector makes them, every 10 ms, with a little jitter.
class Band {
public:
    explicit Band(double a4) : m_a4(a4) {}

    // A note of the band (MIDI number), off its own pitch by `offCents`, held for `seconds`:
    // the first readings of the attack are sharp, as a pluck is.
    void note(int midi, double seconds, double offCents = 0.0, double octaves = 0.0)
    {
        const double hz = m_a4 * std::exp2((midi - 69) / 12.0 + octaves + offCents / 1200.0);
        for (int i = 0; i < static_cast<int>(seconds * 100); ++i) {
            const double attack = i < 3 ? 25.0 : 0.0;
            read(hz * std::exp2((attack + m_jitter(m_random)) / 1200.0));
        }
        rest(0.1);
    }
    // A bend from one pitch to another at a steady pace.
    void bend(int midi, double fromCents, double toCents, double seconds)
    {
        const int readings = static_cast<int>(seconds * 100);
        for (int i = 0; i < readings; ++i) {
            const double cents = fromCents + (toCents - fromCents) * i / readings;
            read(m_a4 * std::exp2((midi - 69) / 12.0 + cents / 1200.0));
        }
    }
    void rest(double seconds)
    {
        for (int i = 0; i < static_cast<int>(seconds * 100); ++i)
            bandPitch.add(PitchReading{}, next());
    }

    BandPitch bandPitch;

private:
    void read(double hz)
    {
        PitchReading reading;
        reading.hasPitch = true;
        reading.frequency = hz;
        reading.clarity = 0.95;
        bandPitch.add(reading, next());
    }
    double next()
    {
        m_seconds += 0.01;
        return m_seconds;
    }

    double m_a4;
    double m_seconds = 0.0;
    std::mt19937 m_random{7};
    std::uniform_real_distribution<double> m_jitter{-0.8, 0.8};
};

// A few bars of a band 1.4 Hz flat: notes all over the range, each a little off its own pitch.
void playTheSong(Band& band)
{
    const int notes[] = {57, 61, 64, 45, 69, 71, 52, 76, 62, 66};
    const double offs[] = {1.5, -1.0, 0.5, -2.0, 1.0, 0.0, -1.5, 2.0, -0.5, 0.8};
    for (int i = 0; i < 10; ++i)
        band.note(notes[i], 0.25 + 0.05 * (i % 4), offs[i]);
}

TEST(BandPitch, FindsTheBandsA4FromItsSteadyNotes)
{
    Band band(438.6);
    playTheSong(band);
    const auto estimate = band.bandPitch.estimate();
    ASSERT_TRUE(estimate.has_value());
    EXPECT_NEAR(estimate->a4, 438.6, 0.1);
    EXPECT_NEAR(estimate->cents, 1200 * std::log2(438.6 / 440.0), 0.4);
    EXPECT_EQ(estimate->notes, 10);
    EXPECT_GT(estimate->spreadCents, 0.3);
    EXPECT_LT(estimate->spreadCents, 2.0);
    EXPECT_DOUBLE_EQ(BandPitch::a4For(estimate->cents), estimate->a4);
}

TEST(BandPitch, ABentNoteAWrongOctaveAndAnOutOfTuneStringDoNotMoveIt)
{
    Band clean(438.6);
    playTheSong(clean);
    Band rough(438.6);
    playTheSong(rough);
    rough.bend(64, 0.0, 100.0, 0.5); // a bend sweeps through: never steady
    rough.rest(0.1);
    rough.bend(64, 0.0, 40.0, 0.2); // and one held at its top, 40 cents sharp
    rough.note(64, 0.3, 40.0);
    rough.note(57, 0.4, 0.0, 1.0); // read an octave high
    rough.note(50, 0.5, -28.0);    // one string well out
    rough.note(67, 0.08);          // too short to count
    const auto a = clean.bandPitch.estimate();
    const auto b = rough.bandPitch.estimate();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->notes, a->notes + 3);
    EXPECT_NEAR(b->a4, a->a4, 0.05);
    EXPECT_NEAR(b->a4, 438.6, 0.1);
}

TEST(BandPitch, TooFewNotesOrTooWideASpreadGiveNothing)
{
    Band two(438.6);
    two.note(57, 0.5);
    two.note(64, 0.5);
    two.note(60, 0.1); // shorter than a steady note
    EXPECT_FALSE(two.bandPitch.estimate().has_value());
    EXPECT_EQ(BandPitch::measure(two.bandPitch.notes()).notes, 2);
    two.note(62, 0.5);
    EXPECT_TRUE(two.bandPitch.estimate().has_value()) << "three notes are enough";

    // Notes all over the place: no band pitch to speak of.
    Band wild(440.0);
    const double offs[] = {-30, 25, -10, 35, 5, -40, 18, -22};
    for (int i = 0; i < 8; ++i)
        wild.note(55 + i, 0.3, offs[i]);
    EXPECT_FALSE(wild.bandPitch.estimate().has_value());
    EXPECT_GT(BandPitch::measure(wild.bandPitch.notes()).spreadCents, BandPitch::kMaxSpreadCents);
    EXPECT_FALSE(BandPitch::estimateOf({}).has_value());
}

TEST(BandPitch, ABandNearHalfASemitoneOffIsNotSplitInTwo)
{
    // 49 cents sharp with a little scatter: some notes read as -49 or so from the next one up.
    for (double cents : {49.0, -49.0}) {
        Band band(440.0 * std::exp2(cents / 1200.0));
        const double offs[] = {1.5, -1.5, 2.0, -2.0, 0.5, -0.5};
        for (int i = 0; i < 6; ++i)
            band.note(60 + 2 * i, 0.3, offs[i]);
        const auto estimate = band.bandPitch.estimate();
        ASSERT_TRUE(estimate.has_value()) << cents;
        EXPECT_NEAR(estimate->cents, cents, 0.6);
        EXPECT_LT(estimate->spreadCents, 2.5) << cents;
    }
    EXPECT_NEAR(BandPitch::foldedCents(440.0 * std::exp2(-60.0 / 1200.0)), 40.0, 1e-9);
    EXPECT_EQ(BandPitch::foldedCents(0.0), 0.0);
}

} // namespace
