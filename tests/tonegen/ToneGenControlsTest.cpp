// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneGenFixture.h"
#include "tonegen/ToneRange.h"
#include "tonegen/ToneScale.h"
#include "tonegen/ToneScaleMarks.h"

#include <QAction>
#include <QMenu>

// The tone generator's controls: the marker on its scale, the knob, the menu and the readout.

namespace {

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

} // namespace
