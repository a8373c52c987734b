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

// A picture control: a widget whose face is a persistent off-screen image that survives being
// covered and uncovered. Buttons, pads and the hidden skin holders are picture boxes.
class PictureBox : public QWidget, public MouseHandlers {
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
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_face;
};

// Delivers a widget's mouse events to handlers (for surfaces that are not picture boxes).
void RouteMouseEvent(QWidget* widget, QMouseEvent* event, const MouseHandlers& handlers);
