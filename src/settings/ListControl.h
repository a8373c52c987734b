// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>

#include <functional>

// A list box whose Click runs whenever the user picks an entry: a left press on an entry (also the
// one already selected, so a second click plays a preview again) or a key that moves the
// selection. Changing the selection from code does not run it.
class ListControl : public QListWidget {
public:
    ListControl(QWidget* parent, const QRect& rect);

    std::function<void()> Click;

    // The selected entry's index and text; -1 and "" when nothing is selected.
    int ListIndex() const;
    QString Text() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
