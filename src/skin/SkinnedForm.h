// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PictureBox.h"
#include "core/Form.h"

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

// A skinned window with an unlit and a lit face. The hidden holders picAllOff and picAllOn keep
// both skins; a control is drawn lit or unlit by copying the rectangle under it from one of them.
class LitSkinnedForm : public SkinnedForm {
public:
    explicit LitSkinnedForm(QSize clientSize);

    PictureBox* picAllOff = nullptr; // unlit skin: the window's background too
    PictureBox* picAllOn = nullptr;  // lit skin

    void DrawControl(PictureBox* control, bool lit);

protected:
    // Loads the unlit skin as the background and into picAllOff and the lit one into picAllOn,
    // and puts the holders out of sight at the given left edge.
    void LoadFaces(const QString& offName, const QString& onName, int outOfSightLeft);
};
