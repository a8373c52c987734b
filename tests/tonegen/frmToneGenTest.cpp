#include "tonegen/frmToneGen.h"
#include "bar/BarTestSupport.h"
#include "core/SettingsStore.h"
#include "startup/InstallationStep.h"
#include "tonegen/ToneBlock.h"
#include "tonegen/ToneFrequencyEntry.h"
#include "tonegen/ToneRange.h"
#include "tonegen/ToneScale.h"
#include "tonegen/ToneScaleMarks.h"
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
    void releaseMarker() const
    {
        sendMouse(toneGen->Picture1, QEvent::MouseButtonRelease, QPointF(35, 20), Qt::LeftButton,
                  Qt::NoButton);
    }
    // Double-clicks the readout and types text into the field that opens, then the key.
    void type(const QString& text, Qt::Key key = Qt::Key_Return) const
    {
        QTest::mouseDClick(toneGen->lblFreq, Qt::LeftButton, {}, QPoint(20, 10));
        ASSERT_TRUE(toneGen->txtFreq->isVisible());
        toneGen->txtFreq->selectAll();
        QTest::keyClick(toneGen->txtFreq, Qt::Key_Backspace);
        QTest::keyClicks(toneGen->txtFreq, text);
        QTest::keyClick(toneGen->txtFreq, key);
    }
    static QString stored(const char* key)
    {
        return ReadSetting(AppModul::AppTitle, QLatin1String(key), AppModul::SettingsFile,
                           QStringLiteral("(absent)"));
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
    float swing()
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

TEST_F(ToneGenWindow, TheMenuHoldsTheRangesAndTwelveFrequencies)
{
    ASSERT_NE(open(), nullptr);
    QMenu* menu = toneGen->mnuPop;
    EXPECT_EQ(menu->title(), QStringLiteral("Popup"));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 14);
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
    // Beyond the printed scale's 10960 Hz the marker waits at its right stop.
    const Entry entries[] = {{20, 64},    {50, 79},     {80, 90},     {100, 96},
                             {250, 130},  {500, 169},   {1000, 224},  {2000, 306},
                             {5000, 475}, {10000, 677}, {15000, 710}, {20000, 710}};
    const QStringList captions = {"20 Hz",   "50 Hz", "80 Hz", "100 Hz", "250 Hz", "500 Hz",
                                  "1000 Hz", "2 kHz", "5 kHz", "10 kHz", "15 kHz", "20 kHz"};
    for (int i = 0; i < 12; ++i) {
        const Entry e = entries[i];
        EXPECT_EQ(items[i + 2]->text(), captions[i]);
        items[i + 2]->trigger();
        EXPECT_EQ(toneGen->Frequency, e.frequency);
        EXPECT_EQ(toneGen->Picture1->pos(), QPoint(e.left, 39));
        EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("%1 Hz").arg(e.frequency));
        EXPECT_EQ(toneGen->toneBlock(), expectedBlock(e.frequency, 0.8f));
        EXPECT_EQ(toneGen->dsb->bufferBytes(), ToneBlock::Length(e.frequency));
    }

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

TEST_F(ToneGenWindow, TypingIntoTheReadoutTakesFrequenciesAndRefusesNonsense)
{
    ASSERT_NE(open(), nullptr);
    struct Case {
        const char* text;
        int frequency;
    };
    for (const Case c : {Case{"1.5 kHz", 1500}, Case{"440", 440}, Case{"1k", 1000},
                         Case{"20 kHz", 20000}, Case{"1", 1}}) {
        type(QString::fromLatin1(c.text));
        EXPECT_FALSE(toneGen->txtFreq->isVisible()) << c.text;
        EXPECT_EQ(toneGen->Frequency, c.frequency) << c.text;
        EXPECT_EQ(toneGen->Picture1->x(),
                  ToneRange::MarkerLeftFor(ToneRange::Range::Scale, c.frequency));
        EXPECT_EQ(toneGen->toneBlock(), expectedBlock(c.frequency, 0.8f)) << c.text;
    }

    // Nonsense keeps the field open for another try; Escape leaves the tone as it was.
    for (const char* nonsense : {"abc", "25 kHz", "0", ""}) {
        type(QString::fromLatin1(nonsense));
        EXPECT_TRUE(toneGen->txtFreq->isVisible()) << nonsense;
        QTest::keyClick(toneGen->txtFreq, Qt::Key_Escape);
        EXPECT_EQ(toneGen->Frequency, 1) << nonsense;
    }
    EXPECT_EQ(toneGen->lblFreq->text(), QStringLiteral("1 Hz"));

    // Beside the pink noise a typed frequency moves the marker but the sine stays silent.
    writePink();
    clickPink();
    type(QStringLiteral("300"));
    EXPECT_EQ(toneGen->Frequency, 300);
    EXPECT_TRUE(silent());
}

TEST_F(ToneGenWindow, ARefusedTextShowsRedAtOnceAndStaysMarkedForTheNextTry)
{
    ASSERT_NE(open(), nullptr);
    ToneFrequencyEntry& field = *toneGen->txtFreq;
    // Pixels of the refusal's red as the field draws itself, marked text included.
    const auto redPixels = [&field] {
        const QImage drawn = field.grab().toImage();
        int red = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                const QColor c = drawn.pixelColor(x, y);
                red += c.red() > 180 && c.green() < 110 && c.blue() < 110 ? 1 : 0;
            }
        return red;
    };
    type(QStringLiteral("12k"));
    ASSERT_FALSE(field.isVisible());
    QTest::mouseDClick(toneGen->lblFreq, Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_TRUE(field.isVisible());
    EXPECT_EQ(field.selectedText(), QStringLiteral("12000"));
    EXPECT_EQ(redPixels(), 0);

    field.setText(QStringLiteral("12 kHzz"));
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Return);
    ASSERT_TRUE(field.isVisible());
    EXPECT_EQ(field.selectedText(), QStringLiteral("12 kHzz"));
    EXPECT_GT(redPixels(), 10);

    // Typing over it is a new try, in white again.
    QTest::keyClicks(&field, QStringLiteral("9"));
    EXPECT_EQ(field.text(), QStringLiteral("9"));
    EXPECT_EQ(redPixels(), 0);
}

TEST_F(ToneGenWindow, ARangeSpreadsTheMarkersTravelAndShowsItsOwnMarks)
{
    ASSERT_NE(open(), nullptr);
    // The marks' colour at the frequency's column, or some columns beside it.
    const auto markColour = [this](int frequency, int beside = 0) {
        const QImage marks = toneGen->scaleMarks->grab().toImage();
        const int column = ToneScaleMarks::MarkColumn(toneGen->Range, frequency) + beside;
        return marks.pixelColor(column - ToneScaleMarks::kArea.left(), 80 - 45);
    };
    const QColor major(0xd0, 0xd4, 0xd8);

    struct Case {
        int index;
        ToneRange::Range range;
        int low, high;
        int decade; // a frequency with a long mark in that range
    };
    for (const Case c : {Case{2, ToneRange::Range::Full, 20, 20000, 1000},
                         Case{0, ToneRange::Range::Low, 1, 500, 10},
                         Case{1, ToneRange::Range::Middle, 300, 3000, 1000}}) {
        toneGen->mnuBereich[static_cast<std::size_t>(c.index)]->trigger();
        EXPECT_EQ(toneGen->Range, c.range);
        ASSERT_TRUE(toneGen->scaleMarks->isVisible());
        EXPECT_EQ(markColour(c.decade), major) << c.decade;
        EXPECT_NE(markColour(c.decade, 3), major); // bare rail beside it
        pressMarker(35);
        moveMarker(-1000);
        EXPECT_EQ(toneGen->Frequency, c.low);
        moveMarker(2000);
        EXPECT_EQ(toneGen->toneBlock(), expectedBlock(c.high, 0.8f));
        releaseMarker();
    }
    // A range that does not hold the tone takes it to its nearer end: 3 kHz into 1 Hz - 500 Hz.
    toneGen->mnuBereich[0]->trigger();
    EXPECT_EQ(toneGen->Frequency, 500);
    EXPECT_EQ(toneGen->Picture1->x(), 710);
    // One that holds it keeps it and moves the marker to its point.
    toneGen->mnuHz[3]->trigger(); // 100 Hz
    toneGen->mnuBereich[2]->trigger();
    EXPECT_EQ(toneGen->Frequency, 100);
    EXPECT_EQ(toneGen->Picture1->x(), 196);
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
