#pragma once

#include "skin/PictureBox.h"

// The knob of a volume or pan slider. Its left edge inside the track is kept in twips (15 to a
// pixel), the unit in which knob positions are stored in the settings file.
class SliderKnob : public PictureBox {
public:
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kWidthTwips = 285;

    explicit SliderKnob(QWidget* track);

    double KnobLeft() const { return m_leftTwips; }
    void setKnobLeft(double twips);

private:
    double m_leftTwips = 0;
};
