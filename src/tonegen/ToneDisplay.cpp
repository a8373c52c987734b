// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
constexpr double kPi = 3.14159265358979;

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

// The picture is redrawn on every mouse move of a drag, so its few straight lines are set
// directly in the image's pixels rather than through a painter.
class Pixels {
public:
    explicit Pixels(QImage& face)
        : m_bits(reinterpret_cast<QRgb*>(face.bits())),
          m_stride(static_cast<int>(face.bytesPerLine() / sizeof(QRgb))), m_width(face.width()),
          m_height(face.height())
    {
    }

    void set(int x, int y, QRgb colour)
    {
        if (x >= 0 && x < m_width && y >= 0 && y < m_height)
            m_bits[y * m_stride + x] = colour;
    }

    void horizontalLine(int y, QRgb colour)
    {
        if (y >= 0 && y < m_height)
            std::fill_n(m_bits + y * m_stride, m_width, colour);
    }

    // A line between the points of two neighbouring columns: the rows it crosses go to the
    // nearer column, the first half to the left one, the second to the right one.
    void columnStep(QPoint from, QPoint to, QRgb colour)
    {
        const int rise = to.y() - from.y();
        const int rows = rise < 0 ? -rise : rise;
        const int direction = rise < 0 ? -1 : 1;
        for (int step = 0; step <= rows; ++step)
            set(2 * step > rows ? to.x() : from.x(), from.y() + direction * step, colour);
        set(to.x(), to.y(), colour);
    }

private:
    QRgb* m_bits;
    int m_stride;
    int m_width;
    int m_height;
};
} // namespace

int ToneDisplay::DisplayedFrequency(int frequency, int width)
{
    int shown = frequency;
    while (static_cast<std::int64_t>(width) < static_cast<std::int64_t>(shown) * 20)
        shown /= 2;
    return shown;
}

void ToneDisplay::draw(QImage& face, int frequency, float volume, float amplitude)
{
    if (face.isNull() || face.depth() != 32)
        return;
    const int width = face.width();
    const int shown = DisplayedFrequency(frequency, width);
    const int half = face.height() / 2;

    face.fill(kBackground);
    Pixels pixels(face);
    pixels.horizontalLine(half, kZeroLine.rgb());
    pixels.horizontalLine(roundHalfEven((1.0 - volume) * half), kLevelLines.rgb());
    pixels.horizontalLine(roundHalfEven((1.0 + volume) * half), kLevelLines.rgb());

    // One point per column, the first on the zero line; screen y grows downward, so the scaled
    // sine is taken from the zero line and the curve rises first.
    m_curve.resize(static_cast<std::size_t>(width) + 1);
    const double scale = static_cast<double>(amplitude) * volume;
    for (int x = 0; x <= width; ++x) {
        const double y = (1.0 - scale * std::sin(2.0 * kPi * x / width * shown)) * half;
        m_curve[static_cast<std::size_t>(x)] = QPoint(x, roundHalfEven(y));
    }
    const QRgb curve = kCurve.rgb();
    for (std::size_t i = 1; i < m_curve.size(); ++i)
        pixels.columnStep(m_curve[i - 1], m_curve[i], curve);
}
