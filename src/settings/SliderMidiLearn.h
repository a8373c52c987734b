// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/MidiControls.h"

#include <QObject>
#include <QRect>

class LabelControl;
class QPushButton;
class SliderKnob;

// A slider's MIDI button in the settings window. A click waits for the next control change
// ("MOVE"), which is then the slider's control (stored in "Triggers", taken from the other
// slider); a second click, or the window going away, stops the wait. The button's tooltip names
// the learned control. While the window is open, the knob and the value follow the control.
class SliderMidiLearn : public QObject {
public:
    SliderMidiLearn(QWidget& window, MidiControls::Control control, SliderKnob& knob,
                    LabelControl& value, const QRect& buttonRect);
    ~SliderMidiLearn() override;
    SliderMidiLearn(const SliderMidiLearn&) = delete;
    SliderMidiLearn& operator=(const SliderMidiLearn&) = delete;

    QPushButton* Button = nullptr; // "MIDI"

    bool isWaiting() const { return m_waiting; }
    void start();
    void cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLearned();

    QWidget& m_window;
    MidiControls::Control m_control;
    SliderKnob& m_knob;
    LabelControl& m_value;
    bool m_waiting = false;
};
