// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

// The building blocks of the skin's hardware look: a dark brushed-metal panel lit from the upper
// left, thin bevels, recessed wells, small screws, engraved legends, LEDs, backlit rubber pads
// and push buttons. Every element draws strictly inside the rectangle it is given, so a lit and
// an unlit face differ only inside their controls.
namespace PanelArt {

// The palette every face shares.
inline const QColor kPanelTop{0x3a, 0x3e, 0x44};
inline const QColor kPanelBottom{0x1f, 0x22, 0x26};
inline const QColor kLegend{0xc9, 0xcd, 0xd2};
inline const QColor kLegendDim{0x86, 0x8c, 0x94};
inline const QColor kWellFill{0x0b, 0x0c, 0x0e};
inline const QColor kAmber{0xff, 0xa8, 0x30};
inline const QColor kRed{0xff, 0x3b, 0x2f};
inline const QColor kGreen{0x5c, 0xff, 0x6a};
inline const QColor kPink{0xff, 0x5c, 0xb4};

// DejaVu Sans at an exact pixel size, so faces look the same whatever the screen's resolution.
QFont panelFont(int pixelSize, bool bold = true, qreal letterSpacing = 0.0);

// A new face of the given size in the 32-bit RGB format that is written as a 24-bit bitmap.
QImage newFace(int width, int height);

// Fills the whole image with brushed dark metal: a vertical light fall-off and fine horizontal
// grain. The grain comes from a fixed seed, so the same face is painted on every build.
void fillBrushedMetal(QImage& image, const QColor& top, const QColor& bottom, unsigned seed);

// The rim of a raised plate (light on the upper left edge, shadow on the lower right) or of a
// recess (the other way round).
void drawBevel(QPainter& painter, const QRectF& rect, qreal radius, bool raised,
               qreal strength = 1.0);

// A recessed, nearly black area with an inner shadow along its upper edge.
void drawWell(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill = kWellFill);

// A small slotted screw head.
void drawScrew(QPainter& painter, QPointF centre, qreal radius, qreal slotDegrees);

// The outline of a text laid out in the rectangle by the alignment flags (left, right or centred;
// top, bottom or vertically centred), underlined when the font says so.
QPainterPath textPath(const QRectF& rect, int flags, const QString& text, const QFont& font);

// A legend printed on the panel: light paint with a dark line under it, as if slightly engraved.
void drawLegend(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                const QFont& font, const QColor& colour = kLegend);

// Text that shines: a soft halo of the glow colour under crisp letters.
void drawGlowText(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                  const QFont& font, const QColor& colour, const QColor& glow, qreal spread);

// A round LED in its bezel, dark or shining with a halo of the given radius around it.
void drawLed(QPainter& painter, QPointF centre, qreal radius, const QColor& colour, bool lit,
             qreal haloRadius);

// A push button filling the rectangle (with a small margin): a raised plate, an LED on its left
// and the label. Lit, the LED and the label glow in the accent colour.
void drawPushButton(QPainter& painter, const QRectF& rect, const QString& label,
                    const QColor& accent, bool lit);

// A backlit rubber pad filling the rectangle: dark translucent rubber when off, warm light
// coming through it when lit. The caption is printed in its upper part, the detail (if any)
// smaller under it.
void drawPad(QPainter& painter, const QRectF& rect, const QString& caption, const QString& detail,
             const QColor& light, bool lit, int captionPixels);

// Blurs an image with alpha in place (three box passes, close to a Gaussian).
void blur(QImage& image, int radius);

} // namespace PanelArt
