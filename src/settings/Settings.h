// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileListBox.h"
#include "ListControl.h"
#include "SliderKnob.h"
#include "core/PadCount.h"
#include "skin/LabelControl.h"
#include "skin/SkinnedForm.h"

#include <array>
#include <optional>

class PadDeck;
class FileListDrop;
class PadKeyLearn;
class PadTempoPanel;
class SliderMidiLearn;
class QCheckBox;
class QComboBox;
class QPushButton;

// The sample settings window: binds files to pads, previews them, and holds the volume and pan
// sliders with which every pad plays. It has no audio control of its own: previews and slider
// changes go to the pad deck's, on the channel the pads play on.
class Settings : public SkinnedForm {
public:
    static constexpr QSize kClientSize{820, 268};

    Settings();
    // The deck whose audio control previews and slider changes reach; without one they sound
    // nowhere.
    void attachDeck(PadDeck& deck);
    // Shows the window (again, when it is open already) and sets its sliders from the settings
    // file.
    void ShowPage();

    // ---- Controls -------------------------------------------------------------------------
    ListControl* List1 = nullptr;          // the pads, "Sample 1" to "Sample 28"
    FileListBox* File1 = nullptr;          // the sound files in SoundsFolder
    QPushButton* Command1 = nullptr;       // "<  Change Sample": binds the file to the pad
    QPushButton* Command2 = nullptr;       // "STOP"
    std::array<QCheckBox*, 2> Check1{};    // auto-play on a pad click (0), on a file click (1)
    QCheckBox* Check2 = nullptr;           // previews loop
    std::array<LabelControl*, 2> Label3{}; // "AutoPlay", "Loop"
    LabelControl* Label1 = nullptr;        // "Currently Selected File:"
    LabelControl* Label2 = nullptr;        // the selected pad's file, or the file just bound
    PictureBox* Picture1 = nullptr;        // volume track
    SliderKnob* Picture2 = nullptr;        // volume knob
    LabelControl* Label4 = nullptr;        // volume value
    PictureBox* Picture3 = nullptr;        // pan track
    SliderKnob* Picture4 = nullptr;        // pan knob
    LabelControl* Label5 = nullptr;        // pan value
    LabelControl* SwitchHeading = nullptr; // "SWITCH"
    // "at once", "at the loop's end", "on the next beat", "on the next bar"
    QComboBox* SwitchChoice = nullptr;
    PadKeyLearn* Learn = nullptr;      // LEARN: the selected pad's keys
    // MODE: how the selected pad plays, "loop", "one-shot" or "gate" (in the order of PadMode)
    QComboBox* ModeChoice = nullptr;
    PadTempoPanel* Tempo = nullptr;    // the selected pad's own tempo and key
    FileListDrop* File1Drop = nullptr; // sound files dropped on File1
    // MIDI: learns the volume's (0) and the pan's (1) control.
    std::array<SliderMidiLearn*, 2> SliderLearn{};

    // Where the mouse went down inside a knob (twips), at the last press on either knob.
    float KnobGrabX = 0;

    // ---- Handlers -------------------------------------------------------------------------
    void Form_Load() override;
    void PlayPreview(const QString& fileName);
    void List1_Click();
    void File1_Click();
    void Command1_Click();
    void Command2_Click();
    void Picture2_MouseDown(int button, int shift, double x, double y);
    void Picture2_MouseMove(int button, int shift, double x, double y);
    void Picture2_MouseUp(int button, int shift, double x, double y);
    void Picture4_MouseDown(int button, int shift, double x, double y);
    void Picture4_MouseMove(int button, int shift, double x, double y);
    void Picture4_MouseUp(int button, int shift, double x, double y);
    void Picture4_DblClick();

protected:
    void InitializeControls() override;

private:
    void createSampleLists();
    void createPlayOptions();
    void createSliders();
    void createSwitchChoice();
    void createLearnButtons();
    void createModeChoice();
    // The selected pad's mode, as the shown bank stores it.
    void showPadMode();
    void createTempoPanel();
    void routeKnob(SliderKnob* knob, void (Settings::*down)(int, int, double, double),
                   void (Settings::*move)(int, int, double, double),
                   void (Settings::*up)(int, int, double, double));
    std::optional<float> dragStep(SliderKnob& knob, const PictureBox& track, double x) const;
    void applyVolume();
    void applyPan();
    void storeVolume();
    void storePan();
    void readSliders();

    PadDeck* m_deck = nullptr;
};
