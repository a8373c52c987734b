// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelArt.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace PanelArt {

namespace {

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t),
                            static_cast<float>(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QPainterPath roundedPath(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// One pass of a running-average blur along a line of premultiplied pixels.
void boxBlurLine(QRgb* line, int count, int stride, int radius, std::vector<QRgb>& scratch)
{
    scratch.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        scratch[static_cast<std::size_t>(i)] = line[i * stride];
    int sums[4] = {0, 0, 0, 0};
    const int window = 2 * radius + 1;
    auto add = [&](int index, int sign) {
        if (index < 0 || index >= count)
            return;
        const QRgb pixel = scratch[static_cast<std::size_t>(index)];
        sums[0] += sign * qAlpha(pixel);
        sums[1] += sign * qRed(pixel);
        sums[2] += sign * qGreen(pixel);
        sums[3] += sign * qBlue(pixel);
    };
    for (int i = -radius; i < radius; ++i)
        add(i, 1);
    for (int i = 0; i < count; ++i) {
        add(i + radius, 1);
        line[i * stride] =
            qRgba(sums[1] / window, sums[2] / window, sums[3] / window, sums[0] / window);
        add(i - radius, -1);
    }
}

} // namespace

QFont panelFont(int pixelSize, bool bold, qreal letterSpacing)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0.0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

QImage newFace(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

void fillBrushedMetal(QImage& image, const QColor& top, const QColor& bottom, unsigned seed)
{
    std::mt19937 random(seed);
    const int width = image.width();
    const int height = image.height();
    std::vector<float> grain(static_cast<std::size_t>(width));
    std::vector<float> smooth(static_cast<std::size_t>(width));
    const int reach = 18;
    float rowShade = 0.0f;
    for (int y = 0; y < height; ++y) {
        for (auto& g : grain)
            g = static_cast<float>(static_cast<int>(random() % 15) - 7);
        // Brushing draws long streaks along the rows: average the grain over a wide window.
        float sum = 0.0f;
        for (int x = -reach; x <= reach; ++x)
            sum += grain[static_cast<std::size_t>(std::clamp(x, 0, width - 1))];
        for (int x = 0; x < width; ++x) {
            smooth[static_cast<std::size_t>(x)] = sum / (2 * reach + 1);
            sum += grain[static_cast<std::size_t>(std::min(x + reach + 1, width - 1))];
            sum -= grain[static_cast<std::size_t>(std::max(x - reach, 0))];
        }
        // Neighbouring rows share part of their shade, so streaks are a few pixels tall.
        rowShade = 0.6f * rowShade + 0.4f * static_cast<float>(static_cast<int>(random() % 9) - 4);
        const qreal t = height > 1 ? static_cast<qreal>(y) / (height - 1) : 0.0;
        const QColor base = mix(top, bottom, t);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const qreal across = 2.0 * x / std::max(1, width - 1) - 1.0;
            const qreal vignette = 1.0 - 0.10 * across * across;
            const float streak = rowShade * 0.9f + smooth[static_cast<std::size_t>(x)] * 2.2f;
            auto channel = [&](qreal value) {
                return std::clamp(static_cast<int>(std::lround(value * vignette + streak)), 0, 255);
            };
            line[x] = qRgb(channel(base.red()), channel(base.green()), channel(base.blue()));
        }
    }
}

void drawBevel(QPainter& painter, const QRectF& rect, qreal radius, bool raised, qreal strength)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor light(255, 255, 255, static_cast<int>(std::min(255.0, 70 * strength)));
    const QColor dark(0, 0, 0, static_cast<int>(std::min(255.0, 150 * strength)));
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0.0, raised ? light : dark);
    gradient.setColorAt(0.5, QColor(128, 128, 128, 0));
    gradient.setColorAt(1.0, raised ? dark : light);
    painter.setPen(QPen(QBrush(gradient), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

void drawWell(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF inner = rect.adjusted(1, 1, -1, -1);
    QLinearGradient body(inner.topLeft(), inner.bottomLeft());
    body.setColorAt(0.0, fill.darker(130));
    body.setColorAt(1.0, fill.lighter(125));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(inner, std::max(0.0, radius - 1), std::max(0.0, radius - 1));
    // The panel's edge throws a shadow into the recess from above.
    painter.setClipPath(roundedPath(inner, std::max(0.0, radius - 1)), Qt::IntersectClip);
    QLinearGradient shadow(inner.topLeft(), inner.topLeft() + QPointF(0, 7));
    shadow.setColorAt(0.0, QColor(0, 0, 0, 150));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.fillRect(inner, shadow);
    painter.restore();
    drawBevel(painter, rect, radius, false, 1.2);
}

void drawScrew(QPainter& painter, QPointF centre, qreal radius, qreal slotDegrees)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 120));
    painter.drawEllipse(centre + QPointF(0.6, 0.9), radius + 0.8, radius + 0.8);
    QRadialGradient head(centre - QPointF(radius * 0.4, radius * 0.4), radius * 1.6);
    head.setColorAt(0.0, QColor(0xb8, 0xbc, 0xc2));
    head.setColorAt(0.6, QColor(0x6a, 0x6e, 0x75));
    head.setColorAt(1.0, QColor(0x2e, 0x31, 0x35));
    painter.setBrush(head);
    painter.setPen(QPen(QColor(0x14, 0x15, 0x17), 0.8));
    painter.drawEllipse(centre, radius, radius);
    painter.translate(centre);
    painter.rotate(slotDegrees);
    painter.setPen(QPen(QColor(0x16, 0x17, 0x19), radius * 0.38, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(-radius * 0.72, 0), QPointF(radius * 0.72, 0));
    painter.setPen(QPen(QColor(255, 255, 255, 60), 0.6));
    painter.drawLine(QPointF(-radius * 0.7, radius * 0.22), QPointF(radius * 0.7, radius * 0.22));
    painter.restore();
}

// Text as an outline filled by the painter. Glyphs drawn through the font cache may come out
// slightly differently depending on what was drawn before in the same process; outlines do not,
// and lit and unlit faces must match to the pixel.
QPainterPath textPath(const QRectF& rect, int flags, const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(text);
    qreal x = rect.left();
    if (flags & Qt::AlignHCenter)
        x = rect.center().x() - width / 2;
    else if (flags & Qt::AlignRight)
        x = rect.right() - width;
    qreal baseline = rect.top() + metrics.ascent();
    if (flags & Qt::AlignVCenter)
        baseline = rect.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    else if (flags & Qt::AlignBottom)
        baseline = rect.bottom() - metrics.descent();
    QPainterPath path;
    path.addText(QPointF(x, baseline), font, text);
    if (font.underline()) {
        const qreal y = baseline + metrics.underlinePos();
        path.addRect(QRectF(x, y, width, std::max(1.0, metrics.lineWidth())));
    }
    return path;
}

void drawLegend(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                const QFont& font, const QColor& colour)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = textPath(rect, flags, text, font);
    painter.fillPath(path.translated(0, 1), QColor(0, 0, 0, 170));
    painter.fillPath(path, colour);
    painter.restore();
}

void blur(QImage& image, int radius)
{
    if (radius < 1 || image.isNull())
        return;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<QRgb> scratch;
    const int width = image.width();
    const int height = image.height();
    const int stride = static_cast<int>(image.bytesPerLine() / 4);
    auto* pixels = reinterpret_cast<QRgb*>(image.bits());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            boxBlurLine(pixels + y * stride, width, 1, radius, scratch);
        for (int x = 0; x < width; ++x)
            boxBlurLine(pixels + x, height, stride, radius, scratch);
    }
}

void drawGlowText(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                  const QFont& font, const QColor& colour, const QColor& glow, qreal spread)
{
    const int margin = static_cast<int>(std::ceil(spread * 2));
    const QRect area = rect.toAlignedRect().adjusted(-margin, -margin, margin, margin);
    const QPainterPath path = textPath(rect, flags, text, font);
    QImage halo(area.size(), QImage::Format_ARGB32_Premultiplied);
    halo.fill(Qt::transparent);
    {
        QPainter haloPainter(&halo);
        haloPainter.setRenderHint(QPainter::Antialiasing);
        haloPainter.fillPath(path.translated(-area.topLeft()), glow);
    }
    blur(halo, std::max(1, static_cast<int>(std::lround(spread / 1.5))));
    painter.save();
    painter.drawImage(area.topLeft(), halo);
    painter.drawImage(area.topLeft(), halo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, colour);
    painter.restore();
}

void drawLed(QPainter& painter, QPointF centre, qreal radius, const QColor& colour, bool lit,
             qreal haloRadius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (lit) {
        QRadialGradient halo(centre, haloRadius);
        halo.setColorAt(0.0, withAlpha(colour, 220));
        halo.setColorAt(0.3, withAlpha(colour, 110));
        halo.setColorAt(1.0, withAlpha(colour, 0));
        painter.setBrush(halo);
        painter.drawEllipse(centre, haloRadius, haloRadius);
    }
    // Bezel: a dark ring with a light lower edge, as if the LED sat in a drilled hole.
    QLinearGradient bezel(centre - QPointF(0, radius + 1.5), centre + QPointF(0, radius + 1.5));
    bezel.setColorAt(0.0, QColor(0x0a, 0x0a, 0x0b));
    bezel.setColorAt(1.0, QColor(0x5a, 0x5e, 0x64));
    painter.setBrush(bezel);
    painter.drawEllipse(centre, radius + 1.4, radius + 1.4);
    QRadialGradient lens(centre - QPointF(radius * 0.3, radius * 0.35), radius * 1.3);
    if (lit) {
        lens.setColorAt(0.0, QColor(255, 255, 255));
        lens.setColorAt(0.35, colour.lighter(130));
        lens.setColorAt(1.0, colour.darker(130));
    } else {
        lens.setColorAt(0.0, colour.darker(250));
        lens.setColorAt(0.6, colour.darker(520));
        lens.setColorAt(1.0, colour.darker(900));
    }
    painter.setBrush(lens);
    painter.drawEllipse(centre, radius, radius);
    // Specular highlight on the lens.
    painter.setBrush(QColor(255, 255, 255, lit ? 170 : 70));
    painter.drawEllipse(centre - QPointF(radius * 0.35, radius * 0.4), radius * 0.32,
                        radius * 0.22);
    painter.restore();
}

void drawPushButton(QPainter& painter, const QRectF& rect, const QString& label,
                    const QColor& accent, bool lit)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(rect, Qt::IntersectClip);
    const QRectF body = rect.adjusted(3, 3, -3, -4);
    const qreal radius = 6;
    // Shadow on the panel below and right of the button.
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawRoundedRect(body.translated(0.5 * i, 0.8 * i), radius, radius);
    }
    QLinearGradient face(body.topLeft(), body.bottomLeft());
    face.setColorAt(0.0, QColor(0x50, 0x55, 0x5c));
    face.setColorAt(0.12, QColor(0x43, 0x47, 0x4e));
    face.setColorAt(1.0, QColor(0x26, 0x29, 0x2d));
    painter.setBrush(face);
    painter.drawRoundedRect(body, radius, radius);

    const QPointF ledCentre(body.left() + 15, body.center().y());
    if (lit) {
        // Light from the LED spills across the face and rises from the lower edge.
        painter.save();
        painter.setClipPath(roundedPath(body, radius), Qt::IntersectClip);
        QRadialGradient wash(ledCentre, body.width() * 0.75);
        wash.setColorAt(0.0, withAlpha(accent, 105));
        wash.setColorAt(1.0, withAlpha(accent, 0));
        painter.fillRect(body, wash);
        QLinearGradient rim(body.bottomLeft() - QPointF(0, 10), body.bottomLeft());
        rim.setColorAt(0.0, withAlpha(accent, 0));
        rim.setColorAt(1.0, withAlpha(accent, 120));
        painter.fillRect(body, rim);
        painter.restore();
    }
    drawBevel(painter, body, radius, true, 1.3);
    // A fine groove separates the LED from the label.
    painter.setPen(QPen(QColor(0, 0, 0, 110), 1.0));
    painter.drawLine(QPointF(body.left() + 29.5, body.top() + 9),
                     QPointF(body.left() + 29.5, body.bottom() - 9));
    painter.setPen(QPen(QColor(255, 255, 255, 30), 1.0));
    painter.drawLine(QPointF(body.left() + 30.5, body.top() + 9),
                     QPointF(body.left() + 30.5, body.bottom() - 9));

    drawLed(painter, ledCentre, 4.8, accent, lit, 16);
    const QRectF labelRect = body.adjusted(31, 0, -4, 0);
    const QFont font = panelFont(13, true);
    if (lit)
        drawGlowText(painter, labelRect, Qt::AlignCenter, label, font, accent.lighter(150), accent,
                     5);
    else
        drawLegend(painter, labelRect, Qt::AlignCenter, label, font, kLegend);
    painter.restore();
}

void drawPad(QPainter& painter, const QRectF& rect, const QString& caption, const QString& detail,
             const QColor& light, bool lit, int captionPixels)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(rect, Qt::IntersectClip);
    const QRectF body = rect.adjusted(3, 3, -3, -3);
    const qreal radius = std::min(7.0, body.width() / 4);
    painter.setPen(Qt::NoPen);
    if (lit) {
        // The light leaks out around the pad onto the panel.
        for (int i = 3; i >= 1; --i) {
            painter.setBrush(withAlpha(light, 28 + 22 * (3 - i)));
            painter.drawRoundedRect(body.adjusted(-i, -i, i, i), radius + i, radius + i);
        }
    } else {
        painter.setBrush(QColor(0, 0, 0, 70));
        painter.drawRoundedRect(body.adjusted(-1, -1, 1, 2), radius + 1, radius + 1);
        painter.setBrush(QColor(0, 0, 0, 60));
        painter.drawRoundedRect(body.adjusted(0, 1, 2, 3), radius, radius);
    }

    if (lit) {
        QRadialGradient glow(body.center() - QPointF(0, body.height() * 0.08),
                             std::max(body.width(), body.height()) * 0.62);
        glow.setColorAt(0.0, mix(light, QColor(255, 255, 255), 0.75));
        glow.setColorAt(0.35, mix(light, QColor(255, 255, 255), 0.3));
        glow.setColorAt(0.8, light);
        glow.setColorAt(1.0, light.darker(150));
        painter.setBrush(glow);
    } else {
        QLinearGradient rubber(body.topLeft(), body.bottomLeft());
        rubber.setColorAt(0.0, QColor(0x48, 0x4b, 0x50));
        rubber.setColorAt(0.5, QColor(0x38, 0x3b, 0x3f));
        rubber.setColorAt(1.0, QColor(0x2b, 0x2d, 0x31));
        painter.setBrush(rubber);
    }
    painter.drawRoundedRect(body, radius, radius);

    // The rubber is thicker at the rim: a darker edge, and a soft sheen along the top.
    painter.save();
    painter.setClipPath(roundedPath(body, radius), Qt::IntersectClip);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(lit ? withAlpha(light.darker(220), 170) : QColor(0, 0, 0, 110), 2.0));
    painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    QLinearGradient sheen(body.topLeft(), body.topLeft() + QPointF(0, body.height() * 0.35));
    sheen.setColorAt(0.0, QColor(255, 255, 255, lit ? 70 : 34));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(body.adjusted(2, 2, -2, 0), sheen);
    painter.restore();
    drawBevel(painter, body, radius, true, lit ? 0.6 : 1.0);

    const qreal captionTop = body.top() + body.height() * (detail.isEmpty() ? 0.30 : 0.16);
    const QRectF captionRect(body.left(), captionTop, body.width(), captionPixels * 1.3);
    const QFont captionFont = panelFont(captionPixels, true);
    const QRectF detailRect(body.left(), captionRect.bottom(), body.width(), 14);
    const QFont detailFont = panelFont(9, false);
    if (lit) {
        const QColor ink = light.darker(330);
        drawGlowText(painter, captionRect, Qt::AlignCenter, caption, captionFont, ink,
                     QColor(255, 255, 255, 200), 3);
        if (!detail.isEmpty()) {
            painter.fillPath(textPath(detailRect, Qt::AlignCenter, detail, detailFont), ink);
        }
    } else {
        drawLegend(painter, captionRect, Qt::AlignCenter, caption, captionFont,
                   QColor(0xa4, 0xa9, 0xb0));
        if (!detail.isEmpty())
            drawLegend(painter, detailRect, Qt::AlignCenter, detail, detailFont, kLegendDim);
    }
    painter.restore();
}

} // namespace PanelArt
