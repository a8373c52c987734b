#include "frmToneGen.h"

frmToneGen::frmToneGen() : SkinnedForm(kClientSize) {}
