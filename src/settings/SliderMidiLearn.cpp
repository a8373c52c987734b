// SPDX-License-Identifier: GPL-3.0-or-later
#include "SliderMidiLearn.h"

#include "SliderKnob.h"
#include "core/NumberText.h"
#include "midi/MidiLearn.h"
#include "skin/LabelControl.h"

#include <QEvent>
#include <QPushButton>

namespace {
const QString kCaption = QStringLiteral("MIDI");
const QString kWaitingCaption = QStringLiteral("MOVE");
} // namespace

SliderMidiLearn::SliderMidiLearn(QWidget& window, MidiControls::Control control, SliderKnob& knob,
                                 LabelControl& value, const QRect& buttonRect)
    : QObject(&window), m_window(window), m_control(control), m_knob(knob), m_value(value)
{
    Button = new QPushButton(kCaption, &window);
    Button->setGeometry(buttonRect);
    Button->setFont(BoldSansFont(6.75));
    QObject::connect(Button, &QPushButton::clicked, this, [this] {
        if (m_waiting)
            cancel();
        else
            start();
    });
    QObject::connect(&MidiControlChanges::instance(), &MidiControlChanges::moved, this,
                     [this](int moved, double shown, double knobLeft) {
                         if (moved != m_control)
                             return;
                         m_knob.setKnobLeft(knobLeft);
                         m_value.setText(NumberToText(shown));
                     });
    QObject::connect(&MidiControlChanges::instance(), &MidiControlChanges::learned, this,
                     [this] { showLearned(); });
    window.installEventFilter(this);
    showLearned();
}

SliderMidiLearn::~SliderMidiLearn()
{
    MidiLearn::stopWaiting(this);
}

void SliderMidiLearn::start()
{
    m_waiting = true;
    Button->setText(kWaitingCaption);
    MidiLearn::wait(
        this,
        [this](const MidiMessage& message) {
            if (message.type != MidiMessage::Type::Control)
                return false;
            cancel();
            MidiControls::StoreLearned(m_control, message.channel, message.number);
            return true;
        },
        [this] { cancel(); });
}

void SliderMidiLearn::cancel()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    MidiLearn::stopWaiting(this);
    Button->setText(kCaption);
}

void SliderMidiLearn::showLearned()
{
    const QString slider =
        m_control == MidiControls::Volume ? QStringLiteral("Volume") : QStringLiteral("Pan");
    const std::optional<MidiTrigger> learned = MidiControls::Stored(m_control);
    Button->setToolTip(
        learned
            ? QStringLiteral("%1 follows MIDI %2").arg(slider, learned->text())
            : QStringLiteral("Click, then move a MIDI control for the %1").arg(slider.toLower()));
}

bool SliderMidiLearn::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Hide)
        cancel();
    return false;
}
