// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>

#include <vector>

// The program's icon: a small panel of four backlit pads, the upper left one lit amber as when
// it plays. It is kept as a short list of shapes so that the scalable icon and every bitmap size
// are the same drawing.
namespace IconArt {

inline constexpr int kCanvas = 256; // the shapes' coordinate square

struct ColourStop {
    double at;
    QColor colour; // with alpha
};

struct Shape {
    QRectF rect; // inside the kCanvas square
    double radius;
    bool radial; // false: a gradient from top to bottom; true: from the centre out to the sides
    std::vector<ColourStop> stops;
};

std::vector<Shape> iconShapes();

// The icon as a square bitmap of the given size with transparency.
QImage paintIcon(int size);

// The same shapes as an SVG document.
QByteArray iconSvg();

// The bitmap sizes the icon theme gets.
inline constexpr int kBitmapSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

} // namespace IconArt
