#include "SliderKnob.h"

#include "startup/NumberText.h"

SliderKnob::SliderKnob(QWidget* track) : PictureBox(track, QRect(0, 0, 19, 10)) {}

void SliderKnob::setKnobLeft(double twips)
{
    m_leftTwips = twips;
    move(RoundHalfEven(twips / kTwipsPerPixel), y());
}
