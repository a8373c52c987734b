// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTestSupport.h"

#include "bar/BankSelector.h"
#include "bar/TempoStrip.h"
#include "deck/PadDeck.h"
#include "settings/PadTempoPanel.h"
#include "skin/LabelControl.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLocale>

namespace {

// The settings page opened from the bar, with the deck attached and pad 4 bound to Groove.wav.
class PadTempoPage : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        open();
        panel = settings->Tempo;
    }
    QString storedSample(const QString& key) const
    {
        return ReadSetting(QStringLiteral("Samples"), key, folder->settingsFile(),
                           QStringLiteral("<none>"));
    }
    // Typed into a field and confirmed with Enter, as the musician does.
    static void type(QAbstractSpinBox* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    static QString decimal(double value) { return QLocale().toString(value, 'f', 1); }
    QString caption() const { return panel->TempoLabel->text(); }

    PadTempoPanel* panel = nullptr;
};

TEST_F(PadTempoPage, EachSwitchEntryIsStoredAndReadBackWhenThePageOpensAgain)
{
    const QStringList texts{"at once", "at loop end", "on next beat", "on next bar"};
    QComboBox* choice = settings->SwitchChoice;
    ASSERT_EQ(choice->count(), 4);
    EXPECT_EQ(choice->itemText(2), QStringLiteral("on the next beat"));
    EXPECT_EQ(choice->itemText(3), QStringLiteral("on the next bar"));
    EXPECT_TRUE(choice->toolTip().contains(QStringLiteral("session tempo")));
    for (int entry = 1; entry < 4; ++entry) {
        choice->setFocus();
        QTest::keyClick(choice, Qt::Key_Down); // the next entry, as chosen from the keyboard
        EXPECT_EQ(stored(QStringLiteral("Switch")), texts[entry]);
        padPage();
        open();
        EXPECT_EQ(settings->SwitchChoice->currentIndex(), entry);
        choice = settings->SwitchChoice;
    }
    writeSetting("Switch", "sideways"); // nonsense reads as at once
    padPage();
    open();
    EXPECT_EQ(settings->SwitchChoice->currentIndex(), 0);
}

TEST_F(PadTempoPage, EachPadsModeIsStoredInItsOwnBankAndShownForTheSelectedPad)
{
    QComboBox* mode = settings->ModeChoice;
    ASSERT_EQ(mode->count(), 3);
    EXPECT_FALSE(mode->isEnabled()) << "no pad chosen";
    settings->List1->setCurrentRow(3);
    EXPECT_TRUE(mode->isEnabled());
    EXPECT_EQ(mode->currentText(), "loop");
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);
    EXPECT_EQ(storedSample("Mode 4"), "one-shot");

    QTest::mouseClick(bar->Banks->Banks[1], Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(mode->currentText(), "loop") << "bank B's pad 4 has a mode of its own";
    QTest::keyClick(mode, Qt::Key_Down);
    QTest::keyClick(mode, Qt::Key_Down);
    EXPECT_EQ(ReadSetting("Samples B", "Mode 4", folder->settingsFile(), "<none>"), "gate");
    EXPECT_EQ(storedSample("Mode 4"), "one-shot");
    QTest::mouseClick(bar->Banks->Banks[0], Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(mode->currentText(), "one-shot");
    settings->List1->setCurrentRow(4);
    EXPECT_EQ(mode->currentText(), "loop");
}

TEST_F(PadTempoPage, ATypedTempoAndBarsAreStoredForTheBoundFileAndBarsKeepTheLoopsLength)
{
    // Five seconds: two bars at 96 BPM, four at 192.
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 5 * 44100)));
    pick(settings->List1, "Sample 4");
    EXPECT_EQ(caption(), QStringLiteral("finding…"));
    EXPECT_FALSE(panel->Bars->isEnabled()) << "bars follow a tempo";

    type(panel->Bpm, decimal(96));
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("96.00"));
    EXPECT_EQ(storedSample("Bars 4"), QStringLiteral("2"));
    EXPECT_EQ(storedSample("Tempo 4 of"), QStringLiteral("Groove.wav"));
    EXPECT_EQ(caption(), QStringLiteral("96.0 BPM · 2 bars"));
    ASSERT_TRUE(panel->Bars->isEnabled());

    type(panel->Bars, QStringLiteral("4")); // twice the bars in the same length
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("192.00"));
    EXPECT_EQ(storedSample("Bars 4"), QStringLiteral("4"));
    EXPECT_DOUBLE_EQ(panel->Bpm->value(), 192.0);

    type(panel->Bars, QStringLiteral("8")); // 384 BPM: beyond any tempo, so nothing changes
    EXPECT_EQ(storedSample("Bars 4"), QStringLiteral("4"));
    EXPECT_EQ(panel->Bars->value(), 4);
    type(panel->Bpm, decimal(25)); // held to 30: the loop is then a bar, near enough
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("30.00"));
    EXPECT_EQ(caption(), QStringLiteral("30.0 BPM · 1 bar"));
}

TEST_F(PadTempoPage, NoTempoStoresNoneAndTakesTheTempoFieldsAwayUntilUnticked)
{
    pick(settings->List1, "Sample 4");
    type(panel->Bpm, decimal(120));
    QTest::mouseClick(panel->NoTempo, Qt::LeftButton);
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("none"));
    EXPECT_EQ(caption(), QStringLiteral("no tempo"));
    EXPECT_FALSE(panel->Bpm->isEnabled());
    EXPECT_FALSE(panel->Bars->isEnabled());
    EXPECT_FALSE(panel->Tap->isEnabled());
    EXPECT_TRUE(panel->Semitones->isEnabled()) << "a drone still takes a key";

    QTest::mouseClick(panel->NoTempo, Qt::LeftButton); // found from the file again
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("<none>"));
    EXPECT_EQ(caption(), QStringLiteral("finding…"));
    EXPECT_TRUE(panel->Bpm->isEnabled());

    type(panel->Bpm, decimal(90));
    QTest::mouseClick(panel->FindAgain, Qt::LeftButton);
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("<none>"));
    EXPECT_EQ(caption(), QStringLiteral("finding…"));
}

TEST_F(PadTempoPage, TapsSetTheTempoFromTheSecondTapOnByTheirMedianInterval)
{
    double now = 10.0;
    panel->setClock([&now] { return now; });
    // Four seconds: two bars at 120 BPM.
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4 * 44100)));
    pick(settings->List1, "Sample 4");
    type(panel->Bpm, decimal(200));
    const auto tapAt = [&](double seconds) {
        now = seconds;
        QTest::mouseClick(panel->Tap, Qt::LeftButton);
    };
    tapAt(10.0);
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("200.00")) << "one tap says nothing";
    tapAt(10.5);
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("120.00"));
    tapAt(11.0);
    tapAt(11.8); // one late tap: the median holds
    EXPECT_EQ(storedSample("Tempo 4"), QStringLiteral("120.00"));
    EXPECT_EQ(storedSample("Bars 4"), QStringLiteral("2")); // the bars the loop lasts at 120
    EXPECT_EQ(caption(), QStringLiteral("120.0 BPM · 2 bars"));

    // Another pad starts its own count.
    bind(4, "Drums.wav");
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Drums.wav", Constant(0.3f, 4410)));
    pick(settings->List1, "Sample 5");
    tapAt(12.0);
    EXPECT_EQ(storedSample("Tempo 5"), QStringLiteral("<none>"));
    tapAt(12.4);
    EXPECT_EQ(storedSample("Tempo 5"), QStringLiteral("150.00"));
}

TEST_F(PadTempoPage, SemitonesAndCentsAreStoredAsThePadsOwnShift)
{
    pick(settings->List1, "Sample 4");
    type(panel->Semitones, QStringLiteral("-3"));
    type(panel->Cents, QStringLiteral("15"));
    EXPECT_EQ(storedSample("Transpose 4"), QStringLiteral("-3"));
    EXPECT_EQ(storedSample("Cents 4"), QStringLiteral("15"));
    EXPECT_EQ(panel->Cents->text(), QStringLiteral("+15 ct"));

    pick(settings->List1, "Sample 12"); // unbound: nothing to shift
    EXPECT_FALSE(panel->Semitones->isEnabled());
    EXPECT_EQ(caption(), QString());
    pick(settings->List1, "Sample 4");
    EXPECT_EQ(panel->Semitones->value(), -3);
    EXPECT_EQ(panel->Cents->value(), 15);
}

TEST_F(PadTempoPage, ATempoFoundMeanwhileShowsForTheShownPadOnly)
{
    pick(settings->List1, "Sample 4");
    ASSERT_EQ(caption(), QStringLiteral("finding…"));
    deck.setPadTempo(7, {PadTempo::Kind::Set, 90.0, 4}); // another pad's
    EXPECT_EQ(caption(), QStringLiteral("finding…"));
    deck.setPadTempo(3, {PadTempo::Kind::Set, 88.0, 2}); // as the finder reports it
    EXPECT_EQ(caption(), QStringLiteral("88.0 BPM · 2 bars"));
    EXPECT_DOUBLE_EQ(panel->Bpm->value(), 88.0);
    EXPECT_EQ(panel->Bars->value(), 2);
    EXPECT_TRUE(panel->Bars->isEnabled());
}

TEST(PadTempoPanelAlone, WithoutADeckItShowsTheFileAndStoresNothing)
{
    ProgramFolder folder;
    folder.writeAllSkins();
    WriteSetting("Samples", "Sample 2", "Loop.wav", folder.settingsFile());
    WriteSetting("Samples", "Tempo 2", "110", folder.settingsFile());
    WriteSetting("Samples", "Bars 2", "4", folder.settingsFile());
    const QByteArray before = *ReadSettingsText(folder.settingsFile());
    {
        Settings window;
        PadTempoPanel& panel = *window.Tempo;
        panel.showPad(1);
        EXPECT_EQ(panel.TempoLabel->text(), QStringLiteral("110.0 BPM · 4 bars"));
        QTest::mouseClick(panel.Tap, Qt::LeftButton);
        QTest::mouseClick(panel.Tap, Qt::LeftButton);
        QTest::mouseClick(panel.NoTempo, Qt::LeftButton);
        QTest::mouseClick(panel.FindAgain, Qt::LeftButton);
        panel.Semitones->setValue(4);
        panel.Bpm->setValue(70.0);
        panel.showPad(99);
        EXPECT_FALSE(panel.Bpm->isEnabled());
    }
    EXPECT_EQ(*ReadSettingsText(folder.settingsFile()), before);
}

} // namespace
