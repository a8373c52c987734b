#pragma once

#include "PictureBox.h"
#include "startup/Form.h"

#include <QImage>

// A frameless window whose face is a skin image. Mouse events on its bare surface (not on a
// control) go to the MouseHandlers it inherits.
class SkinnedForm : public MouseRouted<Form> {
public:
    explicit SkinnedForm(QSize clientSize);

    void setBackground(const QImage& image);
    const QImage& background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // A tool window lies over the bar's pads and goes only when the bar changes page: a close
    // from the window system (Alt+F4) is refused, or the bar's follow timer would load it again
    // unseen.
    void closeEvent(QCloseEvent* event) override;

private:
    QImage m_background;
};
