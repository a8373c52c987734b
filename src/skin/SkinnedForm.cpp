#include "SkinnedForm.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

SkinnedForm::SkinnedForm(QSize clientSize)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(clientSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinnedForm::setBackground(const QImage& image)
{
    m_background = image;
    update();
}

void SkinnedForm::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    if (!m_background.isNull())
        painter.drawImage(event->rect().topLeft(), m_background, event->rect());
}

void SkinnedForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
