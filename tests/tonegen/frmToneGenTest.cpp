#include "tonegen/frmToneGen.h"
#include "bar/BarTestSupport.h"
#include "startup/InstallationStep.h"
#include "tonegen/ToneBlock.h"
#include "tonegen/ToneScale.h"
#include "tuner/Tuner.h"

#include <QAction>
#include <QLocale>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace {

std::vector<std::uint8_t> expectedBlock(int frequency, float volume)
{
    std::vector<std::uint8_t> block;
    ToneBlock::Fill(block, frequency, volume, 1.0f);
    return block;
}

class ToneGenWindow : public BarFixture {
protected:
    void SetUp() override
    {
        // Captions group digits the user's way; the machine's own locale may be "C".
        QLocale::setDefault(QLocale(QLocale::German));
        BarFixture::SetUp();
    }
    void TearDown() override
    {
        BarFixture::TearDown();
        QLocale::setDefault(QLocale::c());
    }

    frmToneGen* open()
    {
        page(2);
        toneGen = LoadedForm<frmToneGen>();
        return toneGen;
    }
    void page(int k) const
    {
        QTest::mousePress(bar->Picture1[k], Qt::LeftButton, {}, QPoint(5, 5));
    }

    // A drag of the marker: press at the pointer column, then one move to local x.
    void pressMarker(double x = 35, Qt::MouseButton button = Qt::LeftButton) const
    {
        sendMouse(toneGen->Picture1, QEvent::MouseButtonPress, QPointF(x, 20), button, button);
    }
    void moveMarker(double x) const
    {
        sendMouse(toneGen->Picture1, QEvent::MouseMove, QPointF(x, 20), Qt::NoButton,
                  Qt::LeftButton);
    }
    void pressKnob(double y = 30) const
    {
        sendMouse(toneGen->Picture3, QEvent::MouseButtonPress, QPointF(36, y), Qt::LeftButton,
                  Qt::LeftButton);
    }
    void moveKnob(double y) const
    {
        sendMouse(toneGen->Picture3, QEvent::MouseMove, QPointF(36, y), Qt::NoButton,
                  Qt::LeftButton);
    }
    void releaseKnob() const
    {
        sendMouse(toneGen->Picture3, QEvent::MouseButtonRelease, QPointF(36, 0), Qt::LeftButton,
                  Qt::NoButton);
    }
    // Drags the knob up by six pixels: one frame louder.
    void knobUp()
    {
        pressKnob(30);
        moveKnob(0);
        releaseKnob();
    }
    void clickPink() const
    {
        QTest::mouseClick(toneGen->Picture2, Qt::LeftButton, {}, QPoint(20, 20));
    }

    // The tone generator's own skins: 6 unlit, 7 lit, 8 the knob strip of 68-pixel frames.
    bool showsSkin(const PictureBox* control, int seed) const
    {
        return control->face() ==
               ProgramFolder::patternImage(820, 268, seed).copy(control->geometry());
    }
    bool knobShowsFrame(int frame) const
    {
        static const QImage strip = ProgramFolder::patternImage(73, 68 * 32, 8);
        return toneGen->Picture3->face() == strip.copy(0, frame * 68, 73, 68);
    }
    bool silent() const
    {
        const auto& block = toneGen->toneBlock();
        return !block.empty() &&
               std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 128; });
    }
    // A steady level stands in for the noise, so that any sine left over would show.
    void writePink() const
    {
        ASSERT_TRUE(WriteTestSound(AppModul::TempFolder + "pink.wav", Constant(0.25f, 44100)));
    }
    // The peak-to-peak swing of what sounds, once a rewrite has faded over.
    static float swing()
    {
        Render(2048);
        const std::vector<float> out = Render(4101);
        const auto [low, high] = std::minmax_element(out.begin(), out.end());
        return *high - *low;
    }

    frmToneGen* toneGen = nullptr;
};

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
    EXPECT_EQ(toneGen->dsb->bufferBytes(), 4101);
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 0.8f));
    EXPECT_EQ(toneGen->picOsc->face().pixel(0, 68), ToneDisplay::kCurve.rgb());
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

TEST_F(ToneGenWindow, TheMarkerStopsAtBothEndsOfTheScale)
{
    ASSERT_NE(open(), nullptr);
    pressMarker(35);
    moveMarker(45); // ten pixels right of the grab
    EXPECT_EQ(toneGen->Picture1->pos(), QPoint(234, 39));
    EXPECT_EQ(toneGen->Frequency, ToneScale::ScaleToFrequency(195));

    moveMarker(-1000);
    EXPECT_EQ(toneGen->Picture1->pos(), QPoint(40, 39));
    EXPECT_EQ(toneGen->Frequency, 1);
    EXPECT_EQ(toneGen->Label1->text(), QStringLiteral("1 - 40"));
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("1 Hz"));
    EXPECT_EQ(toneGen->dsb->bufferBytes(), 44100);

    moveMarker(2000);
    EXPECT_EQ(toneGen->Picture1->pos(), QPoint(710, 39));
    EXPECT_EQ(toneGen->Frequency, 10960);
    EXPECT_EQ(toneGen->Label1->text(), QStringLiteral("10960 - 710"));
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("10.960 Hz"));
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(10960, 0.8f));

    // A move that leaves the marker where it was still rebuilds the tone.
    toneGen->lblFreq->setText(QString());
    moveMarker(35);
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("10.960 Hz"));

    // Without the left button a move is no drag.
    sendMouse(toneGen->Picture1, QEvent::MouseMove, QPointF(-300, 20), Qt::NoButton,
              Qt::RightButton);
    EXPECT_EQ(toneGen->Picture1->x(), 710);
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

TEST_F(ToneGenWindow, TheMenuHoldsTheRangesAndSevenFrequencies)
{
    ASSERT_NE(open(), nullptr);
    QMenu* menu = toneGen->mnuPop;
    EXPECT_EQ(menu->title(), QStringLiteral("Popup"));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[0], toneGen->mnuBer->menuAction());
    EXPECT_EQ(items[0]->text(), QStringLiteral("Bereich"));
    EXPECT_TRUE(items[1]->isSeparator());
    QStringList ranges;
    for (QAction* range : toneGen->mnuBer->actions())
        ranges << range->text();
    EXPECT_EQ(ranges, (QStringList{"1 Hz - 500 Hz", "300 Hz - 3 kHz", "20 Hz - 20 kHz"}));

    struct Entry {
        int frequency;
        int left;
    };
    const Entry entries[] = {{20, 64},   {50, 79},   {80, 90},   {100, 96},
                             {250, 130}, {500, 169}, {1000, 224}};
    for (int i = 0; i < 7; ++i) {
        const Entry e = entries[i];
        EXPECT_EQ(items[i + 2]->text(), QStringLiteral("%1 Hz").arg(e.frequency));
        items[i + 2]->trigger();
        EXPECT_EQ(toneGen->Frequency, e.frequency);
        EXPECT_EQ(toneGen->Picture1->pos(), QPoint(e.left, 39));
        EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("%1 Hz").arg(e.frequency));
        EXPECT_EQ(toneGen->toneBlock(), expectedBlock(e.frequency, 0.8f));
        EXPECT_EQ(toneGen->dsb->bufferBytes(), ToneBlock::Length(e.frequency));
    }

    for (QAction* range : toneGen->mnuBer->actions())
        range->trigger(); // offered, but they change nothing
    EXPECT_EQ(toneGen->Frequency, 1000);
    EXPECT_EQ(toneGen->Picture1->x(), 224);

    // A drag after the menu starts from the scale under the marker, not from the menu's value.
    toneGen->mnuHz[0]->trigger(); // 20 Hz at 64, where the scale reads 21
    pressMarker(35);
    moveMarker(35);
    EXPECT_EQ(toneGen->Frequency, 21);
}

TEST_F(ToneGenWindow, TheKnobStepsOneFrameBeyondFivePixels)
{
    ASSERT_NE(open(), nullptr);
    moveKnob(0); // not pressed: nothing
    EXPECT_EQ(toneGen->KnobFrame, 26);

    pressKnob(30);
    EXPECT_TRUE(toneGen->KnobDragging);
    EXPECT_EQ(toneGen->KnobLastY, 26); // a press does not reset the last step
    moveKnob(31);                      // exactly five below the last step
    moveKnob(21);                      // exactly five above
    EXPECT_EQ(toneGen->KnobFrame, 26);
    EXPECT_EQ(toneGen->hscVol.Value, 800);

    moveKnob(20); // six up: one frame up
    EXPECT_EQ(toneGen->KnobFrame, 27);
    EXPECT_EQ(toneGen->KnobLastY, 20);
    EXPECT_EQ(toneGen->hscVol.Value, 844);
    EXPECT_TRUE(knobShowsFrame(27));
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 0.844f));

    moveKnob(26); // six down: back to 26, which reads 812
    EXPECT_EQ(toneGen->KnobFrame, 26);
    EXPECT_EQ(toneGen->hscVol.Value, 812);

    moveKnob(-500); // far up, still only one step
    EXPECT_EQ(toneGen->KnobFrame, 27);
    for (double y = -510; toneGen->KnobFrame < 32; y -= 10)
        moveKnob(y);
    EXPECT_EQ(toneGen->hscVol.Value, 1000);
    EXPECT_TRUE(knobShowsFrame(31)); // the strip's last frame
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 1.0f));

    moveKnob(toneGen->KnobLastY - 6.0);
    EXPECT_EQ(toneGen->KnobFrame, 33);
    EXPECT_EQ(toneGen->hscVol.Value, 1000);
    EXPECT_TRUE(knobShowsFrame(31));

    releaseKnob();
    EXPECT_FALSE(toneGen->KnobDragging);
    moveKnob(toneGen->KnobLastY + 100.0);
    EXPECT_EQ(toneGen->KnobFrame, 33);

    // Below frame 0 the knob keeps its first frame and the level its last value.
    toneGen->KnobFrame = 0;
    pressKnob(toneGen->KnobLastY);
    moveKnob(toneGen->KnobLastY + 6.0);
    EXPECT_EQ(toneGen->KnobFrame, -1);
    EXPECT_TRUE(knobShowsFrame(0));
    EXPECT_EQ(toneGen->hscVol.Value, 1000);
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
    toneGen->mnuHz[5]->trigger(); // 500 Hz: 4057 bytes as well
    EXPECT_EQ(toneGen->dsb, at250);
    toneGen->mnuHz[6]->trigger(); // 1000 Hz: 4101
    const std::shared_ptr<DirectSoundBuffer> at1000 = toneGen->dsb;
    EXPECT_NE(at1000, at250);

    page(0);
    EXPECT_EQ(LoadedForm<frmToneGen>(), nullptr);
    EXPECT_EQ(toneGen->dsb, at1000); // kept, looping silence
    EXPECT_TRUE(silent());
    EXPECT_EQ(toneGen->Frequency, 1000);

    ASSERT_EQ(open(), &TheForm<frmToneGen>());
    ASSERT_TRUE(toneGen->dsb);
    EXPECT_NE(toneGen->dsb, at1000); // same length, but a new buffer
    EXPECT_EQ(toneGen->dsb->bufferBytes(), 4101);
    EXPECT_EQ(toneGen->toneBlock(), expectedBlock(1000, 0.8f));
}

TEST_F(ToneGenWindow, AReopenedWindowStartsFromItsDesignValues)
{
    writePink();
    ASSERT_NE(open(), nullptr);
    knobUp();
    toneGen->mnuHz[1]->trigger();
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
    EXPECT_EQ(toneGen->KnobFrame, 26);
    EXPECT_EQ(toneGen->hscVol.Value, 800);
    EXPECT_EQ(toneGen->Picture1->x(), 224);
    EXPECT_EQ(toneGen->Frequency, 1000);
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
