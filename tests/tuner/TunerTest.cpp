// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuner/Tuner.h"
#include "bar/BarTestSupport.h"
#include "startup/InstallationStep.h"

#include <QFile>

namespace {

class TunerPage : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(InstallationStep()); // writes the reference sounds into the test's temp folder
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
        bind(3, "Groove.wav");
    }
    Tuner& openTuner()
    {
        QTest::mousePress(bar->Picture1[1], Qt::LeftButton, {}, QPoint(5, 5));
        Tuner* tuner = LoadedForm<Tuner>();
        EXPECT_NE(tuner, nullptr);
        return *tuner;
    }
    static QImage tunerSkin(int seed, const QRect& rect)
    {
        return ProgramFolder::patternImage(820, 268, seed).copy(rect);
    }
    static bool tunerLit(const PictureBox* c) { return c->face() == tunerSkin(5, c->geometry()); }
    static bool tunerUnlit(const PictureBox* c) { return c->face() == tunerSkin(4, c->geometry()); }
    static std::vector<int> litStrings(const Tuner& tuner)
    {
        std::vector<int> lit;
        for (int i = 0; i < Tuner::kStringCount; ++i) {
            if (tunerLit(tuner.Picture1[i]))
                lit.push_back(i);
            else
                EXPECT_TRUE(tunerUnlit(tuner.Picture1[i])) << "string " << i;
        }
        return lit;
    }
    static void pressString(Tuner& tuner, int index, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(tuner.Picture1[index], button, {}, QPoint(5, 5));
    }
    static void pressLoopSwitch(Tuner& tuner)
    {
        QTest::mousePress(tuner.Picture2, Qt::LeftButton, {}, QPoint(5, 5));
    }
    static float peakOf(const std::vector<float>& stereo)
    {
        float peak = 0;
        for (float v : stereo)
            peak = std::max(peak, std::fabs(v));
        return peak;
    }
};

TEST_F(TunerPage, OpeningPlaysTheChordOnceWithEveryButtonDark)
{
    click(3);
    Tuner& tuner = openTuner();
    EXPECT_TRUE(litStrings(tuner).empty());
    EXPECT_TRUE(tunerUnlit(tuner.Picture2));
    EXPECT_FALSE(tuner.Timer1.isActive());
    EXPECT_TRUE(tuner.DMC.SampleIsActive());
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive()); // the pad went quiet
    EXPECT_GT(peakOf(Render(4410)), 0.05f);
    Render(3 * 44100); // the chord lasts 2 to 3 seconds
    EXPECT_FALSE(tuner.DMC.SampleIsActive());
    EXPECT_TRUE(tuner.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(TunerPage, AStringPlaysOnceAndItsButtonGoesDarkAfterTheTone)
{
    Tuner& tuner = openTuner();
    pressString(tuner, 4, Qt::RightButton); // A, with any button
    EXPECT_EQ(litStrings(tuner), std::vector<int>{4});
    EXPECT_TRUE(tuner.Timer1.isActive());
    tuner.Timer1_Timer();
    EXPECT_EQ(litStrings(tuner), std::vector<int>{4}); // still sounding

    Render(2 * 44100); // the string tones last at most 1.7 s
    EXPECT_FALSE(tuner.DMC.SampleIsActive());
    tuner.Timer1_Timer();
    EXPECT_TRUE(litStrings(tuner).empty());
    EXPECT_FALSE(tuner.Timer1.isActive());
}

TEST_F(TunerPage, LoopedStringsSwitchAndTheLoopSwitchSilencesAtOnce)
{
    Tuner& tuner = openTuner();
    pressLoopSwitch(tuner);
    EXPECT_EQ(AppModul::TunerLoopOn, 1);
    EXPECT_TRUE(tunerLit(tuner.Picture2));

    pressString(tuner, 3); // D loops
    Render(3 * 44100);
    EXPECT_TRUE(tuner.DMC.SampleIsActive());
    pressString(tuner, 4); // A replaces it
    EXPECT_EQ(litStrings(tuner), std::vector<int>{4});
    Render(3 * 44100);
    EXPECT_TRUE(tuner.DMC.SampleIsActive());

    pressLoopSwitch(tuner);
    EXPECT_EQ(AppModul::TunerLoopOn, 0);
    EXPECT_TRUE(tunerUnlit(tuner.Picture2));
    EXPECT_FALSE(tuner.DMC.SampleIsActive());
    const auto after = Render(4410);
    EXPECT_EQ(peakOf(std::vector<float>(after.begin() + 2 * 441, after.end())),
              0.0f);                                   // silent after the fade
    EXPECT_EQ(litStrings(tuner), std::vector<int>{4}); // dark only at the next tick
    tuner.Timer1_Timer();
    EXPECT_TRUE(litStrings(tuner).empty());
}

TEST_F(TunerPage, LeavingWhileATonesLoopsSilencesItAndTheNextOpeningStartsWithTheSwitchOff)
{
    Tuner& tuner = openTuner();
    pressLoopSwitch(tuner);
    pressString(tuner, 0);
    QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(LoadedForm<Tuner>(), nullptr);
    EXPECT_FALSE(tuner.DMC.SampleIsActive());
    EXPECT_EQ(AppModul::TunerLoopOn, 0);

    Tuner& again = openTuner();
    EXPECT_EQ(&again, &tuner);
    EXPECT_TRUE(tunerUnlit(again.Picture2));
    EXPECT_TRUE(litStrings(again).empty());
    EXPECT_TRUE(again.DMC.SampleIsActive()); // the chord again
}

TEST_F(TunerPage, AMissingReferenceSoundStaysSilentAndGoesDarkAtTheNextTick)
{
    ASSERT_TRUE(QFile::remove(folder->tempFolder() + "G.wav"));
    Tuner& tuner = openTuner();
    pressString(tuner, 2);
    EXPECT_FALSE(tuner.DMC.SampleIsActive());
    EXPECT_EQ(peakOf(Render(2048)), 0.0f);
    tuner.Timer1_Timer();
    EXPECT_TRUE(litStrings(tuner).empty());
}

TEST(TunerStrings, RunFromHighEToLowE)
{
    const QStringList expected = {"E2.wav", "H.wav", "G.wav", "D.wav", "A.wav", "E.wav"};
    for (int i = 0; i < Tuner::kStringCount; ++i)
        EXPECT_EQ(Tuner::StringFile(i), expected[i]);
}

} // namespace

namespace {
TEST_F(TunerPage, StaysOverThePadsWhenTheWindowSystemAsksItToClose)
{
    Tuner& tuner = openTuner();
    pressLoopSwitch(tuner);
    pressString(tuner, 4);
    EXPECT_FALSE(tuner.close());
    EXPECT_TRUE(tuner.isVisible());
    EXPECT_TRUE(tuner.DMC.SampleIsActive());
    EXPECT_EQ(AppModul::TunerLoopOn, 1);
}
} // namespace
