// SPDX-License-Identifier: GPL-3.0-or-later
#include "SkinnedForm.h"

#include "SkinBlit.h"

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

LitSkinnedForm::LitSkinnedForm(QSize clientSize) : SkinnedForm(clientSize)
{
    picAllOff = new PictureBox(this);
    picAllOn = new PictureBox(this);
    picAllOff->hide();
    picAllOn->hide();
}

void LitSkinnedForm::LoadFaces(const QString& offName, const QString& onName, int outOfSightLeft)
{
    picAllOff->move(outOfSightLeft, 0);
    picAllOn->move(outOfSightLeft, 0);
    const QImage off = LoadSkinImage(offName);
    setBackground(off);
    picAllOff->setPicture(off, true);
    picAllOn->setPicture(LoadSkinImage(onName), true);
}

void LitSkinnedForm::DrawControl(PictureBox* control, bool lit)
{
    CopySkinArea(*control, lit ? *picAllOn : *picAllOff);
}
