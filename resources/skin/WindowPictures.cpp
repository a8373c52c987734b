// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelArt.h"
#include "SkinFaces.h"
#include "skin/SkinLayout.h"
#include "intro/IntroLinks.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <cmath>

using namespace PanelArt;
using namespace SkinLayout;

namespace SkinFaces {

QImage paintSliderKnob()
{
    QImage knob(kSliderKnobSize, QImage::Format_RGB32);
    knob.fill(QColor(0x08, 0x08, 0x0a));
    QPainter painter(&knob);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cap(0.5, 0.5, kSliderKnobSize.width() - 1, kSliderKnobSize.height() - 1);
    QLinearGradient metal(cap.topLeft(), cap.bottomLeft());
    metal.setColorAt(0.0, QColor(0xd8, 0xdc, 0xe0));
    metal.setColorAt(0.5, QColor(0x9a, 0x9f, 0xa6));
    metal.setColorAt(1.0, QColor(0x5a, 0x5e, 0x64));
    painter.setPen(QPen(QColor(0x12, 0x13, 0x15), 1.0));
    painter.setBrush(metal);
    painter.drawRoundedRect(cap, 2, 2);
    // An amber index line down the middle of the cap.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(9, 2, 1, kSliderKnobSize.height() - 4), QColor(0xe0, 0x7a, 0x10));
    painter.fillRect(QRect(4, 2, 1, kSliderKnobSize.height() - 4), QColor(0, 0, 0, 60));
    painter.fillRect(QRect(14, 2, 1, kSliderKnobSize.height() - 4), QColor(0, 0, 0, 60));
    return knob;
}

QImage paintLinkCursor()
{
    QImage cursor(32, 32, QImage::Format_ARGB32_Premultiplied);
    cursor.fill(Qt::transparent);
    QPainter painter(&cursor);
    painter.setRenderHint(QPainter::Antialiasing);
    // A hand pointing up with its index finger; the finger tip is the hot spot.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(9, 0.5, 5.5, 18), 2.75, 2.75);     // index finger
    hand.addRoundedRect(QRectF(14.5, 8, 5, 12), 2.5, 2.5);        // middle finger
    hand.addRoundedRect(QRectF(19.5, 9.5, 5, 11), 2.5, 2.5);      // ring finger
    hand.addRoundedRect(QRectF(24.5, 11.5, 4.5, 10), 2.25, 2.25); // little finger
    hand.addRoundedRect(QRectF(9, 15, 20, 13.5), 5, 5);           // palm
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2.6, -7.5, 5.2, 15), 2.6, 2.6);
    QTransform slant;
    slant.translate(7.2, 20.5);
    slant.rotate(-38);
    hand.addPath(slant.map(thumb));
    hand.setFillRule(Qt::WindingFill);
    painter.fillPath(hand.translated(0.8, 1.0), QColor(0, 0, 0, 80));
    // A wide black stroke under a white fill leaves only the outer outline standing.
    painter.strokePath(hand, QPen(Qt::black, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(hand, Qt::white);
    // The gaps between the curled fingers.
    painter.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(14.5, 10.5), QPointF(14.5, 16));
    painter.drawLine(QPointF(19.5, 12), QPointF(19.5, 17));
    painter.drawLine(QPointF(24.5, 14), QPointF(24.5, 18));
    return cursor;
}

QImage paintIntroPicture()
{
    QImage picture = newFace(kIntroSize.width(), kIntroSize.height());
    fillBrushedMetal(picture, kPanelTop, kPanelBottom, 0x5eed0005u);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF whole(0, 0, kIntroSize.width(), kIntroSize.height());
    drawBevel(painter, whole, 0, true, 1.5);
    drawBevel(painter, whole.adjusted(4, 4, -4, -4), 6, false, 0.6);
    for (const QPointF centre :
         {QPointF(10, 10), QPointF(605, 10), QPointF(10, 390), QPointF(605, 390)})
        drawScrew(painter, centre, 4, 35);

    // The logo in its glass window, as on the bar.
    const QRectF glass(28, 28, 559, 272);
    drawWell(painter, glass, 12, QColor(0x0c, 0x0e, 0x11));
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(glass.adjusted(1, 1, -1, -1), 11, 11);
    painter.setClipPath(clip);
    QPainterPath wave;
    for (int i = 0; i <= 557; ++i) {
        const qreal t = i / 557.0;
        const qreal y = glass.top() + 112 +
                        46 * std::sin(t * M_PI) * std::sin(t * 2 * M_PI * 4.5) * std::exp(-1.2 * t);
        if (i == 0)
            wave.moveTo(glass.left() + i, y);
        else
            wave.lineTo(glass.left() + i, y);
    }
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 24), 8.0));
    painter.drawPath(wave);
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 60), 1.4));
    painter.drawPath(wave);
    drawGlowText(painter, QRectF(glass.left(), glass.top() + 62, glass.width(), 100),
                 Qt::AlignCenter, QStringLiteral("QUENDEL"), panelFont(74, true, 12),
                 QColor(0xff, 0xe2, 0xb0), kAmber, 14);
    painter.setPen(QPen(QColor(0xff, 0xa8, 0x30, 90), 1.0));
    painter.drawLine(QPointF(glass.left() + 110, glass.top() + 172.5),
                     QPointF(glass.right() - 110, glass.top() + 172.5));
    drawLegend(painter, QRectF(glass.left(), glass.top() + 182, glass.width(), 22), Qt::AlignCenter,
               QStringLiteral("Sample pads, guitar tuner and tone generator for musicians"),
               panelFont(14, false), QColor(0xd8, 0xc8, 0xb0));
    // A row of small pads, two of them lit, as on the bar.
    const qreal padsLeft = glass.center().x() - (8 * 22 - 6) / 2.0;
    for (int i = 0; i < 8; ++i) {
        const QRectF pad(padsLeft + i * 22, glass.top() + 224, 16, 24);
        drawPad(painter, pad.adjusted(-3, -3, 3, 3), QString(), QString(), kAmber, i == 2 || i == 5,
                8);
    }
    QLinearGradient reflection(glass.topLeft(), glass.bottomLeft());
    reflection.setColorAt(0.0, QColor(255, 255, 255, 24));
    reflection.setColorAt(0.42, QColor(255, 255, 255, 7));
    reflection.setColorAt(0.43, QColor(255, 255, 255, 0));
    painter.fillRect(glass, reflection);
    painter.restore();

    // The two links, printed where the window's link areas lie.
    const QFont caption = panelFont(11, true, 1.5);
    drawLegend(painter,
               QRectF(28, kWebSiteLink.top(), kWebSiteLink.left() - 38, kWebSiteLink.height()),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("WEB SITE"), caption, kLegendDim);
    drawLegend(painter,
               QRectF(28, kSoftwarePageLink.top(), kSoftwarePageLink.left() - 38,
                      kSoftwarePageLink.height()),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("SOFTWARE"), caption, kLegendDim);
    QFont link = panelFont(13, false);
    link.setUnderline(true);
    const QColor linkColour(0x8c, 0xc8, 0xff);
    drawLegend(painter, QRectF(kWebSiteLink).adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromLatin1(kWebSiteAddress), link, linkColour);
    // The second link area runs under the version text; the address ends well before it.
    drawLegend(painter,
               QRectF(kSoftwarePageLink.left() + 2, kSoftwarePageLink.top(),
                      kVersionLabel.left() - kSoftwarePageLink.left() - 8,
                      kSoftwarePageLink.height()),
               Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(kSoftwarePageAddress), link,
               linkColour);

    // A plain dark spot for the program's white version text.
    drawWell(painter, QRectF(kVersionLabel).adjusted(-1, -2, 1, 2), 3, QColor(0x06, 0x06, 0x07));
    return picture;
}

} // namespace SkinFaces
