#pragma once

#include "SliderKnob.h"
#include "skin/LabelControl.h"
#include "skin/SkinnedForm.h"

// The sample settings window: binds files to pads, previews them, and holds the volume and pan
// sliders with which every pad plays.
class Settings : public SkinnedForm {
public:
    static constexpr QSize kClientSize{820, 268};

    Settings();

    SliderKnob* Picture2 = nullptr; // volume knob
    SliderKnob* Picture4 = nullptr; // pan knob
    LabelControl* Label4 = nullptr; // volume value
    LabelControl* Label5 = nullptr; // pan value
};
