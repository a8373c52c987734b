// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelArt.h"
#include "SkinFaces.h"
#include "skin/SkinLayout.h"

#include <QPainter>

using namespace PanelArt;
using namespace SkinLayout;

namespace {

// A slider's groove around its track, with tick marks under it at the given knob lefts (pixels
// from the track's left edge); the knob is 19 pixels wide, so a tick sits under its middle.
void drawSliderGroove(QPainter& painter, const QRect& track, std::initializer_list<qreal> knobLefts,
                      qreal majorKnobLeft)
{
    drawWell(painter, QRectF(track).adjusted(-3, -3, 3, 3), 3, QColor(0x08, 0x08, 0x0a));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const qreal left : knobLefts) {
        const int x = static_cast<int>(track.left() + left + 9);
        const bool major = left == majorKnobLeft;
        const int length = major ? 8 : 5;
        painter.fillRect(QRect(x, track.bottom() + 6, 1, length), kLegendDim);
        painter.fillRect(QRect(x + 1, track.bottom() + 6, 1, length), QColor(0, 0, 0, 120));
    }
    painter.restore();
}

} // namespace

namespace SkinFaces {

QImage paintSettingsFace()
{
    QImage face = newFace(kToolSize.width(), kToolSize.height());
    paintToolPanel(face, 0x5eed0002u);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);

    const QFont heading = panelFont(10, true, 2);
    const QFont small = panelFont(8, true, 1);

    // The two lists sit in deep wells.
    drawLegend(painter, QRectF(kPadList.left(), 13, kPadList.width(), 14),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PADS"), heading, kLegendDim);
    drawWell(painter, QRectF(kPadList).adjusted(-3, -3, 3, 1), 4);
    drawLegend(painter, QRectF(kFileList.left(), 12, kFileList.width(), 14),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("SOUNDS"), heading, kLegendDim);
    drawWell(painter, QRectF(kFileList).adjusted(-3, -3, 3, 3), 4);

    // Which list each auto-play box answers to.
    // Left-aligned under its box: the pads list's well ends just before.
    drawLegend(painter, QRectF(kAutoPlayPadCheck.left(), 88, 29, 10),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PAD"), small, kLegendDim);
    // Right-aligned under its box: the sounds list's well begins just beyond.
    drawLegend(painter, QRectF(kAutoPlayFileCheck.right() - 29, 88, 29, 10),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("FILE"), small, kLegendDim);

    // The program writes its green values on black: dark windows for them.
    drawWell(painter, QRectF(kSelectedFileLabel).adjusted(-1, -1, 1, 1), 2,
             QColor(0x02, 0x02, 0x02));
    drawWell(painter, QRectF(kVolumeValue).adjusted(-1, -1, 1, 1), 2, QColor(0x02, 0x02, 0x02));
    drawWell(painter, QRectF(kPanValue).adjusted(-1, -1, 1, 1), 2, QColor(0x02, 0x02, 0x02));

    // Volume: 0, 25, 50, 75 and 100 sit at these knob lefts (value x 78 / 2.38 twips).
    drawLegend(painter, QRectF(kVolumeTrack.left(), 38, 190, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("VOLUME"), heading);
    drawSliderGroove(painter, kVolumeTrack, {0.0, 54.6, 109.2, 163.9, 218.5}, -1);
    const QFont scale = panelFont(8, true);
    const int volumeTickBase = kVolumeTrack.left() + 9;
    drawLegend(painter, QRectF(volumeTickBase - 15, 98, 30, 10), Qt::AlignCenter,
               QStringLiteral("0"), scale, kLegendDim);
    drawLegend(painter, QRectF(volumeTickBase + 109 - 15, 98, 30, 10), Qt::AlignCenter,
               QStringLiteral("50"), scale, kLegendDim);
    drawLegend(painter, QRectF(volumeTickBase + 219 - 15, 98, 30, 10), Qt::AlignCenter,
               QStringLiteral("100"), scale, kLegendDim);

    // Pan: left end, centre (1650 twips), right end; L and R beside the groove.
    drawLegend(painter, QRectF(kPanTrack.left(), 166, 190, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("PAN"), heading);
    drawSliderGroove(painter, kPanTrack, {0.0, 55.0, kPanCentreKnobLeft, 164.0, 219.0},
                     kPanCentreKnobLeft);
    const QRectF panRow(kPanTrack.left(), kPanTrack.top() - 4, kPanTrack.width(), 16);
    drawLegend(painter, QRectF(kPanTrack.left() - 20, panRow.top(), 14, 16),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("L"), heading);
    drawLegend(painter, QRectF(kPanTrack.right() + 6, panRow.top(), 14, 16),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("R"), heading);
    // The centre mark also points down at the track from above.
    const int centreX = kPanTrack.left() + kPanCentreKnobLeft + 9;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLegendDim);
    const QPointF tip(centreX + 0.5, kPanTrack.top() - 5);
    painter.drawPolygon(QPolygonF{tip, tip + QPointF(-3.5, -5), tip + QPointF(3.5, -5)});
    painter.restore();
    drawLegend(painter, QRectF(centreX - 15, 228, 31, 10), Qt::AlignCenter, QStringLiteral("C"),
               scale, kLegendDim);

    // A groove parts the lists from the sliders.
    painter.setPen(QPen(QColor(0, 0, 0, 130), 1.0));
    painter.drawLine(QPointF(432.5, 22), QPointF(432.5, 246));
    painter.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
    painter.drawLine(QPointF(433.5, 22), QPointF(433.5, 246));

    // The window's name, between the two sliders.
    drawLegend(painter, QRectF(kVolumeTrack.left(), 128, 300, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("SAMPLE SETTINGS"), panelFont(13, true, 3));
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 150), 2.0));
    painter.drawLine(QPointF(kVolumeTrack.left() + 1, 150), QPointF(kVolumeTrack.left() + 34, 150));
    return face;
}

} // namespace SkinFaces
