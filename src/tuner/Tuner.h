// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TunerDisplay.h"
#include "TunerListener.h"
#include "audio/AudioControl.h"
#include "pitch/Tuning.h"
#include "skin/PictureBox.h"
#include "skin/SkinnedForm.h"

#include <QTimer>

#include <array>

// The guitar tuner: a reference tone for each string, once or looped, and the chord when it
// opens; and, with LISTEN on, a tuner that hears the instrument and shows how far off it is.
// The tones and the listening follow the chosen tuning and reference pitch A4, which the
// settings file's main section keeps ("TunerTuning", "TunerA4"). It plays on an audio control
// of its own beside the bar's.
class Tuner : public LitSkinnedForm {
public:
    static constexpr QSize kClientSize{820, 268};
    static constexpr int kStringCount = 6;

    // Plays its tones and hears the instrument through `engine`.
    explicit Tuner(AudioEngine& engine);

    // ---- Controls -------------------------------------------------------------------------
    std::array<PictureBox*, kStringCount> Picture1{}; // strings, high E (0) to low E (5)
    PictureBox* Picture2 = nullptr;                   // loop switch
    QTimer Timer1; // 200 ms while a tone sounds: darkens the strings when it has ended
    AudioControl DMC;
    // Listening.
    PictureBox* ListenSwitch = nullptr;
    TunerMeter* Meter = nullptr;
    TuningLine* TuningChoice = nullptr;
    ReferencePitch* PitchChoice = nullptr;
    std::array<StringLabel*, kStringCount> StringNames{}; // note and pitch over each button
    TunerListener Listener;
    pitch::Tuning CurrentTuning;

    // ---- Handlers -------------------------------------------------------------------------
    void Form_Load() override;
    void Form_Unload() override;
    void Picture1_MouseDown(int index, int button, int shift, double x, double y);
    void Picture2_MouseDown(int button, int shift, double x, double y);
    void Timer1_Timer();
    void ListenSwitch_MouseDown(int button, int shift, double x, double y);
    // Takes a tuning (and A4) for the tones and the listening, and stores it.
    void ChooseTuning(const pitch::Tuning& tuning);

    // The reference sound of a string button, a file in TempFolder.
    static QString StringFile(int index);

protected:
    void InitializeControls() override;

private:
    void drawString(int index, bool lit);
    void showTuning();
    void showListening();
    // The tuning's string under a button (the buttons run from the high string to the low).
    static int stringOf(int index) { return kStringCount - 1 - index; }
};
