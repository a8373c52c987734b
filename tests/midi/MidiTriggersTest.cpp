// SPDX-License-Identifier: GPL-3.0-or-later
#include "deck/PadTriggers.h"

#include <gtest/gtest.h>

namespace {

TEST(MidiTriggers, NotesThirtySixToSixtyThreePlayThePadsByDefault)
{
    const PadTriggers map;
    EXPECT_EQ(map.actionForNote(1, 36), 0);
    EXPECT_EQ(map.actionForNote(10, 36), 0);
    EXPECT_EQ(map.actionForNote(16, 63), 27);
    EXPECT_EQ(map.actionForNote(1, 35), PadTriggers::kNoAction);
    EXPECT_EQ(map.actionForNote(1, 64), PadTriggers::kNoAction);
    EXPECT_EQ(map.padNote(5), (MidiTrigger{MidiTrigger::Kind::Note, 41, 1}));
    EXPECT_EQ(map.tokens(0), QStringList({"F1", "Scan 49"})); // the keys' defaults unchanged
}

TEST(MidiTriggers, NotesStandInTheListsBesideKeysAndReadBackAsWritten)
{
    const PadTriggers map = PadTriggers::FromSettingsText("[Triggers]\n"
                                                          "Pad 1=F1, note 40 ch 10, CC 7\n"
                                                          "Pad 2=Note 36, Note 128, Note 3 Ch 17\n"
                                                          "Pad 3=Q\n");
    EXPECT_EQ(map.tokens(0), QStringList({"F1", "Note 40 Ch 10", "CC 7"}));
    EXPECT_EQ(map.tokens(1), QStringList({"Note 36"})); // out-of-range numbers are skipped
    EXPECT_EQ(map.keysText(0), "F1, Note 40 Ch 10, CC 7");
    EXPECT_EQ(map.actionForNote(10, 40), 0);
    EXPECT_EQ(map.actionForNote(9, 40), 4); // other channels: the default pad 5
    EXPECT_EQ(map.actionForNote(3, 36), 1); // a learned note wins over the default
    EXPECT_EQ(map.actionForNote(1, 38), 2); // a list of keys alone keeps the default note
    EXPECT_EQ(map.padNote(0), (MidiTrigger{MidiTrigger::Kind::Note, 40, 10}));
    EXPECT_EQ(map.padNote(2), (MidiTrigger{MidiTrigger::Kind::Note, 38, 1}));
    EXPECT_FALSE(map.padNote(100)); // no pad
    // Pad 1's default note 36 now plays pad 2: pad 1 has its learned light, pad 2 too.
    EXPECT_EQ(map.padNote(1), (MidiTrigger{MidiTrigger::Kind::Note, 36, MidiTrigger::kAnyChannel}));
    // A key learned into a list with notes keeps them.
    PadTriggers learned = map;
    learned.learn(0, Qt::Key_K, 0);
    EXPECT_EQ(learned.tokens(0), QStringList({"F1", "Note 40 Ch 10", "CC 7", "K"}));
}

TEST(MidiTriggers, ALearnedNoteIsTakenFromEveryOtherPad)
{
    PadTriggers map = PadTriggers::FromSettingsText("[Triggers]\nPad 1=Note 50\nPad 2=Note 51\n");
    EXPECT_EQ(map.learnMidi(1, {MidiTrigger::Kind::Note, 50, 2}), QList<int>({1, 0}));
    EXPECT_EQ(map.tokens(0), QStringList());
    EXPECT_EQ(map.tokens(1), QStringList({"Note 51", "Note 50 Ch 2"}));
    EXPECT_EQ(map.learnMidi(1, {MidiTrigger::Kind::Note, 50, 2}), QList<int>()); // nothing new
    // A default note learned elsewhere: its pad's light has no note any more.
    map.learnMidi(3, {MidiTrigger::Kind::Note, 36, 1});
    EXPECT_EQ(map.actionForNote(1, 36), 3);
    EXPECT_FALSE(map.padNote(0));
}

} // namespace
