// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

// Mouse buttons and shift keys as the windows' handlers receive them.
enum MouseButtonBits { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
enum ShiftBits { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

int ButtonBits(Qt::MouseButtons buttons);
int ShiftBitsOf(Qt::KeyboardModifiers modifiers);

// Handlers a skinned surface routes its mouse events to. MouseDown and MouseUp get the button
// that changed, MouseMove every button held; x and y are in the surface's own pixels. A surface
// keeps the mouse while a button is held, so the release reaches the surface that got the press
// wherever the pointer is by then.
struct MouseHandlers {
    std::function<void(int button, int shift, double x, double y)> MouseDown;
    std::function<void(int button, int shift, double x, double y)> MouseMove;
    std::function<void(int button, int shift, double x, double y)> MouseUp;
    std::function<void()> Click;    // left button pressed and released over the surface
    std::function<void()> DblClick; // left button
};

// Delivers a widget's mouse events to handlers.
void RouteMouseEvent(QWidget* widget, QMouseEvent* event, const MouseHandlers& handlers);

// A widget class whose mouse events all go to its MouseHandlers; none falls through to the
// widget beneath.
template <class Widget> class MouseRouted : public Widget, public MouseHandlers {
public:
    using Widget::Widget;

protected:
    void mousePressEvent(QMouseEvent* event) override { RouteMouseEvent(this, event, *this); }
    void mouseMoveEvent(QMouseEvent* event) override { RouteMouseEvent(this, event, *this); }
    void mouseReleaseEvent(QMouseEvent* event) override { RouteMouseEvent(this, event, *this); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { RouteMouseEvent(this, event, *this); }
};

// A picture control: a widget whose face is a persistent off-screen image that survives being
// covered and uncovered. Buttons, pads and the hidden skin holders are picture boxes.
class PictureBox : public MouseRouted<QWidget> {
public:
    explicit PictureBox(QWidget* parent = nullptr);
    PictureBox(QWidget* parent, const QRect& rect);

    QImage& face() { return m_face; }
    const QImage& face() const { return m_face; }
    // Shows an image; a holder takes the image's size (autoSize), a control keeps its own.
    void setPicture(const QImage& image, bool autoSize = false);
    // The face follows the widget's size; call after changing the geometry by hand.
    void matchFaceToSize();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_face;
};
