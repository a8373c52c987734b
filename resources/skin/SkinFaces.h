// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPoint>

// The faces of the program's windows and the small pictures they carry, painted from nothing.
// Lit and unlit faces of a window are pixel for pixel the same outside their controls.
namespace SkinFaces {

// "AllOff" / "AllOn": the bar, 1018 x 761.
QImage paintBarFace(bool lit);
// "Settings": the sample settings window, 820 x 268.
QImage paintSettingsFace();
// "TunerOff" / "TunerOn": the guitar tuner, 820 x 268.
QImage paintTunerFace(bool lit);
// "ToneOff" / "ToneOn": the tone generator, 820 x 268.
QImage paintToneFace(bool lit);
// "PotiClip": the level knob in 32 positions stacked top to bottom, 73 x 2176; each frame sits
// on the same background as the knob's spot on the unlit tone generator face.
QImage paintKnobStrip();

// The tone generator's frequency marker, 71 x 46, pointing at column FrequencyScale's
// kPointerOffset.
QImage paintMarker();
// The settings window's slider knob, 19 x 10.
QImage paintSliderKnob();
// The intro window's link cursor, 32 x 32 with transparency; it points at kLinkCursorHotSpot.
QImage paintLinkCursor();
inline constexpr QPoint kLinkCursorHotSpot{11, 1};
// The intro window's picture, 615 x 400.
QImage paintIntroPicture();

// The brushed panel with its rim and corner screws that every tool window sits on.
void paintToolPanel(QImage& face, unsigned seed);

} // namespace SkinFaces
