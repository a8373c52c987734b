// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelArt.h"
#include "SkinFaces.h"
#include "skin/SkinLayout.h"

#include <QLinearGradient>
#include <QPainter>

#include <array>

using namespace PanelArt;
using namespace SkinLayout;

namespace {

struct GuitarString {
    qreal gauge; // drawn thickness in pixels
    bool wound;
};

// From string 1 (high E) to string 6 (low E), matching the buttons from upper left to lower right.
constexpr std::array<GuitarString, 6> kStrings{{
    {0.9, false},
    {1.1, false},
    {1.4, false},
    {1.7, true},
    {2.0, true},
    {2.4, true},
}};

constexpr QRectF kFretboard{36, 14, 256, 104};

// A piece of dark fretboard with a nut, frets and one inlay, under the six strings that run down
// into their buttons.
void drawNeck(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 90));
    painter.drawRoundedRect(kFretboard.translated(1, 2), 3, 3);
    QLinearGradient wood(kFretboard.topLeft(), kFretboard.topRight());
    wood.setColorAt(0.0, QColor(0x1d, 0x17, 0x14));
    wood.setColorAt(0.5, QColor(0x2a, 0x21, 0x1c));
    wood.setColorAt(1.0, QColor(0x1b, 0x16, 0x13));
    painter.setBrush(wood);
    painter.drawRoundedRect(kFretboard, 3, 3);
    // Fine grain along the neck.
    for (int i = 0; i < 40; ++i) {
        const qreal x = kFretboard.left() + 3 + i * 6.3 + (i % 3) * 1.1;
        painter.setPen(QPen(QColor(0, 0, 0, 30 + (i % 4) * 8), 0.8));
        painter.drawLine(QPointF(x, kFretboard.top() + 6), QPointF(x + 0.5, kFretboard.bottom()));
    }
    // Nut.
    QLinearGradient bone(kFretboard.topLeft(), kFretboard.topLeft() + QPointF(0, 7));
    bone.setColorAt(0.0, QColor(0xef, 0xe8, 0xd6));
    bone.setColorAt(1.0, QColor(0xa8, 0xa0, 0x8c));
    painter.setPen(Qt::NoPen);
    painter.setBrush(bone);
    painter.drawRect(QRectF(kFretboard.left(), kFretboard.top(), kFretboard.width(), 6));
    // Frets: nickel wire with a bright crown.
    for (const qreal y : {48.0, 80.0, 108.0}) {
        painter.setPen(QPen(QColor(0x3e, 0x3f, 0x42), 3.0));
        painter.drawLine(QPointF(kFretboard.left() + 1, y), QPointF(kFretboard.right() - 1, y));
        painter.setPen(QPen(QColor(0xd8, 0xdb, 0xdf), 1.0));
        painter.drawLine(QPointF(kFretboard.left() + 1, y - 0.5),
                         QPointF(kFretboard.right() - 1, y - 0.5));
    }
    // Mother-of-pearl dot between the frets.
    QRadialGradient pearl(QPointF(kFretboard.center().x() - 1.5, 62.5), 7);
    pearl.setColorAt(0.0, QColor(0xf4, 0xf1, 0xea));
    pearl.setColorAt(1.0, QColor(0x9c, 0xa4, 0xa8));
    painter.setBrush(pearl);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(kFretboard.center().x(), 64), 5, 5);

    for (std::size_t i = 0; i < kStrings.size(); ++i) {
        const QRect button = kStringButtons[i];
        const qreal x = button.left() + button.width() / 2.0;
        const qreal top = kFretboard.top() + 2;
        const qreal bottom = button.top() + 1;
        const GuitarString& string = kStrings[i];
        painter.setPen(QPen(QColor(0, 0, 0, 120), string.gauge + 1.2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x + 1.2, top), QPointF(x + 1.2, bottom));
        QLinearGradient metal(QPointF(x - string.gauge / 2, 0), QPointF(x + string.gauge / 2, 0));
        const QColor base = string.wound ? QColor(0xc8, 0xa4, 0x6a) : QColor(0xd6, 0xda, 0xde);
        metal.setColorAt(0.0, base.darker(170));
        metal.setColorAt(0.4, base.lighter(125));
        metal.setColorAt(1.0, base.darker(150));
        painter.setPen(QPen(QBrush(metal), string.gauge, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x, top), QPointF(x, bottom));
        if (string.wound) {
            // The winding shows as fine diagonal ridges.
            painter.setPen(QPen(QColor(0, 0, 0, 60), 0.6));
            for (qreal y = top; y < bottom; y += 1.6)
                painter.drawLine(QPointF(x - string.gauge / 2, y),
                                 QPointF(x + string.gauge / 2, y + 0.8));
        }
    }
    painter.restore();
}

} // namespace

namespace SkinFaces {

QImage paintTunerFace(bool lit)
{
    QImage face = newFace(kToolSize.width(), kToolSize.height());
    paintToolPanel(face, 0x5eed0003u);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);

    drawNeck(painter);

    drawLegend(painter, QRectF(330, 22, 460, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("GUITAR TUNER"), panelFont(24, true, 5));
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 150), 2.0));
    painter.drawLine(QPointF(331, 58), QPointF(380, 58));
    // The tuning's line, the meter and the reference pitch are written by the window over the
    // face, since they follow the user's choices; the face gives them their wells.
    drawWell(painter, QRectF(kTunerMeter), 6, QColor(0x0b, 0x0c, 0x0e));
    const QRectF plate(kReferencePlate);
    drawWell(painter, plate, 6, QColor(0x12, 0x13, 0x16));
    drawLegend(painter, plate.adjusted(12, 8, -12, -28), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("REFERENCE PITCH"), panelFont(9, true, 2), kLegendDim);

    for (std::size_t i = 0; i < kStrings.size(); ++i) {
        // The note and its pitch follow the tuning: the window writes them over the pad.
        drawPad(painter, kStringButtons[i], QString(), QString(), kAmber, lit, 22);
    }
    drawPushButton(painter, kLoopSwitch, QStringLiteral("LOOP"), kGreen, lit);
    drawPushButton(painter, kListenSwitch, QStringLiteral("LISTEN"), kAmber, lit);
    return face;
}

} // namespace SkinFaces
