// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/PadCount.h"

#include <QRect>
#include <QSize>

#include <array>

// Where each window's controls sit, in pixels of the window's client area. The windows place
// their controls here and the skin faces are painted to the same rectangles: a control copies
// exactly the pixels under it out of the lit or unlit face, so every element has to be drawn inside
// its own rectangle and nothing else may reach into it.
namespace SkinLayout {

// The bar.
inline constexpr QSize kBarSize{1018, 761};
inline constexpr QSize kPadSize{50, 94};
inline constexpr std::array<int, 14> kUpperPadLefts{143, 198, 252, 305, 359, 413, 466,
                                                    520, 573, 626, 679, 732, 785, 839};
inline constexpr std::array<int, 14> kLowerPadLefts{144, 197, 252, 306, 360, 414, 466,
                                                    519, 572, 625, 679, 733, 785, 839};
inline constexpr int kUpperPadTop = 424;
inline constexpr int kLowerPadTop = 548;
static_assert(kUpperPadLefts.size() + kLowerPadLefts.size() == kPadCount);

// Pad index 0..27: pads 1 to 14 in the upper row, 15 to 28 in the lower.
constexpr QRect padRect(int index)
{
    return index < 14
               ? QRect(kUpperPadLefts[static_cast<std::size_t>(index)], kUpperPadTop, 50, 94)
               : QRect(kLowerPadLefts[static_cast<std::size_t>(index - 14)], kLowerPadTop, 50, 94);
}

inline constexpr QRect kSamplesButton{466, 312, 113, 55};
inline constexpr QRect kTunerButton{627, 312, 113, 55};
inline constexpr QRect kToneGenButton{780, 313, 113, 55};
inline constexpr QRect kSettingsButton{308, 311, 113, 55};
inline constexpr QRect kExitButton{147, 313, 113, 55};
inline constexpr QRect kTitleArea{143, 82, 749, 171};
inline constexpr QRect kToolWindowArea{105, 409, 820, 268};
inline constexpr QRect kMinimiseLabel{985, 16, 16, 16};
// The clock and its shadow copy two pixels right and one down.
inline constexpr QRect kClockLabel{941, 734, 67, 18};

// The tool windows all have this client area.
inline constexpr QSize kToolSize{820, 268};

// The settings window (its controls are measured in twips; 15 twips to a pixel).
inline constexpr QRect kPadList{29, 30, 126, 180};
inline constexpr QRect kFileList{220, 29, 157, 188};
inline constexpr QRect kChangeSampleButton{220, 225, 157, 21};
inline constexpr QRect kStopButton{161, 151, 55, 30};
inline constexpr QRect kAutoPlayPadCheck{160, 73, 13, 13};
inline constexpr QRect kAutoPlayFileCheck{204, 73, 13, 13};
inline constexpr QRect kLoopCheck{180, 120, 13, 13};
inline constexpr QRect kAutoPlayLabel{160, 57, 61, 17};
inline constexpr QRect kLoopLabel{164, 104, 45, 17};
inline constexpr QRect kSelectedFileHeading{28, 211, 145, 17};
inline constexpr QRect kSelectedFileLabel{28, 225, 185, 21};
inline constexpr QRect kVolumeTrack{489, 74, 238, 8};
inline constexpr QRect kVolumeValue{692, 36, 41, 17};
inline constexpr QRect kPanTrack{490, 201, 238, 8};
inline constexpr QRect kPanValue{692, 164, 41, 17};
inline constexpr QSize kSliderKnobSize{19, 10};
// The pan knob's centre position, 1650 twips from the track's left.
inline constexpr int kPanCentreKnobLeft = 110;

// The tuner: string buttons from the high E string (upper left) to the low E string.
inline constexpr std::array<QRect, 6> kStringButtons{
    QRect(45, 124, 38, 71),  QRect(84, 135, 38, 71),  QRect(124, 147, 38, 71),
    QRect(164, 160, 38, 71), QRect(205, 172, 38, 71), QRect(244, 185, 38, 71)};
inline constexpr QRect kLoopSwitch{429, 189, 103, 55};
// Listening: the switch beside the loop switch, the meter's well under the title, the tuning's
// line (a menu) and the reference pitch plate (A4, by steps of 0.5 Hz).
inline constexpr QRect kListenSwitch{318, 189, 103, 55};
inline constexpr QRect kTunerMeter{330, 90, 450, 90};
inline constexpr QRect kTuningLine{330, 64, 450, 20};
inline constexpr QRect kReferencePlate{570, 189, 210, 55};
// The band's pitch: a small button and what it found, under the switches and the plate.
inline constexpr QRect kBandPitchLine{318, 247, 462, 19};

// The tone generator.
inline constexpr QRect kPinkButton{524, 136, 57, 63};
inline constexpr QRect kLevelKnob{679, 132, 73, 68};
inline constexpr QRect kScope{59, 97, 400, 136};
inline constexpr QRect kFrequencyReadout{425, 15, 187, 26};
inline constexpr QSize kMarkerSize{71, 46};
inline constexpr int kMarkerTop = 39;
inline constexpr int kMarkerMinLeft = 40;
inline constexpr int kMarkerMaxLeft = 710;
inline constexpr int kKnobFrames = 32;

// The intro picture.
inline constexpr QSize kIntroSize{615, 400};
inline constexpr QRect kVersionLabel{420, 372, 177, 17};
inline constexpr QRect kWebSiteLink{162, 344, 217, 25};
inline constexpr QRect kSoftwarePageLink{162, 368, 315, 25};

} // namespace SkinLayout
