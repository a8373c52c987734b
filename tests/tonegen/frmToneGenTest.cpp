// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneGenFixture.h"
#include "tonegen/ToneRange.h"
#include "tonegen/ToneScale.h"
#include "tonegen/ToneScaleMarks.h"
#include "tuner/Tuner.h"

#include <QAction>

#include <cmath>

namespace {

TEST_F(ToneGenWindow, EveryOpeningStartsAtOneKilohertzAndEightTenths)
{
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(toneGen->isVisible());
    EXPECT_EQ(toneGen->background(), ProgramFolder::patternImage(820, 268, 6));
    EXPECT_EQ(toneGen->Frequency, 1000);
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("1.000 Hz"));
    EXPECT_EQ(toneGen->Picture1->pos(), QPoint(224, 39));
    EXPECT_EQ(toneGen->KnobFrame, 26);
    EXPECT_TRUE(knobShowsFrame(26));
    EXPECT_TRUE(showsSkin(toneGen->Picture2, 6));
    ASSERT_TRUE(toneGen->dsb);
    EXPECT_EQ(toneGen->dsb->bufferBytes(), 4410);
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 0.8f));
    EXPECT_EQ(toneGen->picOsc->face().pixel(0, 68), ToneDisplay::kCurve.rgb());
    EXPECT_FALSE(toneGen->scaleMarks->isVisible()); // the skin's printed scale shows
    EXPECT_FALSE(toneGen->txtFreq->isVisible());
    EXPECT_EQ(toneGen->lblLevel->text(), QStringLiteral("-1,9 dBFS"));
}

TEST_F(ToneGenWindow, TheEngineLoopsTheBlockAndItsPeriodIsOneMillisecond)
{
    ASSERT_NE(open(), nullptr);
    const std::vector<std::uint8_t> block = toneGen->toneBlock();
    const std::vector<float> out = Render(44100);
    for (std::size_t i = 0; i < 2 * block.size(); ++i) {
        const float expected = (static_cast<float>(block[i % block.size()]) - 128.0f) / 128.0f;
        ASSERT_EQ(out[2 * i], expected) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], expected) << "frame " << i;
    }
    int rising = 0;
    for (std::size_t i = 1; i < out.size() / 2; ++i)
        rising += out[2 * (i - 1)] < 0.0f && out[2 * i] >= 0.0f ? 1 : 0;
    EXPECT_NEAR(rising, 1000, 3);
}

TEST_F(ToneGenWindow, CaptionsFollowTheWindowsLocale)
{
    ASSERT_NE(open(), nullptr);
    toneGen->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    pressMarker(35);
    moveMarker(35); // the grab point stays put: 185 on the scale, 1000 Hz
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("1,000 Hz"));
    toneGen->setLocale(QLocale::c());
    moveMarker(35);
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("1000 Hz"));
    toneGen->setLocale(QLocale());
}

TEST_F(ToneGenWindow, PinkNoiseTakesTheBarsChannelAndSilencesTheSine)
{
    writePink();
    ASSERT_NE(open(), nullptr);
    Render(4410);
    clickPink();
    EXPECT_EQ(toneGen->PinkOn, 1);
    EXPECT_TRUE(showsSkin(toneGen->Picture2, 7));
    EXPECT_TRUE(bar->Deck.DMC.SampleIsActive());
    EXPECT_TRUE(silent());
    EXPECT_LT(swing(), 1e-4f); // only the noise is heard
    EXPECT_GT(Render(1)[0], 0.05f);

    // Drags are ignored while the noise plays.
    pressMarker(35);
    moveMarker(200);
    EXPECT_EQ(toneGen->Picture1->x(), 224);
    EXPECT_EQ(toneGen->Frequency, 1000);
    knobUp();
    EXPECT_EQ(toneGen->KnobFrame, 26);

    // The menu still works, and the sine sounds beside the noise.
    toneGen->mnuHz[4]->trigger();
    EXPECT_EQ(toneGen->Frequency, 250);
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(250, 0.8f));
    EXPECT_EQ(toneGen->PinkOn, 1);

    // A pad's sample that replaced the noise on the channel is stopped as well.
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Pad.wav", Constant(0.5f, 4410)));
    bar->Deck.DMC.OpenSample((folder->soundsFolder() + "Pad.wav").toStdString());
    bar->Deck.DMC.PlaySample(true);
    clickPink();
    EXPECT_EQ(toneGen->PinkOn, 0);
    EXPECT_TRUE(showsSkin(toneGen->Picture2, 6));
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(250, 0.8f));
    EXPECT_GT(swing(), 1.5f);
}

TEST_F(ToneGenWindow, SameLengthRewritesTheBufferAndAReopeningMakesANewOne)
{
    ASSERT_NE(open(), nullptr);
    toneGen->mnuHz[4]->trigger(); // 250 Hz
    const std::shared_ptr<DirectSoundBuffer> at250 = toneGen->dsb;
    ASSERT_TRUE(at250);
    toneGen->mnuHz[5]->trigger(); // 500 Hz: 4410 bytes as well
    EXPECT_EQ(toneGen->dsb, at250);
    toneGen->mnuHz[10]->trigger(); // 15 kHz: 28 times 147 samples, 4116
    const std::shared_ptr<DirectSoundBuffer> at15k = toneGen->dsb;
    EXPECT_NE(at15k, at250);
    EXPECT_EQ(at15k->bufferBytes(), 4116);

    page(0);
    EXPECT_EQ(LoadedForm<frmToneGen>(), nullptr);
    EXPECT_EQ(toneGen->dsb, at15k); // kept, looping silence
    EXPECT_TRUE(silent());

    ASSERT_EQ(open(), &TheForm<frmToneGen>());
    ASSERT_TRUE(toneGen->dsb);
    EXPECT_NE(toneGen->dsb, at15k); // same length, but a new buffer
    EXPECT_EQ(toneGen->dsb->bufferBytes(), 4116);
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(15000, 0.8f));
}

TEST_F(ToneGenWindow, AReopenedWindowKeepsFrequencyLevelAndRangeButNotTheNoise)
{
    writePink();
    ASSERT_NE(open(), nullptr);
    knobUp();
    toneGen->mnuBereich[1]->trigger(); // 300 Hz - 3 kHz
    toneGen->mnuHz[1]->trigger();      // 50 Hz: below the range, yet the menu's choice
    clickPink();
    ASSERT_TRUE(bar->Deck.DMC.SampleIsActive());

    page(1); // to the tuner: the tone generator closes and the noise stops
    EXPECT_EQ(LoadedForm<frmToneGen>(), nullptr);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
    EXPECT_NE(LoadedForm<Tuner>(), nullptr);

    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(LoadedForm<Tuner>(), nullptr);
    EXPECT_EQ(toneGen->pos(), bar->pos() + QPoint(104, 408));
    EXPECT_EQ(toneGen->PinkOn, 0);
    EXPECT_TRUE(knobShowsFrame(27));
    EXPECT_EQ(toneGen->hscVol.Value, 844);
    EXPECT_TRUE(toneGen->scaleMarks->isVisible());
    EXPECT_EQ(toneGen->Picture1->x(), 40);
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("50 Hz"));
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(50, 0.844f));
    EXPECT_EQ(toneGen->lblLevel->text(), QStringLiteral("-1,5 dBFS"));
}

TEST_F(ToneGenWindow, SettingsAreStoredOnReleaseAndChoiceNotOnEveryMove)
{
    ASSERT_NE(open(), nullptr);
    pressMarker(35);
    moveMarker(45);
    moveMarker(55);
    EXPECT_EQ(stored("ToneFreq"), QStringLiteral("(absent)"));
    releaseMarker();
    EXPECT_EQ(stored("ToneFreq"), QString::number(ToneScale::ScaleToFrequency(254 - 39)));

    pressKnob(30);
    moveKnob(0);
    EXPECT_EQ(stored("ToneVol"), QStringLiteral("(absent)"));
    releaseKnob();
    EXPECT_EQ(stored("ToneVol"), QStringLiteral("844"));

    toneGen->mnuHz[7]->trigger();
    EXPECT_EQ(stored("ToneFreq"), QStringLiteral("2000"));
    EXPECT_EQ(stored("ToneRange"), QStringLiteral("(absent)"));
    toneGen->mnuBereich[2]->trigger();
    EXPECT_EQ(stored("ToneRange"), QStringLiteral("20 Hz - 20 kHz"));
    type(QStringLiteral("440"));
    EXPECT_EQ(stored("ToneFreq"), QStringLiteral("440"));
}

TEST_F(ToneGenWindow, StoredValuesOutOfRangeOrNotNumbersMeanTheStartValues)
{
    struct Case {
        const char* frequency;
        const char* level;
        const char* range;
    };
    for (const Case c : {Case{"0", "1001", "nonsense"}, Case{"20001", "-1", "Scale"},
                         Case{"abc", "80%", "20 Hz - 20"}, Case{"440.5", "8e2", ""},
                         Case{"1k", " ", "1 Hz - 500"}}) {
        writeSetting("ToneFreq", c.frequency);
        writeSetting("ToneVol", c.level);
        writeSetting("ToneRange", c.range);
        ASSERT_NE(open(), nullptr);
        EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 0.8f)) << c.frequency << c.level;
        EXPECT_EQ(toneGen->Range, ToneRange::Range::Scale) << c.range;
        EXPECT_EQ(toneGen->KnobFrame, 26);
        page(0);
    }
    // Values the window itself would write, with blanks a hand edit may leave.
    writeSetting("ToneFreq", " 20000 ");
    writeSetting("ToneVol", "0");
    writeSetting("ToneRange", "1 HZ - 500 HZ");
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(toneGen->Frequency, 20000);
    EXPECT_EQ(toneGen->KnobFrame, 0);
    EXPECT_EQ(toneGen->Range, ToneRange::Range::Low);
    EXPECT_EQ(toneGen->Picture1->x(), 710);
    EXPECT_TRUE(silent());
    EXPECT_EQ(toneGen->lblLevel->text(), QStringLiteral("-\u221e dBFS"));
}

TEST_F(ToneGenWindow, TheLoopPointStepsNoFurtherThanTheToneWithinTheBlock)
{
    ASSERT_NE(open(), nullptr);
    for (const int frequency : {1000, 997, 10960, 20000}) {
        type(QString::number(frequency));
        ASSERT_EQ(toneGen->Frequency, frequency);
        const std::vector<std::uint8_t>& block = toneGen->toneBlock();
        float within = 0.0f;
        for (std::size_t i = 1; i < block.size(); ++i)
            within = std::max(within, std::fabs(static_cast<float>(block[i] - block[i - 1])));
        within /= 128.0f;

        Render(4410); // the previous tone fades out under this one
        // Past the loop point at least once, with a sample on either side.
        const std::vector<float> out = Render(static_cast<int>(block.size()) + 2);
        float largest = 0.0f;
        for (std::size_t i = 2; i < out.size(); i += 2)
            largest = std::max(largest, std::fabs(out[i] - out[i - 2]));
        EXPECT_LE(largest, within) << frequency << " Hz";
        EXPECT_GT(largest, 0.5f * within) << frequency << " Hz";
    }
}

TEST_F(ToneGenWindow, MissingSkinsLeaveTheControlsBlankButTheToneSounds)
{
    for (const char* name : {"ToneOff.bmp", "ToneOn.bmp", "PotiClip.bmp"})
        QFile::remove(folder->skinFolder() + name);
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(toneGen->background().isNull());
    EXPECT_EQ(toneGen->Frequency, 1000);
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 0.8f));
    knobUp();
    EXPECT_EQ(toneGen->hscVol.Value, 844);
    clickPink(); // no pink.wav either: the button still switches
    EXPECT_EQ(toneGen->PinkOn, 1);
    EXPECT_FALSE(bar->Deck.DMC.SampleIsActive());
}

TEST_F(ToneGenWindow, ABufferChangeWhileSoundingDoesNotClick)
{
    ASSERT_NE(open(), nullptr);
    Render(4410);
    // A drag across lengths and levels: every step replaces or rewrites the sounding buffer.
    float largestStep = 0.0f;
    float last = Render(1)[0];
    pressMarker(35);
    for (int x = 35; x <= 135; x += 5) {
        moveMarker(x);
        for (float sample : Render(300)) {
            largestStep = std::max(largestStep, std::fabs(sample - last));
            last = sample;
        }
    }
    // The sine at the highest frequency of this drag moves at most 2 pi f / 44100 x 0.8 between
    // samples, and while one buffer fades out under the next two such sines add up; a click
    // would be a step of about the full level.
    const double sineStep = 2.0 * M_PI * toneGen->Frequency / 44100.0 * 0.8;
    EXPECT_LT(largestStep, 2.0 * sineStep + 0.05);
    EXPECT_GT(largestStep, 0.5 * sineStep); // it did sound
}

} // namespace
