// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "deck/MidiTrigger.h"
#include "io/MidiMessage.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class PadDeck;

// The volume and pan sliders, and the session tempo, on learned control changes.
//
// A control's value 0..127 moves the slider's knob over its whole travel, so the value shown is
// the one a drag to the same place shows (volume 0..100, pan -100..100). It sounds at once on
// the deck's audio control, the settings window's slider follows when the window is open, and
// once the control has rested for half a second the setting is stored as a knob release stores
// it ("Volume"/"VolPos", "PanVal"/"PanPos" in the main section), not on every message.
//
// The tempo control sets the session tempo: 0..127 is kFirstTempo..kFirstTempo+127 BPM, one BPM
// a step, stored (by the deck's SessionTempo) once a burst of changes has been taken.
//
// The learned controls live beside the pads' triggers, in section "Triggers":
//   Volume=CC 7
//   Pan=CC 10 Ch 2
//   Tempo=CC 20
// The settings page learns the sliders' controls; the tempo's is written there by hand.
class MidiControls : public QObject {
    Q_OBJECT
public:
    enum Control { Volume, Pan, Tempo };
    static constexpr int kControlCount = 3;
    static constexpr int kFirstTempo = 60;
    static constexpr int kRestMs = 500;
    // The knob's travel in twips: the slider track is 238 pixels, the knob 19.
    static constexpr double kKnobTravel = 3285;

    explicit MidiControls(PadDeck& deck);

    // Reads the learned controls from the settings file again.
    void reload();
    // Takes a control change when it is a learned one; what it does waits for flush(), so a
    // burst of changes sounds once.
    bool take(const MidiMessage& message);
    void flush();

    // Waits for the control to rest; tests drive it.
    QTimer& restTimer(Control control) { return m_rest[control]; }

    // The control learned for a slider, from the settings file.
    static std::optional<MidiTrigger> Stored(Control control);
    // Stores a learned control (taking it from every other control that held it) and tells the
    // listeners.
    static void StoreLearned(Control control, int channel, int number);
    // "Volume", "Pan", "Tempo": the control's line in "Triggers".
    static QString Key(Control control);
    // The session tempo in BPM for a control value 0..127.
    static double TempoAt(int value);
    // The knob's left (twips) and the value shown for a control value 0..127.
    static double KnobAt(int value);
    static double ValueAt(Control control, double knobLeft);

private:
    void apply(Control control, int value);
    void store(Control control);

    PadDeck& m_deck;
    std::array<std::optional<MidiTrigger>, kControlCount> m_learned;
    std::array<int, kControlCount> m_pending{-1, -1, -1}; // the newest value not yet applied
    std::array<double, kControlCount> m_knob{};
    std::array<double, kControlCount> m_value{};
    std::array<QTimer, kControlCount> m_rest;
};

// Tells whoever shows the sliders that a control moved one (the tempo shows on the bar through
// the deck's SessionTempo instead), and the settings window's MIDI
// buttons that a control was learned.
class MidiControlChanges : public QObject {
    Q_OBJECT
public:
    static MidiControlChanges& instance();
signals:
    void moved(int control, double value, double knobLeft);
    void learned();
};
