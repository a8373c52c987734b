// SPDX-License-Identifier: GPL-3.0-or-later
// The pads show what they hold: names over the faces, broken bindings marked, hand edits of the
// settings file followed, and the playing pad's loop bar.

#include "BarTestSupport.h"
#include "core/SettingsStore.h"

#include <QFile>

namespace {

class BarPadNames : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Drums 120.wav", Constant(0.5f, 4410)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Bass.wav", Constant(0.2f, 4410)));
        bind(2, "Drums 120.wav");
        bind(3, "Gone.wav");
        bar->Bindings.reload();
    }
    static void writeFile(const QString& path, const QByteArray& text)
    {
        QFile file(path); // in place, as some editors save
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    const PadOverlay& name(int pad) const { return *bar->PadNames[pad]; }
    // The name as the pad shows it, whichever lines it takes.
    QString shown(int pad) const { return name(pad).lines().join(' '); }
};

TEST_F(BarPadNames, BoundPadsShowTheirNamesOverAnUntouchedFace)
{
    EXPECT_EQ(shown(2), "Drums 120");
    EXPECT_FALSE(name(2).missing());
    EXPECT_TRUE(name(3).missing()) << "a broken binding is seen before it is pressed";
    EXPECT_EQ(shown(3), "Gone");
    EXPECT_TRUE(name(5).lines().isEmpty());

    const auto tipLine = [&](int pad) { return bar->Picture6[pad]->toolTip().section('\n', 0, 0); };
    EXPECT_EQ(tipLine(2), "Drums 120.wav");
    EXPECT_EQ(tipLine(3), "Gone.wav (missing from Sounds)");
    EXPECT_EQ(tipLine(5), "Pad 6: no sound");
    bar->PadKeysText = [](int pad) { return pad == 2 ? QStringLiteral("F3, 2") : QString(); };
    EXPECT_EQ(bar->PadToolTip(2), "Drums 120.wav\nKeys: F3, 2");

    click(2);
    EXPECT_TRUE(isLit(bar->Picture6[2])) << "the face stays the skin's own";
    EXPECT_TRUE(isUnlit(bar->Picture6[3]));
    // The overlay lets the mouse through: the press reached the pad beneath.
    EXPECT_EQ(bar->Deck.ActivePad, 2);
}

TEST(PadOverlayFit, LongNamesTakeTwoLinesAndAreElidedToTheWidth)
{
    const QFont font("Sans", 7);
    const QFontMetrics metrics(font);
    const QStringList lines =
        PadOverlay::FitName("Funky Clavinet Riff In E Minor Take Three", font, 46);
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), 46) << line.toStdString();
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
    const QStringList word = PadOverlay::FitName("Supercalifragilistic", font, 46);
    ASSERT_EQ(word.size(), 2) << "one long word breaks where the width ends";
    EXPECT_TRUE(QString(word[0] + word[1]).startsWith("Supercali"));
    EXPECT_TRUE(PadOverlay::FitName("   ", font, 46).isEmpty());
}

TEST_F(BarPadNames, AHandEditIsFollowedAndATornFileKeepsTheNames)
{
    const QString file = folder->settingsFile();
    writeFile(file,
              "[Samples]\nSample 3=Bass.wav\nSample 7=Drums 120.wav\n[Triggers]\nPad 3=F12\n");
    ASSERT_TRUE(Settles([&] { return shown(6) == "Drums 120"; }));
    EXPECT_EQ(bar->Picture6[2]->toolTip(), "Bass.wav\nKeys: F12") << "hand-edited keys apply too";
    EXPECT_EQ(shown(2), "Bass");
    EXPECT_TRUE(name(3).lines().isEmpty());

    writeFile(file, "");           // an editor between truncating and writing
    writeFile(file, QByteArray()); // and nothing follows
    Settles([] { return false; }, std::chrono::milliseconds(400));
    EXPECT_EQ(shown(2), "Bass") << "an empty file never blanks the names";

    QFile::remove(folder->soundsFolder() + "Bass.wav");
    writeFile(file, "[Samples]\nSample 3=Bass.wav\n");
    ASSERT_TRUE(Settles([&] { return name(2).missing(); }));
}

TEST_F(BarPadNames, ThePlayingPadsLoopBarFillsOncePerCycle)
{
    EXPECT_LT(name(2).loopProgress(), 0.0) << "no bar before anything plays";
    click(2);
    Render(2205); // half of the 4410-frame loop
    ASSERT_TRUE(Settles([&] { return name(2).loopProgress() > 0.4; }));
    EXPECT_NEAR(name(2).loopProgress(), 0.5, 0.06);
    Render(2205 + 441);
    ASSERT_TRUE(Settles([&] { return name(2).loopProgress() < 0.2; })) << "a new cycle";

    click(2); // stops
    EXPECT_LT(name(2).loopProgress(), 0.0);
    EXPECT_FALSE(bar->LoopTimer.isActive()) << "no redraws while nothing plays";
}

} // namespace
