// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BandPitchLine.h"
#include "TunerDisplay.h"
#include "TunerListener.h"
#include "audio/AudioControl.h"
#include "pitch/BandPitch.h"
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
//
// BAND PITCH hears the band for a few seconds and offers the A4 it plays at; accepted, it becomes
// the tuner's A4, the main section keeps it as "BandA4", and bandPitchAccepted tells whoever
// tunes the pads.
class Tuner : public LitSkinnedForm {
    Q_OBJECT

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
    // The band's pitch.
    BandPitchLine* BandLine = nullptr;
    pitch::BandPitch Band;
    // The band is heard this long at most, or until this many steady notes have been heard.
    static constexpr double kBandSeconds = 8.0;
    static constexpr int kBandEnoughNotes = 8;

    // ---- Handlers -------------------------------------------------------------------------
    void Form_Load() override;
    void Form_Unload() override;
    void Picture1_MouseDown(int index, int button, int shift, double x, double y);
    void Picture2_MouseDown(int button, int shift, double x, double y);
    void Timer1_Timer();
    void ListenSwitch_MouseDown(int button, int shift, double x, double y);
    // Takes a tuning (and A4) for the tones and the listening, and stores it.
    void ChooseTuning(const pitch::Tuning& tuning);

    // BAND PITCH: starts hearing the band (listening too, if it was off), or stops early.
    void BandPitch_Start();
    void BandPitch_Stop();
    // Takes the A4 offered: the tuner's A4 and "BandA4" both become it.
    void BandPitch_Accept();
    // Forgets the band: back to A4 = 440 Hz, "BandA4" too.
    void BandPitch_Clear();

    // The reference sound of a string button, a file in TempFolder.
    static QString StringFile(int index);

signals:
    // The band's A4 was accepted (or, at 440, forgotten): the pads may follow it.
    void bandPitchAccepted(double a4);

protected:
    void InitializeControls() override;

private:
    void hearBand(const pitch::PitchReading& reading, double seconds);
    void finishBand();
    void showBandIdle();
    void storeBandA4(double a4);
    void drawString(int index, bool lit);
    void showTuning();
    void showListening();
    // The tuning's string under a button (the buttons run from the high string to the low).
    static int stringOf(int index) { return kStringCount - 1 - index; }

    bool m_bandMeasuring = false;
    double m_bandHeard = 0.0; // seconds of input heard since BAND PITCH
    double m_bandLast = 0.0;  // the listener's time of the last reading
    int m_bandNotes = 0;
    double m_bandOffer = 0.0;  // the A4 offered, to one decimal; 0 with no offer
    double m_bandStored = 0.0; // "BandA4" as the file keeps it; 0 with none (or 440)
};
