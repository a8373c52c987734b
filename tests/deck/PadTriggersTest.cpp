// SPDX-License-Identifier: GPL-3.0-or-later
#include "deck/PadTriggers.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int kNext = PadTriggers::kNextPad;
constexpr int kPrevious = PadTriggers::kPreviousPad;
constexpr int kNone = PadTriggers::kNoAction;

TEST(PadTriggers, DefaultsPlayTheFunctionKeysAndTheTwoRowsByPosition)
{
    const PadTriggers map;
    struct Case {
        int key;
        quint32 scan; // X keycode
        int action;
    };
    // F-keys by name; ` 1 Backspace Tab Q Y \ by their places, whatever the layout calls them.
    // clang-format off
    const Case cases[] = {
        {Qt::Key_F1, 0, 0}, {Qt::Key_F10, 76, 9}, {Qt::Key_QuoteLeft, 49, 0},
        {Qt::Key_Ampersand, 10, 1}, {Qt::Key_Backspace, 22, 13}, {Qt::Key_Tab, 23, 14},
        {Qt::Key_A, 24, 15}, {Qt::Key_Z, 29, 20}, {Qt::Key_Backslash, 51, 27},
        {Qt::Key_PageDown, 117, kNext}, {Qt::Key_PageUp, 112, kPrevious},
        {Qt::Key_Escape, 9, kNone}, {Qt::Key_F11, 95, kNone}, {Qt::Key_Q, 0, kNone}};
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(map.actionFor(c.key, c.scan), c.action) << c.key << " at " << c.scan;

    EXPECT_EQ(map.tokens(0), (QStringList{"F1", "Scan 49"}));
    EXPECT_EQ(map.keysText(0), "F1, `");
    EXPECT_EQ(map.keysText(27), "\\");
    EXPECT_EQ(map.keysText(kNext), "PgDown");
}

TEST(PadTriggers, TheTempoActionsFollowThePadsAndAFileWithoutThemGetsTheirDefaults)
{
    constexpr int kUp = PadTriggers::kTempoUp, kDown = PadTriggers::kTempoDown,
                  kTap = PadTriggers::kTapTempo;
    // A file from before the tempo: its own keys as they were, the tempo's by default.
    const QByteArray old = "[Triggers]\nPad 1=F5\nNext Pad=N\n";
    const PadTriggers map = PadTriggers::FromSettingsText(old);
    EXPECT_EQ(map.tokens(kUp), (QStringList{"Up", "+"}));
    EXPECT_EQ(map.tokens(kDown), QStringList{"Down"});
    EXPECT_TRUE(map.tokens(kTap).isEmpty());
    EXPECT_EQ(map.actionFor(Qt::Key_Up, 111), kUp);
    EXPECT_EQ(map.actionFor(Qt::Key_Plus, 21), kUp); // Shift with "=": the name wins
    EXPECT_EQ(map.actionFor(Qt::Key_Equal, 21), 12); // "=" alone still plays pad 13
    EXPECT_EQ(map.actionFor(Qt::Key_Down, 116), kDown);
    EXPECT_EQ(map.actionFor(Qt::Key_F5, 71), 0);
    EXPECT_EQ(map.actionFor(Qt::Key_N, 57), kNext);
    for (int pad = 1; pad < kPadCount; ++pad)
        EXPECT_EQ(map.tokens(pad), PadTriggers().tokens(pad)) << pad;

    // Learnable by editing the file, a foot switch's note too.
    const PadTriggers edited = PadTriggers::FromSettingsText(
        "[Triggers]\nTempo Up=\nTempo Down=Down, PgUp\nTap Tempo=T, Note 64 Ch 2\n");
    EXPECT_EQ(edited.actionFor(Qt::Key_Up, 111), kNone);
    EXPECT_EQ(edited.actionFor(Qt::Key_PageUp, 112), kPrevious); // the lower action wins
    EXPECT_EQ(edited.actionFor(Qt::Key_T, 28), kTap);
    EXPECT_EQ(edited.actionForNote(2, 64), kTap);
    EXPECT_EQ(edited.actionForNote(1, 64), kNone);
}

TEST(PadTriggers, EachStoredLineReplacesItsDefaultsAndNonsenseIsSkipped)
{
    const PadTriggers map = PadTriggers::FromSettingsText(
        "[Samples]\nPad 3=F9\n[triggers]\npad 1=\n"
        "Pad 2=Scan 30, bogus, Ctrl+F1, , Scan x, Scan 0, Scan 99999999999, F1,, f12, F1\n"
        "Next Pad=Space\nPad 99=F4\n");
    EXPECT_TRUE(map.tokens(0).isEmpty()); // an empty value: no keys
    EXPECT_EQ(map.actionFor(Qt::Key_QuoteLeft, 49), kNone);
    EXPECT_EQ(map.tokens(1), (QStringList{"Scan 30", "F1", "F12"}));
    EXPECT_EQ(map.tokens(2), PadTriggers().tokens(2)); // no line: the defaults
    EXPECT_EQ(map.actionFor(Qt::Key_Space, 65), kNext);
    EXPECT_EQ(map.actionFor(Qt::Key_PageDown, 117), kNone);

    // Lists of nothing, a value cut at its length limit, a file that is not one: no keys, or
    // the defaults, and never a crash.
    const PadTriggers odd = PadTriggers::FromSettingsText(
        QByteArray("[Triggers]\nPad 3=,,,\nPad 5=Scan\nPad 6=") + QByteArray(5000, ',') + "F6\n");
    EXPECT_TRUE(odd.tokens(2).isEmpty());
    EXPECT_TRUE(odd.tokens(4).isEmpty());
    EXPECT_TRUE(odd.tokens(5).isEmpty());
    EXPECT_EQ(PadTriggers::FromSettingsText("\xff\xfe[Trig\0gers]").tokens(0),
              PadTriggers().tokens(0));
}

TEST(PadTriggers, ALearnedKeyLeavesEveryOtherActionAndNamesWinOverPositions)
{
    PadTriggers map;
    // Q on its own place is pad 16's by default; learned for pad 3 it is pad 3's alone.
    EXPECT_EQ(map.learn(2, Qt::Key_Q, 24), (QList<int>{2, 15}));
    EXPECT_EQ(map.tokens(2), (QStringList{"F3", "Scan 11", "Q"}));
    EXPECT_TRUE(map.tokens(15).isEmpty());
    EXPECT_EQ(map.actionFor(Qt::Key_Q, 24), 2);
    EXPECT_EQ(map.learn(4, Qt::Key_F1, 67), (QList<int>{4, 0}));
    EXPECT_TRUE(map.learn(4, Qt::Key_F1, 67).isEmpty()); // nothing new
    EXPECT_EQ(map.keysText(0), "`");

    // A hand-edited file where a name and a position meet on one key: the name wins.
    const PadTriggers edited = PadTriggers::FromSettingsText("[Triggers]\nPad 1=Scan 24\nPad 5=Q");
    EXPECT_EQ(edited.actionFor(Qt::Key_Q, 24), 4);
    EXPECT_EQ(edited.actionFor(Qt::Key_A, 24), 0);

    // A comma would split the list: it is kept by position. Modifiers alone are not kept.
    EXPECT_EQ(PadTriggers::tokenForKey(Qt::Key_Comma, 59), "Scan 59");
    EXPECT_TRUE(map.learn(6, Qt::Key_Shift, 50).isEmpty());

    // A list keeps its newest keys.
    for (int f = 0; f < 12; ++f)
        map.learn(7, Qt::Key_F13 + f, 0);
    EXPECT_EQ(map.tokens(7).size(), PadTriggers::kMaxKeysPerAction);
    EXPECT_EQ(map.tokens(7).last(), "F24");
}

TEST(PadTriggers, StoredLinesReadBackAndTheRestOfTheFileStays)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("quendel.ini");
    const QString before = AppModul::SettingsFile;
    AppModul::SettingsFile = file;
    WriteSetting("Samples", "Sample 1", "Kick.wav", file);
    WriteSetting("Triggers", "Pad 7", "bogus, F7", file);
    EXPECT_EQ(PadTriggers::Stored().tokens(6), QStringList{"F7"});

    PadTriggers map = PadTriggers::Stored();
    map.learn(0, Qt::Key_K, 0);
    map.clear(13);
    map.store({0, 13});

    QFile read(file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray text = read.readAll();
    EXPECT_EQ(FindSettingValue(text, u"Triggers", u"Pad 1"), "F1, Scan 49, K");
    EXPECT_EQ(FindSettingValue(text, u"Triggers", u"Pad 14"), QString());  // kept, empty
    EXPECT_EQ(FindSettingValue(text, u"Triggers", u"Pad 7"), "bogus, F7"); // untouched
    EXPECT_EQ(FindSettingValue(text, u"Samples", u"Sample 1"), "Kick.wav");
    const PadTriggers again = PadTriggers::Stored();
    for (int action = 0; action < PadTriggers::kActionCount; ++action)
        EXPECT_EQ(again.tokens(action), map.tokens(action)) << action;

    AppModul::SettingsFile = dir.filePath("missing.ini");
    EXPECT_EQ(PadTriggers::Stored().keysText(1), "F2, 1");
    AppModul::SettingsFile = before;
}

} // namespace
