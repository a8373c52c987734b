// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ToneDisplay.h"
#include "ToneRange.h"
#include "ToneSettings.h"
#include "audio/DirectSound.h"
#include "skin/LabelControl.h"
#include "skin/PictureBox.h"
#include "skin/SkinnedForm.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class ToneFrequencyEntry;
class ToneScaleMarks;

// A scroll bar the window keeps out of sight: only its value and its change event matter.
struct HiddenScrollBar {
    int Min = 0;
    int Max = 0;
    int LargeChange = 1;
    int Value = 0;
    std::function<void()> Change; // raised when a new value is set, not for the same one

    void setValue(int value);
};

// The tone generator: a sine test tone from 1 Hz to 20 kHz on a logarithmic scale, chosen with a
// marker (over the printed scale or a picked range), from a menu or typed into the readout, a
// level knob with its level in dBFS, pink noise instead of the sine, and a picture of the
// waveform. The sine plays from a looping sound buffer of the window's own; the noise plays on
// the bar's audio control. Frequency, level and range are kept in the settings file.
class PadDeck;

class AudioEngine;

class frmToneGen : public LitSkinnedForm {
public:
    // The deck whose audio control plays the pink noise.
    void attachDeck(PadDeck& deck) { m_deck = &deck; }

    static constexpr QSize kClientSize{820, 268};
    static constexpr int kMarkerTop = 39;
    static constexpr int kMarkerMinLeft = ToneRange::kMarkerMinLeft;
    static constexpr int kMarkerMaxLeft = ToneRange::kMarkerMaxLeft;
    static constexpr int kMarkerStartLeft = 224; // where the scale reads 1000 Hz
    static constexpr int kKnobFrames = 32;
    static constexpr int kKnobStartFrame = 26;
    static constexpr int kKnobStep = 5; // pixels the mouse must go beyond for one knob step
    static constexpr std::array<int, 12> kMenuFrequencies{20,   50,   80,   100,   250,   500,
                                                          1000, 2000, 5000, 10000, 15000, 20000};

    // The tone plays on `engine`.
    explicit frmToneGen(AudioEngine& engine);
    ~frmToneGen() override;

    // ---- Controls (back to their design values at every opening) -------------------------
    PictureBox* Picture1 = nullptr; // frequency marker
    PictureBox* Picture2 = nullptr; // pink noise button
    PictureBox* Picture3 = nullptr; // level knob
    PictureBox* picOsc = nullptr;   // waveform picture
    PictureBox* picClip = nullptr;  // hidden: the knob strip
    LabelControl* lblFreq = nullptr;
    LabelControl* lblVol = nullptr;        // hidden
    LabelControl* Label1 = nullptr;        // hidden: the last marker drag
    LabelControl* lblLevel = nullptr;      // the knob's level in dBFS, beside it
    ToneFrequencyEntry* txtFreq = nullptr; // opens over lblFreq for a typed frequency
    ToneScaleMarks* scaleMarks = nullptr;  // a picked range's marks over the printed scale
    HiddenScrollBar hscFreq;               // start position on the scale
    HiddenScrollBar hscVol;                // the level, 0 to 1000
    QMenu* mnuPop = nullptr;
    QMenu* mnuBer = nullptr;
    std::array<QAction*, 3> mnuBereich{};
    QAction* mnuNix = nullptr;
    std::array<QAction*, kMenuFrequencies.size()> mnuHz{};

    // ---- Window state (lives as long as the window object) --------------------------------
    int Frequency = 0; // Hz; 0 until the first opening sets it
    float Amplitude = 1.0f;
    WAVEFORMATEX waveFormat;
    DSBUFFERDESC bufferDesc;
    std::unique_ptr<DirectX7> dx;
    std::shared_ptr<DirectSound> ds;
    std::shared_ptr<DirectSoundBuffer> dsb;
    std::optional<float> MarkerGrabX; // unset until the first press on the marker
    short PinkOn = 0;
    bool KnobDragging = false;
    short KnobFrame = kKnobStartFrame;
    short KnobLastY = kKnobStartFrame;
    ToneRange::Range Range = ToneRange::Range::Scale; // what the marker's travel covers

    // ---- Handlers -------------------------------------------------------------------------
    void Form_Load() override;
    void Form_Unload() override;
    void Picture1_MouseDown(int button, int shift, double x, double y);
    void Picture1_MouseMove(int button, int shift, double x, double y);
    void Picture1_MouseUp(int button, int shift, double x, double y);
    void mnuHz_Click(int index);
    void mnuBereich_Click(int index);
    void lblFreq_DblClick();
    void txtFreq_Accepted(int frequency);
    void Picture3_MouseDown(int button, int shift, double x, double y);
    void Picture3_MouseUp(int button, int shift, double x, double y);
    void Picture3_MouseMove(int button, int shift, double x, double y);
    void Picture2_Click();
    void hscVol_Change();
    void hscFreq_Scroll();

    // Updates the readouts, rebuilds the sine block, writes it to the looping buffer (a new
    // buffer only when the length changes) and redraws the waveform. Frequency 0 changes only
    // the readouts.
    void RefreshTone(int frequency, float volume);
    void DrawToneDisplay(int frequency, float volume);

    // The block the buffer was last given (empty before the first).
    const std::vector<std::uint8_t>& toneBlock() const { return m_block; }

protected:
    void InitializeControls() override;

private:
    float volume() const { return static_cast<float>(hscVol.Value / 1000.0); }
    // The sine's volume for a frequency chosen by hand: silent beside the pink noise.
    float sineVolume() const { return PinkOn != 0 ? 0.0f : volume(); }
    void drawKnob();
    void showLevel();
    QString frequencyCaption(int frequency) const;
    void restoreSettings();
    void storeSettings();

    ToneSettings m_stored; // as the settings file holds them

    std::vector<std::uint8_t> m_block;
    ToneDisplay m_display;
    AudioEngine& m_engine;
    PadDeck* m_deck = nullptr;
};
