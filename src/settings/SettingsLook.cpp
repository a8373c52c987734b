// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsLook.h"

#include "skin/LabelControl.h"

#include <QPalette>
#include <QWidget>

namespace SettingsLook {

namespace {
const QColor kValueGreen(0, 255, 0);
} // namespace

void darkBevel(QPalette& p)
{
    p.setColor(QPalette::Light, QColor(0x55, 0x55, 0x5c));
    p.setColor(QPalette::Midlight, QColor(0x48, 0x48, 0x4e));
    p.setColor(QPalette::Mid, QColor(0x22, 0x22, 0x26));
    p.setColor(QPalette::Dark, QColor(0x10, 0x10, 0x12));
    p.setColor(QPalette::Shadow, Qt::black);
}

void darkControl(QWidget* control)
{
    QPalette p = control->palette();
    p.setColor(QPalette::Button, QColor(0x2c, 0x2c, 0x31));
    p.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Window, QColor(0x2c, 0x2c, 0x31));
    p.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Base, QColor(0x0c, 0x0c, 0x0e));
    p.setColor(QPalette::Text, QColor(0xdc, 0xdc, 0xdc));
    p.setColor(QPalette::Highlight, QColor(0xff, 0xa8, 0x30));
    p.setColor(QPalette::HighlightedText, Qt::black);
    darkBevel(p);
    control->setPalette(p);
}

LabelControl* headingLabel(QWidget* parent, const QRect& rect, const QString& caption)
{
    auto* label = new LabelControl(parent, rect, caption);
    label->setFont(BoldSansFont(8.25));
    label->setForeColor(Qt::white);
    return label;
}

LabelControl* valueLabel(QWidget* parent, const QRect& rect, double points, Qt::Alignment alignment)
{
    auto* label = new LabelControl(parent, rect);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setIndent(3);
    label->setFont(BoldSansFont(points));
    label->setForeColor(kValueGreen);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::black);
    label->setPalette(p);
    label->setAutoFillBackground(true);
    return label;
}

} // namespace SettingsLook
