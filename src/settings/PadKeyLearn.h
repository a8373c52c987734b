// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRect>

class LabelControl;
class ListControl;
class QKeyEvent;
class QPushButton;
struct MidiMessage;

// The settings window's LEARN button and the label with the selected pad's keys.
//
// With a pad entry selected, LEARN waits for the next key ("PRESS A KEY") and adds that key to
// the pad's triggers in the settings file, taking it from any pad that had it; Backspace takes
// all keys from the pad; a note on a MIDI controller is learned for the pad as a key is (with
// its channel, see MidiTrigger); Esc, a click anywhere else, another selection or the window going
// away stop the wait. Modifier keys alone are not learned. While it waits, no key plays a pad.
class PadKeyLearn : public QObject {
public:
    // The button goes into window at buttonRect; keysLabel shows the selected pad's keys.
    PadKeyLearn(QWidget& window, ListControl& pads, LabelControl& keysLabel,
                const QRect& buttonRect);
    ~PadKeyLearn() override;
    PadKeyLearn(const PadKeyLearn&) = delete;
    PadKeyLearn& operator=(const PadKeyLearn&) = delete;

    QPushButton* Button = nullptr; // "LEARN"
    LabelControl* KeysLabel = nullptr;

    bool isWaiting() const { return s_waiting == this; }
    // True while any window waits for a key to learn.
    static bool anyWaiting() { return s_waiting != nullptr; }

    void start();
    void cancel();
    // Shows the selected pad's keys from the settings file ("" with no pad selected).
    void showKeys();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeKey(const QKeyEvent& event);
    bool takeNote(const MidiMessage& message);
    void finish();

    static inline PadKeyLearn* s_waiting = nullptr;
    QWidget& m_window;
    ListControl& m_pads;
    int m_pad = -1; // the pad waiting for a key
};
