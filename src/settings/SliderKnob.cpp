// SPDX-License-Identifier: GPL-3.0-or-later
#include "SliderKnob.h"

#include "SliderScale.h"
#include "core/NumberText.h"

#include <QImage>

#include <algorithm>

namespace {
// A position read from a damaged settings file can be far outside the track; the knob is then
// simply out of sight, at a distance the window system's coordinates still hold.
constexpr int kFarOutPx = 100000;
} // namespace

SliderKnob::SliderKnob(QWidget* track) : PictureBox(track, QRect(0, 0, 19, 10))
{
    setPicture(QImage(QStringLiteral(":/images/knob.png")));
}

void SliderKnob::setKnobLeft(double twips)
{
    m_leftTwips = SliderScale::ToSingle(twips);
    const int px = RoundHalfEven(static_cast<double>(m_leftTwips) / kTwipsPerPixel);
    move(std::clamp(px, -kFarOutPx, kFarOutPx), y());
}
