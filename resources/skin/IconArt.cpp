// SPDX-License-Identifier: GPL-3.0-or-later
#include "IconArt.h"

#include "PanelArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace IconArt {
namespace {

QColor alpha(QColor colour, int a)
{
    colour.setAlpha(a);
    return colour;
}

Shape pad(QRectF rect, bool lit)
{
    using namespace PanelArt;
    if (lit)
        return {rect,
                14,
                true,
                {{0.0, QColor(0xff, 0xf1, 0xd6)}, {0.45, kAmber}, {1.0, kAmber.darker(140)}}};
    return {rect,
            14,
            false,
            {{0.0, QColor(0x4c, 0x50, 0x56)},
             {0.55, QColor(0x38, 0x3b, 0x3f)},
             {1.0, QColor(0x26, 0x28, 0x2c)}}};
}

QByteArray svgColour(const QColor& colour)
{
    return colour.name(QColor::HexRgb).toLatin1();
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 6);
}

} // namespace

std::vector<Shape> iconShapes()
{
    using namespace PanelArt;
    const double cell = 80, gap = 16, first = 48, second = first + cell + gap;
    std::vector<Shape> shapes{
        // The panel: dark metal lit from above, with a lighter rim.
        {{12, 12, 232, 232}, 44, false, {{0.0, kPanelTop.lighter(150)}, {1.0, kPanelBottom}}},
        {{18, 18, 220, 220}, 39, false, {{0.0, kPanelTop}, {1.0, kPanelBottom.darker(120)}}},
        // The light of the lit pad leaking onto the panel around it.
        {{first - 30, first - 30, cell + 60, cell + 60},
         0,
         true,
         {{0.0, alpha(kAmber, 200)}, {0.55, alpha(kAmber, 90)}, {1.0, alpha(kAmber, 0)}}},
    };
    shapes.push_back(pad({first, first, cell, cell}, true));
    shapes.push_back(pad({second, first, cell, cell}, false));
    shapes.push_back(pad({first, second, cell, cell}, false));
    shapes.push_back(pad({second, second, cell, cell}, false));
    return shapes;
}

QImage paintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.scale(double(size) / kCanvas, double(size) / kCanvas);
    for (const Shape& shape : iconShapes()) {
        QGradient gradient =
            shape.radial
                ? QGradient(QRadialGradient(shape.rect.center(), shape.rect.width() / 2))
                : QGradient(QLinearGradient(shape.rect.topLeft(), shape.rect.bottomLeft()));
        for (const ColourStop& stop : shape.stops)
            gradient.setColorAt(stop.at, stop.colour);
        painter.setBrush(gradient);
        if (shape.radius > 0)
            painter.drawRoundedRect(shape.rect, shape.radius, shape.radius);
        else
            painter.drawEllipse(shape.rect);
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray iconSvg()
{
    const std::vector<Shape> shapes = iconShapes();
    const QByteArray canvas = QByteArray::number(kCanvas);
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                     canvas + "\" height=\"" + canvas + "\" viewBox=\"0 0 " + canvas + ' ' +
                     canvas + "\">\n<defs>\n";
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const Shape& shape = shapes[i];
        // Bounding-box units: a radial gradient reaches the sides of its (square) shape, a linear
        // one runs from its top to its bottom, as the bitmaps paint them.
        svg += shape.radial ? "<radialGradient id=\"g" + QByteArray::number(i) +
                                  "\" cx=\"0.5\" cy=\"0.5\" r=\"0.5\">\n"
                            : "<linearGradient id=\"g" + QByteArray::number(i) +
                                  "\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n";
        for (const ColourStop& stop : shape.stops)
            svg += "<stop offset=\"" + number(stop.at) + "\" stop-color=\"" +
                   svgColour(stop.colour) + "\" stop-opacity=\"" + number(stop.colour.alphaF()) +
                   "\"/>\n";
        svg += shape.radial ? "</radialGradient>\n" : "</linearGradient>\n";
    }
    svg += "</defs>\n";
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const Shape& shape = shapes[i];
        const QByteArray fill = " fill=\"url(#g" + QByteArray::number(i) + ")\"/>\n";
        if (shape.radius > 0)
            svg += "<rect x=\"" + number(shape.rect.x()) + "\" y=\"" + number(shape.rect.y()) +
                   "\" width=\"" + number(shape.rect.width()) + "\" height=\"" +
                   number(shape.rect.height()) + "\" rx=\"" + number(shape.radius) + "\"" + fill;
        else
            svg += "<ellipse cx=\"" + number(shape.rect.center().x()) + "\" cy=\"" +
                   number(shape.rect.center().y()) + "\" rx=\"" + number(shape.rect.width() / 2) +
                   "\" ry=\"" + number(shape.rect.height() / 2) + "\"" + fill;
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace IconArt
