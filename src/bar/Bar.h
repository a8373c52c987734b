// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BankSelector.h"
#include "BarKeys.h"
#include "BarMidi.h"
#include "OutputMenu.h"
#include "PadOverlay.h"
#include "SetlistLine.h"
#include "StatusLabel.h"
#include "TempoStrip.h"
#include "deck/PadBindings.h"
#include "deck/PadDeck.h"
#include "record/LoopRecorder.h"
#include "remote/OscServer.h"
#include "skin/LabelControl.h"
#include "skin/PictureBox.h"
#include "skin/SkinLayout.h"
#include "skin/SkinnedForm.h"
#include "sync/LinkDeck.h"

#include <QPointF>
#include <QRect>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

// The main window: a frameless skinned bar with the 28 sample pads, the page buttons that lay the
// tool windows over the pad area, the exit button, the title area and the clock. It hosts the
// program's main audio control, which the settings window and the tone generator play through.
class Bar : public LitSkinnedForm {
public:
    static constexpr QSize kClientSize = SkinLayout::kBarSize;
    static constexpr QRect kImage1 = SkinLayout::kToolWindowArea; // where the tool windows lie

    // The pads of `deck`; the tool windows and the output menu play through its engine.
    explicit Bar(PadDeck& deck);
    ~Bar() override;

    // ---- Controls -------------------------------------------------------------------------
    std::array<PictureBox*, kPadCount> Picture6{}; // sample pads 1 to 28
    std::array<PictureBox*, 3> Picture1{};         // page buttons: pads, tuner, tone generator
    PictureBox* Picture3 = nullptr;                // exit button
    PictureBox* Picture4 = nullptr;                // page button: sample settings
    MouseArea* Image1 = nullptr;                   // placeholder over which tool windows lie
    MouseArea* Image2 = nullptr;                   // title area
    MinimiseLabel* Label3 = nullptr;
    LabelControl* Label4 = nullptr;    // clock shadow (black)
    LabelControl* Label5 = nullptr;    // clock (white)
    StatusLabel* StatusLine = nullptr; // notes beside the engraving: drops, copies, refusals
    TempoStrip* Strip = nullptr;       // the session's tempo and key, under the status line
    BankSelector* Banks = nullptr;     // banks A..H, over the pads
    SetlistLine* Songs = nullptr;      // the setlist's current song, beside the banks
    // No key-polling timer: keys reach the bar as key events, through Keys.
    QTimer Timer2; // 100 ms while a tool page is shown: keeps its window in place
    QTimer Timer3; // the clock: just past each turn of the second
    PadDeck& Deck; // the pads' state and the program's main audio control (Deck.DMC)
    // The computer keyboard on the pads and page buttons.
    BarKeys Keys{*this};
    // What the pads show: the names of their files, and where the playing pad's loop is.
    PadBindings Bindings;
    std::array<PadOverlay*, kPadCount> PadNames{};
    // A MIDI controller on the pads, from the start of the sound on (see BarMidi).
    std::unique_ptr<BarMidi> Midi;
    // A tablet or another program on the pads over OSC, while the settings file names a port.
    std::unique_ptr<OscServer> Osc;
    QTimer LoopTimer; // 30 frames a second while a pad plays: its loop bar
    // Where the sound goes: a right click on the title area or the clock.
    OutputMenu* Outputs = nullptr;
    // The pads in an Ableton Link session, while the settings file says "Link=on" (see
    // LinkDeck); switched in the output menu.
    std::unique_ptr<LinkDeck> Link;
    // Takes from the input onto the pads (BarRecord.cpp): the Record key (or the menu's entry)
    // arms the next pad pressed; pressed again, or the pad again, it ends the take.
    LoopRecorder Recorder{Deck};
    bool RecordArming = false; // the next pad pressed is armed, not played
    void recordPressed();
    // A press on shown pad `index` that arms it or ends its take; false when it is to play.
    bool takePadPress(int index);
    // The armed or recording pad drawn so, if its bank is shown.
    void showTake();
    // The keys of a pad as its tooltip names them; empty without keys.
    std::function<QString(int pad)> PadKeysText;

    // ---- Bar state ------------------------------------------------------------------------
    short CurrentPage = 0;       // 0 pads, 1 tuner, 2 tone generator, 3 settings
    std::optional<QPointF> Grab; // GrabX, GrabY: last press on the bare surface

    // ---- Handlers -------------------------------------------------------------------------
    void Form_Load() override;
    void Form_Unload(bool& cancel);
    void Picture6_MouseDown(int index, int button, int shift, double x, double y);
    void Picture6_MouseUp(int index, int button, int shift, double x, double y);
    void Picture1_MouseDown(int index, int button, int shift, double x, double y);
    void Picture4_MouseDown(int button, int shift, double x, double y);
    void Picture3_MouseDown(int button, int shift, double x, double y);
    void Picture3_MouseUp(int button, int shift, double x, double y);
    void Form_MouseDown(int button, int shift, double x, double y);
    void Form_MouseMove(int button, int shift, double x, double y);
    void Label3_MouseMove(int button, int shift, double x, double y);
    void Label3_Click();
    void Image2_Click();
    void Timer2_Timer();
    void Timer3_Timer();

    // ---- Placement of the tool windows -----------------------------------------------------
    // Where a tool window's top-left corner goes over Image1 (offset 0, or -1 for the tone
    // generator, which sits one pixel further up and left).
    QPoint ToolWindowPosition(int offset = 0) const;

    // The clock's text for a time: the system's time format with seconds, without a time zone.
    static QString ClockText(const QTime& time, const QLocale& locale);

    // A note on the status line, which clears itself after a few seconds; never a dialog.
    void showStatus(const QString& text);

    // Joins (true) or leaves an Ableton Link session (BarLink.cpp); `startStop` shares start and
    // stop in it.
    void setLink(bool on, bool startStop);

    // The pad's tooltip: its file's full name (or that it has none), whether the file is missing,
    // and its keys.
    QString PadToolTip(int index) const;
    // Names and tooltips again from what Bindings holds.
    void ShowPadNames();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The constructor's parts: the bar's controls, what they follow, its timers.
    void createPads();
    void createButtons();
    void createTitleAndStatus(AudioEngine& engine);
    void followDeckAndBindings();
    void setUpTimers();
    void drawPageButtons(PictureBox* lit);
    void addLinkEntries(QMenu& menu);
    // Set files (BarSets.cpp): the menu's entries, and what they do.
    void addSetEntries(QMenu& menu);
    void saveSet(bool collect);
    void followOpenedSet();
    // Recording (BarRecord.cpp): the menu's entries.
    void addRecordEntries(QMenu& menu);

public:
    // Opens a set file into the settings, asking for folders to search while sounds are missing.
    void openSet(const QString& path);

private:
    void showLoopProgress();
    void followPlayingPad();
    // The tool window of a page, loaded if need be, with the deck in hand.
    template <class W> W& toolWindow();
    void leaveToneGeneratorPage();
    void endProgram();
    // The follow timer runs only while the current page has a tool window to keep in place.
    void followCurrentPage();
    // What the user would otherwise learn only by its effects: no sound, changes lost.
    void sayStartNotes();
    void saySettingsNotSaved();
    bool m_saidSettingsNotSaved = false; // said once, not at every change that is lost
    QPointF m_lastGlobalPointer;
    qint64 m_clockSecond = -1; // the second the clock shows
};
