// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "skin/LabelControl.h"

#include <QStringList>
#include <QTimer>

// The bar's status line: short notes on what the bar is doing or did ("Copying Drums.wav … 42 %",
// "Bound Drums.wav to pad 5", why a file was refused). A note clears itself after a few seconds.
// It never asks anything, so nothing on the bar waits for it, and the mouse passes through it to
// the bar's surface (a press there still drags the bar).
class StatusLabel : public LabelControl {
public:
    static constexpr int kClearAfterMs = 6000;

    StatusLabel(QWidget* parent, const QRect& rect);

    // Shows text in place of the last note, and clears it kClearAfterMs later.
    void showMessage(const QString& text);
    // Shows text once the notes shown or waiting before it have had their time, so that several
    // things said at once (at the start) are each read.
    void queueMessage(const QString& text);

private:
    QTimer m_clear;
    QStringList m_waiting;
};
