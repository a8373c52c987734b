#include "ToneDisplay.h"

#include <QPainter>

#include <cmath>
#include <cstdint>

namespace {
constexpr double kPi = 3.14159265358979;

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}
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
    if (face.isNull())
        return;
    const int width = face.width();
    const int shown = DisplayedFrequency(frequency, width);
    const int half = face.height() / 2;

    face.fill(kBackground);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(kZeroLine);
    painter.drawLine(0, half, width, half);
    painter.setPen(kLevelLines);
    const int upper = roundHalfEven((1.0 - volume) * half);
    const int lower = roundHalfEven((1.0 + volume) * half);
    painter.drawLine(0, upper, width, upper);
    painter.drawLine(0, lower, width, lower);

    // One point per column, the first on the zero line; screen y grows downward, so the scaled
    // sine is taken from the zero line and the curve rises first.
    m_curve.resize(static_cast<std::size_t>(width) + 1);
    const double scale = static_cast<double>(amplitude) * volume;
    for (int x = 0; x <= width; ++x) {
        const double y = (1.0 - scale * std::sin(2.0 * kPi * x / width * shown)) * half;
        m_curve[static_cast<std::size_t>(x)] = QPoint(x, roundHalfEven(y));
    }
    painter.setPen(kCurve);
    painter.drawPolyline(m_curve.data(), static_cast<int>(m_curve.size()));
}
