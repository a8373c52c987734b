// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PictureBox.h"

#include <QFont>
#include <QLabel>

// A label that is a control of its own: mouse events over it go to its handlers and never fall
// through to the window's surface beneath.
class LabelControl : public MouseRouted<QLabel> {
public:
    LabelControl(QWidget* parent, const QRect& rect, const QString& caption = QString());

    // Text colour (the label's foreground).
    void setForeColor(const QColor& color);
    QColor foreColor() const;
};

// The minimise label: shows a minimise symbol (a bar along the bottom) in its text colour.
class MinimiseLabel : public LabelControl {
public:
    MinimiseLabel(QWidget* parent, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A control without a face of its own that only takes the mouse (link areas, the title area,
// the placeholder for the tool windows).
class MouseArea : public MouseRouted<QWidget> {
public:
    MouseArea(QWidget* parent, const QRect& rect);
};

// The bold sans-serif face of the windows' captions and readouts.
QFont BoldSansFont(double points);
// The same face at a size in pixels, as the skin painter prints the panels' legends: figures
// written over a face match the painted ones at any screen resolution.
QFont BoldSansPixelFont(int pixels);
