// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrequencyScale.h"
#include "PanelArt.h"
#include "SkinFaces.h"
#include "skin/SkinLayout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

using namespace PanelArt;
using namespace SkinLayout;

namespace {

constexpr QColor kRailFill{0x0e, 0x0f, 0x12};
// The scale rail that the marker slides along; it covers the marker's whole travel.
constexpr QRectF kRail{38, 45, 746, 40};
constexpr int kRailLabelTop = 48;
constexpr int kTickBottom = 84;
// Marks for the labelled frequencies continue under the rail, where the marker's notch points.
constexpr int kUnderTickTop = 86;
constexpr int kUnderTickBottom = 91;

struct ScaleLabel {
    double frequency;
    const char* text;
};

// The low end of the scale is crowded: labels there are spaced out, every mark still drawn.
constexpr ScaleLabel kLabels[] = {{1, "1"},     {10, "10"},   {100, "100"},
                                  {250, "250"}, {500, "500"}, {1000, "1k"},
                                  {2000, "2k"}, {5000, "5k"}, {10000, "10k"}};

// The frequencies of the window's menu always get a mark of their own.
constexpr double kMenuFrequencies[] = {20, 50, 80, 100, 250, 500, 1000};

void drawTick(QPainter& painter, int column, int top, int bottom, const QColor& colour)
{
    painter.fillRect(QRect(column, top, 1, bottom - top + 1), colour);
}

void drawFrequencyScale(QPainter& painter)
{
    drawWell(painter, kRail, 5, kRailFill);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor minor(0x7a, 0x80, 0x88);
    const QColor major(0xd0, 0xd4, 0xd8);
    // Decades 1..10 k with marks at 1-9 of each; the scale ends at the marker's last stop.
    const int lastColumn = SkinLayout::kMarkerMaxLeft + FrequencyScale::kPointerOffset;
    // Low down the scale the marks of one decade crowd together: a mark closer than three
    // pixels to the last one is left out.
    int lastDrawn = -10;
    for (double decade = 1; decade <= 10000; decade *= 10) {
        for (int step = 1; step <= 9; ++step) {
            const double frequency = decade * step;
            const int column = FrequencyScale::markColumnFor(frequency);
            if (column > lastColumn || FrequencyScale::markerLeftFor(frequency) >= kMarkerMaxLeft)
                break;
            const bool isDecade = step == 1;
            if (!isDecade && (column - lastDrawn < 3 || (decade == 1 && step != 5)))
                continue;
            const bool isHalf = step == 5;
            const int top = isDecade ? 63 : (isHalf ? 69 : 74);
            drawTick(painter, column, top, kTickBottom, isDecade ? major : minor);
            lastDrawn = column;
        }
    }
    for (const double frequency : kMenuFrequencies)
        drawTick(painter, FrequencyScale::markColumnFor(frequency), 69, kTickBottom, major);
    const QFont labelFont = panelFont(10, true);
    const QFontMetrics metrics(labelFont);
    for (const ScaleLabel& label : kLabels) {
        const int column = FrequencyScale::markColumnFor(label.frequency);
        drawTick(painter, column, 63, kTickBottom, major);
        drawTick(painter, column, kUnderTickTop, kUnderTickBottom, kLegend);
        const QString text = QString::fromLatin1(label.text);
        const int width = metrics.horizontalAdvance(text);
        // The text's middle sits over the mark's column.
        const QRectF box(column + 0.5 - width / 2.0 - 1, kRailLabelTop, width + 2, 13);
        drawLegend(painter, box, Qt::AlignCenter, text, labelFont, kLegend);
    }
    drawLegend(painter, QRectF(lastColumn + 8, kRailLabelTop, 30, 13), Qt::AlignLeft,
               QStringLiteral("Hz"), panelFont(10, true), kLegendDim);
    painter.restore();
}

void drawScopeBezel(QPainter& painter)
{
    const QRectF frame = QRectF(kScope).adjusted(-5, -4, 5, 4);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QLinearGradient metal(frame.topLeft(), frame.bottomLeft());
    metal.setColorAt(0.0, QColor(0x1a, 0x1c, 0x1f));
    metal.setColorAt(1.0, QColor(0x0c, 0x0d, 0x0f));
    painter.setBrush(metal);
    painter.drawRoundedRect(frame, 5, 5);
    painter.restore();
    drawBevel(painter, frame, 5, false, 1.4);
    drawBevel(painter, QRectF(kScope).adjusted(-1, -1, 1, 1), 1, true, 0.8);
    // The program paints the waveform inside; underneath, the same dark green it uses.
    painter.fillRect(kScope, QColor(0x00, 0x40, 0x00));
    drawLegend(painter, QRectF(kScope.left(), kScope.bottom() + 10, kScope.width(), 13),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("WAVEFORM"), panelFont(9, true, 2),
               kLegendDim);
}

// Everything of the face but the knob, which the level knob strip paints on this background.
QImage paintToneBackground(bool lit)
{
    QImage face = newFace(kToolSize.width(), kToolSize.height());
    SkinFaces::paintToolPanel(face, 0x5eed0004u);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);

    drawLegend(painter, QRectF(40, 14, 370, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("TONE GENERATOR"), panelFont(20, true, 4));
    drawLegend(painter, QRectF(626, 17, 160, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("SINE 1 Hz \u2013 20 kHz"), panelFont(10, true, 1.5), kLegendDim);
    drawWell(painter, QRectF(kFrequencyReadout).adjusted(-2, -2, 2, 2), 3,
             QColor(0x03, 0x03, 0x04));

    drawFrequencyScale(painter);
    drawScopeBezel(painter);

    const QFont legend = panelFont(9, true, 2);
    drawLegend(painter, QRectF(kPinkButton.left() - 10, 116, kPinkButton.width() + 20, 13),
               Qt::AlignCenter, QStringLiteral("NOISE"), legend, kLegendDim);
    drawLegend(painter, QRectF(kLevelKnob.left(), 116, kLevelKnob.width(), 13), Qt::AlignCenter,
               QStringLiteral("LEVEL"), legend, kLegendDim);
    const QFont tiny = panelFont(8, true);
    drawLegend(painter, QRectF(kLevelKnob.left() - 8, kLevelKnob.bottom() + 3, 30, 11),
               Qt::AlignCenter, QStringLiteral("MIN"), tiny, kLegendDim);
    drawLegend(painter, QRectF(kLevelKnob.right() - 21, kLevelKnob.bottom() + 3, 30, 11),
               Qt::AlignCenter, QStringLiteral("MAX"), tiny, kLegendDim);

    // The knob's seat and its scale of dots from minimum to maximum.
    const QPointF centre = QRectF(kLevelKnob).center();
    painter.setPen(Qt::NoPen);
    for (int i = 0; i <= 10; ++i) {
        const qreal degrees = -135.0 + 27.0 * i;
        const qreal radians = degrees * M_PI / 180.0;
        const QPointF at = centre + QPointF(std::sin(radians), -std::cos(radians)) * 30.0;
        const qreal size = (i == 0 || i == 5 || i == 10) ? 1.7 : 1.1;
        painter.setBrush(QColor(0, 0, 0, 150));
        painter.drawEllipse(at + QPointF(0, 0.7), size, size);
        painter.setBrush(kLegend);
        painter.drawEllipse(at, size, size);
    }
    QRadialGradient seat(centre, 27);
    seat.setColorAt(0.75, QColor(0, 0, 0, 140));
    seat.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.setBrush(seat);
    painter.drawEllipse(centre + QPointF(0.8, 1.5), 27, 27);

    drawPad(painter, kPinkButton, QStringLiteral("PINK"), QString(), kPink, lit, 13);
    return face;
}

// The level knob: a ribbed black cap with a bright pointer line at the given angle (0 = up).
void drawKnob(QPainter& painter, QPointF centre, qreal degrees)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = 22;
    painter.setPen(Qt::NoPen);
    // Ribbed skirt: alternating light catches the ribs; it does not turn with the cap's light.
    QRadialGradient skirt(centre - QPointF(6, 8), radius * 1.6);
    skirt.setColorAt(0.0, QColor(0x4a, 0x4d, 0x52));
    skirt.setColorAt(1.0, QColor(0x15, 0x16, 0x18));
    painter.setBrush(skirt);
    painter.drawEllipse(centre, radius, radius);
    painter.translate(centre);
    painter.rotate(degrees);
    for (int rib = 0; rib < 36; ++rib) {
        painter.setPen(QPen(QColor(0, 0, 0, 110), 1.0));
        painter.drawLine(QPointF(0, -radius + 0.5), QPointF(0, -radius + 4));
        painter.rotate(10);
    }
    painter.resetTransform();
    painter.setPen(Qt::NoPen);
    // The cap: brushed aluminium centre lit from the upper left.
    const qreal cap = 15;
    QLinearGradient face(centre - QPointF(cap, cap), centre + QPointF(cap, cap));
    face.setColorAt(0.0, QColor(0xa0, 0xa5, 0xac));
    face.setColorAt(0.5, QColor(0x62, 0x66, 0x6c));
    face.setColorAt(1.0, QColor(0x2e, 0x30, 0x34));
    painter.setBrush(face);
    painter.drawEllipse(centre, cap, cap);
    QRadialGradient shine(centre - QPointF(4, 5), cap);
    shine.setColorAt(0.0, QColor(255, 255, 255, 70));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(shine);
    painter.drawEllipse(centre, cap, cap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0, 150), 1.0));
    painter.drawEllipse(centre, cap, cap);
    // Pointer line, running from the cap out over the skirt.
    painter.translate(centre);
    painter.rotate(degrees);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 3.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0.6, -6), QPointF(0.6, -radius + 2));
    painter.setPen(QPen(QColor(0xff, 0xf4, 0xe4), 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, -6), QPointF(0, -radius + 2));
    painter.restore();
}

qreal knobDegrees(int frame)
{
    return -135.0 + 270.0 * frame / (kKnobFrames - 1);
}

// One frame of the knob strip: the face's background under the knob with the knob on top.
QImage paintKnobFrame(const QImage& face, int frame)
{
    QImage picture = face.copy(kLevelKnob);
    QPainter painter(&picture);
    drawKnob(painter, QRectF(QPointF(0, 0), QSizeF(kLevelKnob.size())).center(),
             knobDegrees(frame));
    return picture;
}

// The window shows frame 26 before the program paints the knob itself.
constexpr int kStartFrame = 26;

} // namespace

namespace SkinFaces {

QImage paintToneFace(bool lit)
{
    QImage face = paintToneBackground(lit);
    QPainter painter(&face);
    painter.drawImage(kLevelKnob.topLeft(), paintKnobFrame(face, kStartFrame));
    return face;
}

QImage paintKnobStrip()
{
    const QImage face = paintToneBackground(false);
    QImage strip = newFace(kLevelKnob.width(), kLevelKnob.height() * kKnobFrames);
    QPainter painter(&strip);
    for (int frame = 0; frame < kKnobFrames; ++frame)
        painter.drawImage(QPoint(0, frame * kLevelKnob.height()), paintKnobFrame(face, frame));
    return strip;
}

QImage paintMarker()
{
    QImage marker(kMarkerSize, QImage::Format_RGB32);
    marker.fill(kRailFill);
    QPainter painter(&marker);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body(0.5, 0.5, kMarkerSize.width() - 1, kMarkerSize.height() - 7);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0.0, QColor(0xb4, 0xb9, 0xc0));
    metal.setColorAt(0.15, QColor(0x8c, 0x91, 0x98));
    metal.setColorAt(1.0, QColor(0x4c, 0x50, 0x56));
    painter.setPen(QPen(QColor(0x10, 0x11, 0x13), 1.0));
    painter.setBrush(metal);
    painter.drawRoundedRect(body, 5, 5);
    // The notch below the cap points at the scale's marks under the rail.
    const qreal pointer = FrequencyScale::kPointerOffset + 0.5;
    QPolygonF notch{QPointF(pointer - 6, body.bottom() - 0.5),
                    QPointF(pointer + 6, body.bottom() - 0.5),
                    QPointF(pointer, kMarkerSize.height() - 0.5)};
    painter.setBrush(QColor(0x4c, 0x50, 0x56));
    painter.drawPolygon(notch);
    // Grip ridges either side of the window.
    for (int i = 0; i < 4; ++i) {
        for (const qreal x : {6.5 + i * 3.0, kMarkerSize.width() - 7.5 - i * 3.0}) {
            painter.setPen(QPen(QColor(0, 0, 0, 120), 1.0));
            painter.drawLine(QPointF(x, 8), QPointF(x, body.bottom() - 7));
            painter.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
            painter.drawLine(QPointF(x + 1, 8), QPointF(x + 1, body.bottom() - 7));
        }
    }
    // A smoked glass window over the scale, with the red hairline across it.
    const QRectF window(20.5, 4.5, 30, body.height() - 8);
    painter.setPen(QPen(QColor(0x10, 0x11, 0x13), 1.0));
    painter.setBrush(QColor(0x1a, 0x1c, 0x20));
    painter.drawRoundedRect(window, 2, 2);
    painter.fillRect(QRectF(21, 5, 29, 6), QColor(255, 255, 255, 22));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(FrequencyScale::kPointerOffset, 2, 1, kMarkerSize.height() - 3),
                     QColor(0xff, 0x30, 0x24));
    painter.fillRect(
        QRect(FrequencyScale::kPointerOffset - 1, 5, 1, static_cast<int>(window.height() - 1)),
        QColor(0xff, 0x30, 0x24, 70));
    painter.fillRect(
        QRect(FrequencyScale::kPointerOffset + 1, 5, 1, static_cast<int>(window.height() - 1)),
        QColor(0xff, 0x30, 0x24, 70));
    return marker;
}

} // namespace SkinFaces
