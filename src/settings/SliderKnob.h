// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "skin/PictureBox.h"

// The knob of a volume or pan slider. Its left edge inside the track is kept in twips (15 to a
// pixel), the unit in which knob positions are stored in the settings file, and in single
// precision, so that a stored position reads back as the same number. Mouse positions reach the
// knob's handlers in twips as well.
class SliderKnob : public PictureBox {
public:
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kWidthTwips = 285;

    explicit SliderKnob(QWidget* track);

    double KnobLeft() const { return m_leftTwips; }
    void setKnobLeft(double twips);

private:
    float m_leftTwips = 0;
};
