// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTestSupport.h"

#include "core/NumberText.h"

namespace {

class Sliders : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        click(3); // pad 4 loops at the stored defaults: volume 80, pan 0, level 0.4 each side
        open();
    }
    // What a level of 0.5 sounds like at a volume and a balance pan.
    void expectHeard(double volume, double pan)
    {
        const ChannelLevels levels = levelsNow();
        const double gain = 0.5 * volume / 100;
        EXPECT_NEAR(levels.left, gain * (pan > 0 ? 1 - pan / 100 : 1), 0.002);
        EXPECT_NEAR(levels.right, gain * (pan < 0 ? 1 + pan / 100 : 1), 0.002);
    }
};

TEST_F(Sliders, TheKnobsShowTheirPictureOnTheTracksGroove)
{
    const QImage knob(QStringLiteral(":/images/knob.png"));
    ASSERT_EQ(knob.size(), QSize(19, 10));
    EXPECT_EQ(settings->Picture2->face(), knob.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(settings->Picture4->face(), settings->Picture2->face());
    const QImage skin = ProgramFolder::patternImage(820, 268, 3);
    EXPECT_EQ(settings->Picture1->face(), skin.copy(489, 74, 238, 8));
    EXPECT_EQ(settings->Picture3->face(), skin.copy(490, 201, 238, 8));
    // Knob positions in twips put the knob on whole pixels of its track.
    EXPECT_EQ(settings->Picture2->pos(), QPoint(175, 0)); // 2625 twips
    EXPECT_EQ(settings->Picture4->pos(), QPoint(110, 0)); // 1650 twips
}

TEST_F(Sliders, TheVolumeFollowsTheKnobAndIsHeardAtOnce)
{
    struct Case {
        double left;
        const char* label;
    };
    for (const Case c : {Case{0, "0"}, Case{1650, "50"}, Case{2625, "80"}, Case{2640, "80"},
                         Case{3270, "99"}, Case{3285, "100"}, Case{1950, "59"}}) {
        SCOPED_TRACE(c.left);
        dragTo(settings->Picture2, c.left);
        EXPECT_EQ(settings->Picture2->KnobLeft(), c.left);
        EXPECT_EQ(settings->Picture2->x(), c.left / 15);
        EXPECT_EQ(settings->Label4->text(), QLatin1String(c.label));
        expectHeard(LeadingNumber(QString::fromLatin1(c.label)), 0);
        knobRelease(settings->Picture2);
    }
}

TEST_F(Sliders, ThePanFollowsTheKnobWhileDragged)
{
    struct Case {
        double left;
        int pan;
    };
    for (const Case c : {Case{0, -100}, Case{15, -100}, Case{1635, -1}, Case{1650, 0},
                         Case{1665, 1}, Case{1950, 19}, Case{3285, 100}}) {
        SCOPED_TRACE(c.left);
        dragTo(settings->Picture4, c.left);
        EXPECT_EQ(settings->Picture4->KnobLeft(), c.left);
        EXPECT_EQ(settings->Label5->text(), QString::number(c.pan));
        expectHeard(80, c.pan);
    }
}

TEST_F(Sliders, ThePanSnapsOnReleaseOnlyBeyondItsThresholds)
{
    struct Case {
        double left; // where the drag ends
        int shown;   // the value shown before the release
        double snappedLeft;
        int snapped;
    };
    for (const Case c :
         {Case{3060, 86, 3285, 100}, Case{3045, 85, 3045, 85}, Case{240, -86, 0, -100},
          Case{255, -85, 255, -85}, Case{1890, 15, 1890, 15}, Case{1395, -15, 1395, -15},
          Case{1875, 14, 1650, 0}, Case{1410, -14, 1650, 0}, Case{1800, 9, 1650, 0},
          Case{2295, 40, 2295, 40}}) {
        SCOPED_TRACE(c.shown);
        dragTo(settings->Picture4, c.left);
        ASSERT_EQ(settings->Label5->text(), QString::number(c.shown));
        knobRelease(settings->Picture4);
        EXPECT_EQ(settings->Picture4->KnobLeft(), c.snappedLeft);
        EXPECT_EQ(settings->Label5->text(), QString::number(c.snapped));
        EXPECT_EQ(stored("PanVal"), QString::number(c.snapped));
        EXPECT_EQ(stored("PanPos"), NumberToText(c.snappedLeft));
        expectHeard(80, c.snapped);
    }
}

TEST_F(Sliders, AMovePastAnEndLeavesTheKnobWhereItWas)
{
    dragBy(settings->Picture2, -176); // to -15
    EXPECT_EQ(settings->Picture2->KnobLeft(), 2625);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("80"));

    knobMove(settings->Picture2, 5 - 175); // to 0, the very end: taken
    EXPECT_EQ(settings->Picture2->KnobLeft(), 0);
    knobMove(settings->Picture2, 4); // one pixel further: refused
    EXPECT_EQ(settings->Picture2->KnobLeft(), 0);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("0"));
    knobRelease(settings->Picture2);

    dragTo(settings->Picture2, 3000);
    knobMove(settings->Picture2, 5 + 30); // a fast drag past the right end stops short of it
    EXPECT_EQ(settings->Picture2->KnobLeft(), 3000);
    knobMove(settings->Picture2, 5 + 19); // 3285, the right end: taken
    EXPECT_EQ(settings->Picture2->KnobLeft(), 3285);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("100"));
    knobMove(settings->Picture2, 5 + 1);
    EXPECT_EQ(settings->Picture2->KnobLeft(), 3285);

    dragTo(settings->Picture4, 15);
    knobMove(settings->Picture4, 5 - 2); // to -15
    EXPECT_EQ(settings->Picture4->KnobLeft(), 15);
    EXPECT_EQ(settings->Label5->text(), QStringLiteral("-100"));
}

TEST_F(Sliders, OnlyTheVolumeKnobAppliesItsValueWithoutADrag)
{
    // The labels show stored values that the playing pad did not get.
    writeSetting("Volume", "40");
    writeSetting("PanVal", "50");
    open();
    expectHeard(80, 0);

    dragBy(settings->Picture2, -200); // refused: the handler ends before applying anything
    expectHeard(80, 0);
    knobMove(settings->Picture4, 30, Qt::NoButton);
    knobMove(settings->Picture4, 30, Qt::RightButton);
    expectHeard(80, 0);

    knobMove(settings->Picture2, 12, Qt::NoButton);
    expectHeard(40, 0);
    writeSetting("Volume", "62.5");
    open();
    knobMove(settings->Picture2, 12, Qt::RightButton); // another button: no drag, but applied
    EXPECT_EQ(settings->Picture2->KnobLeft(), 2625);
    expectHeard(62, 0);
}

TEST_F(Sliders, BothKnobsShareTheGrabPoint)
{
    knobPress(settings->Picture2, 5);
    knobPress(settings->Picture4, 10, Qt::RightButton); // any button takes the grab point
    EXPECT_EQ(settings->KnobGrabX, 150);
    knobMove(settings->Picture2, 5); // 2625 + 75 - 150
    EXPECT_EQ(settings->Picture2->KnobLeft(), 2550);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("77"));
}

TEST_F(Sliders, AReleaseStoresTheValueAndThePosition)
{
    dragTo(settings->Picture2, 1650);
    knobRelease(settings->Picture2, QPointF(-60, 40)); // outside the knob: still its release
    EXPECT_EQ(stored("Volume"), QStringLiteral("50"));
    EXPECT_EQ(stored("VolPos"), QStringLiteral("1650"));
    EXPECT_EQ(stored("PanVal"), QStringLiteral("<none>"));

    // Positions between whole pixels are kept and written in single precision.
    dragBy(settings->Picture2, 0.5);
    knobRelease(settings->Picture2, QPointF(0, 0), Qt::RightButton);
    EXPECT_EQ(stored("VolPos"), QStringLiteral("1657.5"));
    dragBy(settings->Picture2, 0.0123);
    knobRelease(settings->Picture2);
    const float left = static_cast<float>(settings->Picture2->KnobLeft());
    EXPECT_GT(left, 1657.6f);
    EXPECT_LT(left, 1657.7f);
    EXPECT_EQ(static_cast<float>(LeadingNumber(stored("VolPos"))), left);
    EXPECT_LE(stored("VolPos").size(), 9);

    dragTo(settings->Picture4, 2295);
    knobRelease(settings->Picture4);
    EXPECT_EQ(stored("PanVal"), QStringLiteral("40"));
    EXPECT_EQ(stored("PanPos"), QStringLiteral("2295"));

    // The pads read what was stored.
    click(3); // stops pad 4
    click(3);
    expectHeard(50, 40);
}

TEST_F(Sliders, ADoubleClickCentresThePan)
{
    dragTo(settings->Picture4, 2700);
    knobRelease(settings->Picture4);
    expectHeard(80, 64);
    sendMouse(settings->Picture4, QEvent::MouseButtonDblClick, QPointF(17, 3), Qt::LeftButton,
              Qt::LeftButton);
    EXPECT_EQ(settings->Picture4->KnobLeft(), 1650);
    EXPECT_EQ(settings->Label5->text(), QStringLiteral("0"));
    EXPECT_EQ(stored("PanVal"), QStringLiteral("0"));
    EXPECT_EQ(stored("PanPos"), QStringLiteral("1650"));
    expectHeard(80, 0);
}

TEST_F(Sliders, StoredPositionsPlaceTheKnobsAndNonsenseDoesNoHarm)
{
    writeSetting("VolPos", "1200");
    writeSetting("Volume", "46");
    open();
    EXPECT_EQ(settings->Picture2->x(), 80);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("46"));
    dragBy(settings->Picture2, 1);
    EXPECT_EQ(settings->Label4->text(), QStringLiteral("37"));
    knobRelease(settings->Picture2);

    writeSetting("VolPos", "-500");
    writeSetting("PanPos", QString(400, QLatin1Char('9'))); // beyond any float
    open();
    EXPECT_EQ(settings->Picture2->KnobLeft(), -500);
    dragBy(settings->Picture2, 3); // still left of the track: refused
    EXPECT_EQ(settings->Picture2->KnobLeft(), -500);
    dragBy(settings->Picture4, -3);
    EXPECT_EQ(settings->Label5->text(), QStringLiteral("0"));
    EXPECT_FALSE(settings->Picture3->rect().intersects(settings->Picture4->geometry()));
    knobRelease(settings->Picture4); // the stored value snaps the knob back to the centre
    EXPECT_EQ(settings->Picture4->KnobLeft(), 1650);
    EXPECT_EQ(stored("PanPos"), QStringLiteral("1650"));
}

} // namespace
