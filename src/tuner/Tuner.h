#pragma once

#include "audio/AudioControl.h"
#include "skin/PictureBox.h"
#include "skin/SkinnedForm.h"

#include <QTimer>

#include <array>

// The guitar tuner: a reference tone for each string in standard tuning, once or looped, and the
// chord when it opens. It plays on an audio control of its own beside the bar's.
class Tuner : public LitSkinnedForm {
public:
    static constexpr QSize kClientSize{820, 268};
    static constexpr int kStringCount = 6;

    Tuner();

    // ---- Controls -------------------------------------------------------------------------
    std::array<PictureBox*, kStringCount> Picture1{}; // strings, high E (0) to low E (5)
    PictureBox* Picture2 = nullptr;                   // loop switch
    QTimer Timer1; // 200 ms while a tone sounds: darkens the strings when it has ended
    AudioControl DMC;

    // ---- Handlers -------------------------------------------------------------------------
    void Form_Load() override;
    void Form_Unload() override;
    void Picture1_MouseDown(int index, int button, int shift, double x, double y);
    void Picture2_MouseDown(int button, int shift, double x, double y);
    void Timer1_Timer();

    // The reference sound of a string button, a file in TempFolder.
    static QString StringFile(int index);

protected:
    void InitializeControls() override;

private:
};
