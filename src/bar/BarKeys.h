// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "deck/PadTriggers.h"

#include <QObject>
#include <QTimer>

#include <vector>

class Bar;
class QKeyEvent;
class QWidget;

// The computer keyboard on the pads and page buttons, while one of Quendel's windows (the bar or
// a tool window over its pads) has the keyboard focus; nothing is grabbed system-wide.
//
// - A trigger key (PadTriggers) presses its pad as the left mouse button does, and its release
//   releases the pad, so a pad without a sound lights only while its key is held. A held key is
//   one press: auto-repeat never retriggers. X sends each repeat of a held key (or of a foot
//   pedal that holds one) as a release and a press with the same time stamp, and when the
//   machine is busy the release can come through unmarked; so a release waits a moment
//   (kReleaseGraceMs) for the events sent with it, and a press of the same key with the same
//   time stamp takes it back.
// - The next-pad and previous-pad keys press the next (previous) bound pad after (before) the
//   pad that waits to take over, else the one that plays, wrapping round; with none, the first
//   (last) bound pad.
// - The tempo keys nudge the session tempo a step up or down (from off, starting at the playing
//   pad's own tempo); the tap key taps it. Held, they are one press as well.
// - Enter: back to the pads from the tuner or the tone generator, else the tone generator.
//   Space: the settings page. Esc does nothing: a stray Esc on stage must not stop the music.
//
// Keys are left alone while a text field has the focus, while the settings window learns a
// key, and with Ctrl, Alt or Meta held. In a list, a choice or a slider the arrows, Home and End
// keep moving the selection; every other trigger key plays.
class BarKeys : public QObject {
public:
    // How long a release waits for the press that would make it a repeat: the two leave the
    // window system together, so this covers only a late read, and is far below a musician's
    // feel for when a key was let go.
    static constexpr int kReleaseGraceMs = 25;

    explicit BarKeys(Bar& bar);
    ~BarKeys() override;
    BarKeys(const BarKeys&) = delete;
    BarKeys& operator=(const BarKeys&) = delete;

    // Reads the trigger map from the settings file again.
    void reload();
    const PadTriggers& triggers() const { return m_triggers; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct HeldKey {
        int key;
        quint32 scan;
        int pad;                // the pad the press pressed, or -1
        bool releasing = false; // let go, unless a press with the same time stamp follows
        quint64 releasedAt = 0;
    };
    bool keyPress(const QKeyEvent& event, const QWidget& receiver);
    bool keyRelease(const QKeyEvent& event);
    // What a press of the key does here: a trigger action, kPageKey, or kNoAction.
    int actionOf(const QKeyEvent& event, const QWidget& receiver) const;
    std::vector<HeldKey>::iterator held(const QKeyEvent& event);
    void release(std::vector<HeldKey>::iterator key);
    void finishReleases();
    void releaseAll();

    static constexpr int kPageKey = PadTriggers::kActionCount;

    Bar& m_bar;
    PadTriggers m_triggers;
    std::vector<HeldKey> m_held;
    QTimer m_releases;
};
