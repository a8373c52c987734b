// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarTestSupport.h"

#include "settings/Settings.h"
#include "tonegen/frmToneGen.h"
#include "tuner/Tuner.h"

namespace {

class BarPages : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
        bind(3, "Groove.wav");
    }
    void page(int k) const
    {
        QTest::mousePress(bar->Picture1[k], Qt::LeftButton, {}, QPoint(5, 5));
    }
    void settingsPage() const
    {
        QTest::mousePress(bar->Picture4, Qt::LeftButton, {}, QPoint(5, 5));
    }
    std::vector<int> litPageButtons() const
    {
        std::vector<int> lit;
        for (int k = 0; k < 3; ++k)
            if (isLit(bar->Picture1[k]))
                lit.push_back(k);
        if (isLit(bar->Picture4))
            lit.push_back(3);
        return lit;
    }
};

TEST_F(BarPages, TheTunerSilencesAndDarkensThePlayingPad)
{
    click(3);
    page(1);
    EXPECT_EQ(bar->CurrentPage, 1);
    EXPECT_EQ(litPageButtons(), std::vector<int>{1});
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_TRUE(litPads().empty());
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    Tuner* tuner = LoadedForm<Tuner>();
    ASSERT_NE(tuner, nullptr);
    EXPECT_TRUE(tuner->isVisible());
    EXPECT_EQ(tuner->pos(), bar->pos() + QPoint(105, 409));

    // The band pitch it hears tunes the pads, also after the tuner was opened again.
    emit tuner->bandPitchAccepted(438.6);
    EXPECT_EQ(bar->Deck.Tempo.now().bandA4, 438.6);
    page(0); // back on the pads nothing plays and nothing is lit
    EXPECT_EQ(LoadedForm<Tuner>(), nullptr);
    EXPECT_TRUE(litPads().empty());
    EXPECT_EQ(litPageButtons(), std::vector<int>{0});
    page(1);
    emit LoadedForm<Tuner>()->bandPitchAccepted(440.0);
    EXPECT_EQ(bar->Deck.Tempo.now().bandA4, 440.0);
}

TEST_F(BarPages, TheSettingsPageLetsThePadPlayOnAndRelightsItOnReturn)
{
    click(3);
    settingsPage();
    EXPECT_EQ(bar->CurrentPage, 3);
    EXPECT_EQ(litPageButtons(), std::vector<int>{3});
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
    Settings* settings = LoadedForm<Settings>();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->pos(), bar->pos() + QPoint(105, 409));

    page(0);
    EXPECT_EQ(LoadedForm<Settings>(), nullptr);
    EXPECT_EQ(litPads(), std::vector<int>{3});
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
}

TEST_F(BarPages, TheSettingsPageLoadsTheSlidersFromTheSettingsFile)
{
    settingsPage(); // no settings file: the defaults
    Settings* settings = LoadedForm<Settings>();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Picture4->KnobLeft(), 1650);
    EXPECT_EQ(settings->Label5->text(), QStringLiteral("0"));
    EXPECT_EQ(settings->Picture2->KnobLeft(), 2625);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("80"));

    writeSetting("PanPos", "412.5");
    writeSetting("PanVal", "-37.5abc");
    writeSetting("VolPos", "3285");
    writeSetting("Volume", "100");
    settingsPage(); // again on the open page: the knobs are set anew
    EXPECT_EQ(settings->Picture4->KnobLeft(), 412.5);
    EXPECT_EQ(settings->Label5->text(), QStringLiteral("-37.5"));
    EXPECT_EQ(settings->Picture2->KnobLeft(), 3285);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("100"));
}

TEST_F(BarPages, TheToneGeneratorSitsOnePixelUpAndLeftAndLeavingItStopsOnlyTheSampleChannel)
{
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Loop.mp3", Constant(0.3f, 44100)));
    page(2);
    frmToneGen* toneGen = LoadedForm<frmToneGen>();
    ASSERT_NE(toneGen, nullptr);
    EXPECT_EQ(toneGen->pos(), bar->pos() + QPoint(104, 408));

    // Something on the bar's sample channel and a stream: leaving stops the first only.
    bar->Deck.DMC.OpenSample((folder->soundsFolder() + "Groove.wav").toStdString());
    bar->Deck.DMC.PlaySample(true);
    bar->Deck.DMC.OpenStream((folder->soundsFolder() + "Loop.mp3").toStdString());
    bar->Deck.DMC.PlayStream(true);
    page(0);
    EXPECT_EQ(LoadedForm<frmToneGen>(), nullptr);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_TRUE(bar->Deck.DMC.StreamIsActive());
}

TEST_F(BarPages, FromSettingsToTunerAndTheFollowTimerKeepsThemInPlace)
{
    settingsPage();
    page(1);
    EXPECT_EQ(LoadedForm<Settings>(), nullptr);
    Tuner* tuner = LoadedForm<Tuner>();
    ASSERT_NE(tuner, nullptr);

    bar->move(bar->pos() + QPoint(40, 25));
    bar->Timer2_Timer();
    EXPECT_EQ(tuner->pos(), bar->pos() + QPoint(105, 409));

    page(1); // pressed again while open: not reloaded
    EXPECT_EQ(LoadedForm<Tuner>(), tuner);
}

TEST_F(BarPages, OnThePadPageTheFollowTimerMovesNothingAndRestsUntilAToolPage)
{
    EXPECT_FALSE(bar->Timer2.isActive());
    for (int k : {1, 2}) {
        page(k);
        EXPECT_TRUE(bar->Timer2.isActive()) << k;
        page(0);
        EXPECT_FALSE(bar->Timer2.isActive()) << k;
    }
    settingsPage();
    EXPECT_TRUE(bar->Timer2.isActive());
    page(0);
    EXPECT_FALSE(bar->Timer2.isActive());
    bar->Timer2_Timer();
    EXPECT_EQ(LoadedForm<Tuner>(), nullptr);
    EXPECT_EQ(LoadedForm<Settings>(), nullptr);
    EXPECT_EQ(LoadedForm<frmToneGen>(), nullptr);
}

} // namespace
