#pragma once

#include "skin/SkinnedForm.h"

// The tone generator: a sine test tone from 1 Hz on a log scale, a level knob and pink noise.
class frmToneGen : public SkinnedForm {
public:
    static constexpr QSize kClientSize{820, 268};

    frmToneGen();
};
