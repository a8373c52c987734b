// SPDX-License-Identifier: GPL-3.0-or-later
#include "LabelControl.h"

#include <QMouseEvent>
#include <QPainter>

LabelControl::LabelControl(QWidget* parent, const QRect& rect, const QString& caption)
    : MouseRouted<QLabel>(caption, parent)
{
    setGeometry(rect);
    setMouseTracking(true);
}

void LabelControl::setForeColor(const QColor& color)
{
    // The bar sets the minimise label's colour on every mouse move over its surface.
    if (foreColor() == color)
        return;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
    update();
}

QColor LabelControl::foreColor() const
{
    return palette().color(QPalette::WindowText);
}

MinimiseLabel::MinimiseLabel(QWidget* parent, const QRect& rect) : LabelControl(parent, rect) {}

void MinimiseLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width(), h = height();
    painter.fillRect(QRect(w / 4, h - h / 4 - 2, w - 2 * (w / 4), 2), foreColor());
}

MouseArea::MouseArea(QWidget* parent, const QRect& rect) : MouseRouted<QWidget>(parent)
{
    setGeometry(rect);
}

namespace {

QFont boldSans(const QString& family)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    return font;
}

} // namespace

QFont BoldSansFont(double points)
{
    QFont font = boldSans(QStringLiteral("Sans Serif"));
    font.setPointSizeF(points);
    return font;
}

QFont BoldSansPixelFont(int pixels)
{
    QFont font = boldSans(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    return font;
}
