// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelArt.h"
#include "SkinFaces.h"
#include "skin/SkinLayout.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

using namespace PanelArt;
using namespace SkinLayout;

namespace {

// Perforated speaker grilles left and right of the pads, a staggered grid of round holes.
void drawGrille(QPainter& painter, const QRectF& area)
{
    drawWell(painter, area, 6, QColor(0x15, 0x16, 0x18));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pitch = 7.0;
    const QRectF holes = area.adjusted(7, 8, -6, -6);
    int row = 0;
    for (qreal y = holes.top(); y <= holes.bottom(); y += pitch * 0.866, ++row) {
        const qreal shift = (row % 2) ? pitch / 2 : 0.0;
        for (qreal x = holes.left() + shift; x <= holes.right(); x += pitch) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 22));
            painter.drawEllipse(QPointF(x, y + 0.8), 2.1, 2.1);
            painter.setBrush(QColor(0x02, 0x02, 0x03));
            painter.drawEllipse(QPointF(x, y), 2.1, 2.1);
        }
    }
    painter.restore();
}

// The name plate: a dark glass window with the program's name lit from behind.
void drawTitle(QPainter& painter, const QRect& area)
{
    const QRectF glass = QRectF(area).adjusted(2, 2, -2, -2);
    drawWell(painter, glass, 10, QColor(0x0c, 0x0e, 0x11));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(glass.adjusted(1, 1, -1, -1), 9, 9);
    painter.setClipPath(clip);

    // A faint amber wave runs behind the name like a trace on an old scope.
    QPainterPath wave;
    for (int i = 0; i <= 740; ++i) {
        const qreal x = glass.left() + i;
        const qreal t = i / 740.0;
        const qreal envelope = std::sin(t * M_PI);
        const qreal y =
            glass.center().y() + 34 * envelope * std::sin(t * 2 * M_PI * 5.5) * std::exp(-1.4 * t);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 26), 7.0));
    painter.drawPath(wave);
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 60), 1.4));
    painter.drawPath(wave);

    const QRectF nameRect(glass.left(), glass.top() + 22, glass.width(), 86);
    drawGlowText(painter, nameRect, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("QUENDEL"),
                 panelFont(74, true, 14), QColor(0xff, 0xe2, 0xb0), kAmber, 12);
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 90), 1.0));
    painter.drawLine(QPointF(glass.left() + 150, glass.top() + 118.5),
                     QPointF(glass.right() - 150, glass.top() + 118.5));
    drawLegend(painter, QRectF(glass.left(), glass.top() + 124, glass.width(), 20), Qt::AlignCenter,
               QStringLiteral("SAMPLE PADS  \u00b7  GUITAR TUNER  \u00b7  TONE GENERATOR"),
               panelFont(12, true, 3), QColor(0xb4, 0x9a, 0x78));

    // A reflection across the glass, brightest along its upper edge.
    QLinearGradient reflection(glass.topLeft(), glass.topLeft() + QPointF(0, glass.height()));
    reflection.setColorAt(0.0, QColor(255, 255, 255, 26));
    reflection.setColorAt(0.45, QColor(255, 255, 255, 8));
    reflection.setColorAt(0.46, QColor(255, 255, 255, 0));
    painter.fillRect(glass, reflection);
    painter.restore();
}

} // namespace

namespace SkinFaces {

QImage paintBarFace(bool lit)
{
    QImage face = newFace(kBarSize.width(), kBarSize.height());
    fillBrushedMetal(face, kPanelTop, kPanelBottom, 0x5eed0001u);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF whole(0, 0, kBarSize.width(), kBarSize.height());
    drawBevel(painter, whole, 0, true, 1.6);
    drawBevel(painter, whole.adjusted(6, 6, -6, -6), 8, false, 0.7);
    for (const QPointF centre :
         {QPointF(24, 50), QPointF(994, 50), QPointF(24, 711), QPointF(994, 711)})
        drawScrew(painter, centre, 6, 35);

    // Plain dark spots for the program's own minimise sign and clock.
    drawWell(painter, QRectF(kMinimiseLabel).adjusted(-4, -4, 4, 4), 3);
    drawWell(painter, QRectF(kClockLabel).adjusted(-5, -4, 4, 3), 3);

    drawTitle(painter, kTitleArea);

    drawGrille(painter, QRectF(30, 82, 58, 595));
    drawGrille(painter, QRectF(kBarSize.width() - 88, 82, 58, 595));

    // Section legends over the button row, each with a thin rule.
    const QFont sectionFont = panelFont(10, true, 2.5);
    auto section = [&](qreal left, qreal right, const QString& text) {
        const QRectF textRect(left, 283, right - left, 14);
        drawLegend(painter, textRect, Qt::AlignCenter, text, sectionFont, kLegendDim);
        const qreal textWidth = QFontMetricsF(sectionFont).horizontalAdvance(text) + 16;
        const qreal middle = (left + right) / 2;
        painter.setPen(QPen(QColor(0x86, 0x8c, 0x94, 150), 1.0));
        painter.drawLine(QPointF(left, 290.5), QPointF(middle - textWidth / 2, 290.5));
        painter.drawLine(QPointF(middle + textWidth / 2, 290.5), QPointF(right, 290.5));
        painter.setPen(QPen(QColor(0, 0, 0, 140), 1.0));
        painter.drawLine(QPointF(left, 291.5), QPointF(middle - textWidth / 2, 291.5));
        painter.drawLine(QPointF(middle + textWidth / 2, 291.5), QPointF(right, 291.5));
    };
    section(kExitButton.left() + 4, kSettingsButton.right() - 3, QStringLiteral("SYSTEM"));
    section(kSamplesButton.left() + 4, kToneGenButton.right() - 3, QStringLiteral("PAGES"));

    // The pad bay: the tool windows are laid exactly over it.
    drawWell(painter, QRectF(kToolWindowArea), 8, QColor(0x17, 0x18, 0x1b));
    const QFont rowFont = panelFont(9, true, 2);
    painter.save();
    painter.translate(kToolWindowArea.left() + 20, kUpperPadTop + 47);
    painter.rotate(-90);
    drawLegend(painter, QRectF(-40, -6, 80, 12), Qt::AlignCenter, QStringLiteral("1 \u2013 14"),
               rowFont, kLegendDim);
    painter.restore();
    painter.save();
    painter.translate(kToolWindowArea.left() + 20, kLowerPadTop + 47);
    painter.rotate(-90);
    drawLegend(painter, QRectF(-40, -6, 80, 12), Qt::AlignCenter, QStringLiteral("15 \u2013 28"),
               rowFont, kLegendDim);
    painter.restore();

    const QFont brandFont = panelFont(12, true, 3);
    const QString brand = QStringLiteral("QUENDEL  SP-28");
    drawLegend(painter, QRectF(kToolWindowArea.left(), 694, 400, 16),
               Qt::AlignLeft | Qt::AlignVCenter, brand, brandFont, kLegend);
    const qreal brandWidth = QFontMetricsF(brandFont).horizontalAdvance(brand);
    drawLegend(painter, QRectF(kToolWindowArea.left() + brandWidth + 14, 694, 400, 16),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("SAMPLE STATION"),
               panelFont(11, false, 2), kLegendDim);

    for (int index = 0; index < kPadCount; ++index)
        drawPad(painter, padRect(index), QString::number(index + 1), QString(), kAmber, lit, 19);

    drawPushButton(painter, kExitButton, QStringLiteral("Exit"), kRed, lit);
    drawPushButton(painter, kSettingsButton, QStringLiteral("Settings"), kAmber, lit);
    drawPushButton(painter, kSamplesButton, QStringLiteral("Samples"), kAmber, lit);
    drawPushButton(painter, kTunerButton, QStringLiteral("Tuner"), kAmber, lit);
    drawPushButton(painter, kToneGenButton, QStringLiteral("Tone Gen"), kAmber, lit);
    return face;
}

void paintToolPanel(QImage& face, unsigned seed)
{
    fillBrushedMetal(face, kPanelTop, kPanelBottom, seed);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF whole(0, 0, face.width(), face.height());
    drawBevel(painter, whole, 0, true, 1.5);
    drawBevel(painter, whole.adjusted(3, 3, -3, -3), 5, false, 0.6);
    const qreal inset = 11;
    for (const QPointF centre : {QPointF(inset, inset), QPointF(whole.width() - inset, inset),
                                 QPointF(inset, whole.height() - inset),
                                 QPointF(whole.width() - inset, whole.height() - inset)})
        drawScrew(painter, centre, 4.2, 35);
}

} // namespace SkinFaces
