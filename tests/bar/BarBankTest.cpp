// SPDX-License-Identifier: GPL-3.0-or-later
// Banks of pads as a musician meets them: a file from before banks is bank A, every bank shows
// and plays its own pads, and the loop that plays goes on across a switch until another pad is
// pressed.

#include "BarTestSupport.h"
#include "bar/BankSelector.h"
#include "bar/TempoStrip.h"
#include "core/PadBanks.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QKeyEvent>

namespace {

class BarBank : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        writeSetting("Volume", "100");
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Verse.wav", Tagged(0.1f, 2000)));
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Chorus.wav", Tagged(0.5f, 2000)));
        bind(0, "Verse.wav");
        WriteSetting("Samples B", "Sample 1", "Chorus.wav", folder->settingsFile());
        bar->Bindings.reload();
    }
    void clickBank(int bank) const
    {
        QTest::mouseClick(bar->Banks->Banks[static_cast<std::size_t>(bank)], Qt::LeftButton, {},
                          QPoint(8, 8));
    }
    QString shownName(int pad) const { return bar->PadNames[pad]->lines().join(' '); }
    QByteArray settingsText() const
    {
        QFile file(folder->settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The left channel's last frame of the next block (past any fade of a change).
    float nextLeft(int frames)
    {
        const std::vector<float> stereo = Render(frames);
        return stereo.empty() ? -1.0f : stereo[stereo.size() - 2];
    }
};

TEST_F(BarBank, AFileFromBeforeBanksIsBankAAndEachBankShowsItsOwnPadsAndIsStored)
{
    EXPECT_EQ(PadBanks::Shown(), 0);
    EXPECT_EQ(shownName(0), "Verse");
    EXPECT_TRUE(bar->Banks->Banks[0]->lit());
    EXPECT_FALSE(FindSettingValue(settingsText(), u"Quendel", u"Bank")) << "nothing written";

    clickBank(1);
    EXPECT_EQ(PadBanks::Shown(), 1);
    EXPECT_TRUE(Settles([&] { return shownName(0) == "Chorus"; }));
    EXPECT_TRUE(bar->Banks->Banks[1]->lit());
    EXPECT_FALSE(bar->Banks->Banks[0]->lit());
    EXPECT_TRUE(bar->Picture6[1]->toolTip().startsWith("Pad 2: no sound"));
    const QByteArray text = settingsText();
    EXPECT_EQ(FindSettingValue(text, u"Quendel", u"Bank"), "B");
    EXPECT_EQ(FindSettingValue(text, u"Samples", u"Sample 1"), "Verse.wav") << "bank A kept";

    // The keypad's 1 (by its place) shows bank A; "Bank C" learned by hand in [Triggers] too.
    QKeyEvent keypadOne(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier, 87, 0, 0);
    QApplication::sendEvent(bar, &keypadOne);
    EXPECT_EQ(PadBanks::Shown(), 0);
    EXPECT_TRUE(Settles([&] { return shownName(0) == "Verse"; }));
    WriteSetting("Triggers", "Bank C", "F12", folder->settingsFile());
    bar->Keys.reload();
    QKeyEvent f12(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier, 96, 0, 0);
    QApplication::sendEvent(bar, &f12);
    EXPECT_EQ(PadBanks::Shown(), 2);
    EXPECT_TRUE(Settles([&] { return shownName(0).isEmpty(); })) << "bank C's pad 1 is unbound";
}

TEST_F(BarBank, TheLoopPlaysOnAcrossASwitchUntilAPadOfTheShownBankTakesOver)
{
    click(0);
    EXPECT_NEAR(nextLeft(300), 0.1f + 299 / 10000.0f, 2e-4f);

    clickBank(1);
    // Not a frame lost or repeated: the loop goes on where it was, unlit in a bank not its own.
    EXPECT_NEAR(nextLeft(300), 0.1f + 599 / 10000.0f, 2e-4f);
    EXPECT_EQ(litPads(), std::vector<int>{});
    EXPECT_EQ(bar->Deck.activeDeckPad(), 0);
    EXPECT_EQ(bar->Deck.shownActivePad(), PadDeck::kNoPad);
    EXPECT_EQ(bar->Banks->Banks[0]->value(), QStringLiteral("A\u2022")) << "where it plays";

    // Pad 1 of bank B is another pad: it takes over rather than stopping bank A's.
    click(0);
    EXPECT_NEAR(nextLeft(300), 0.5f + 299 / 10000.0f, 2e-4f);
    EXPECT_EQ(bar->Deck.activeDeckPad(), kPadCount);
    EXPECT_EQ(litPads(), std::vector<int>{0});
    EXPECT_EQ(bar->Banks->Banks[0]->value(), QStringLiteral("A"));

    // Back in bank A the playing pad of B is unlit, and lights again when B is shown.
    clickBank(0);
    EXPECT_EQ(litPads(), std::vector<int>{});
    clickBank(1);
    EXPECT_EQ(litPads(), std::vector<int>{0});
    click(0); // the playing pad pressed again stops it
    EXPECT_EQ(bar->Deck.activeDeckPad(), -1);
    EXPECT_NEAR(nextLeft(1500), 0.0f, 1e-6f);
}

} // namespace
