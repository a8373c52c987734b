// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

int ButtonBits(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= kLeftButton;
    if (buttons & Qt::RightButton)
        bits |= kRightButton;
    if (buttons & Qt::MiddleButton)
        bits |= kMiddleButton;
    return bits;
}

int ShiftBitsOf(Qt::KeyboardModifiers modifiers)
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= kShiftKey;
    if (modifiers & Qt::ControlModifier)
        bits |= kCtrlKey;
    if (modifiers & Qt::AltModifier)
        bits |= kAltKey;
    return bits;
}

void RouteMouseEvent(QWidget* widget, QMouseEvent* event, const MouseHandlers& handlers)
{
    const QPointF pos = event->position();
    const int shift = ShiftBitsOf(event->modifiers());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (handlers.MouseDown)
            handlers.MouseDown(ButtonBits(event->button()), shift, pos.x(), pos.y());
        break;
    case QEvent::MouseMove:
        if (handlers.MouseMove)
            handlers.MouseMove(ButtonBits(event->buttons()), shift, pos.x(), pos.y());
        break;
    case QEvent::MouseButtonRelease:
        if (handlers.MouseUp)
            handlers.MouseUp(ButtonBits(event->button()), shift, pos.x(), pos.y());
        if (event->button() == Qt::LeftButton && handlers.Click &&
            widget->rect().contains(pos.toPoint()))
            handlers.Click();
        break;
    case QEvent::MouseButtonDblClick:
        // A double click is a press as well: the second press still reaches MouseDown.
        if (handlers.MouseDown)
            handlers.MouseDown(ButtonBits(event->button()), shift, pos.x(), pos.y());
        if (event->button() == Qt::LeftButton && handlers.DblClick)
            handlers.DblClick();
        break;
    default:
        break;
    }
}

PictureBox::PictureBox(QWidget* parent) : MouseRouted<QWidget>(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::PictureBox(QWidget* parent, const QRect& rect) : PictureBox(parent)
{
    setGeometry(rect);
    matchFaceToSize();
}

void PictureBox::setPicture(const QImage& image, bool autoSize)
{
    if (autoSize) {
        m_face = image.convertToFormat(QImage::Format_RGB32);
        resize(m_face.size());
    } else {
        matchFaceToSize();
        m_face.fill(Qt::black);
        QPainter painter(&m_face);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
    }
    update();
}

void PictureBox::matchFaceToSize()
{
    if (m_face.size() == size())
        return;
    QImage face(size(), QImage::Format_RGB32);
    face.fill(Qt::black);
    if (!m_face.isNull()) {
        QPainter painter(&face);
        painter.drawImage(0, 0, m_face);
    }
    m_face = face;
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(event->rect(), m_face, event->rect());
}

void PictureBox::resizeEvent(QResizeEvent*)
{
    matchFaceToSize();
}
