#include "Settings.h"

Settings::Settings() : SkinnedForm(kClientSize)
{
    auto* volumeTrack = new PictureBox(this, QRect(489, 74, 238, 8));
    auto* panTrack = new PictureBox(this, QRect(490, 201, 238, 8));
    Picture2 = new SliderKnob(volumeTrack);
    Picture4 = new SliderKnob(panTrack);
    Label4 = new LabelControl(this, QRect(692, 36, 41, 17), QStringLiteral("80"));
    Label5 = new LabelControl(this, QRect(692, 164, 41, 17), QStringLiteral("0"));
}
