// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadKeyLearn.h"

#include "ListControl.h"
#include "deck/PadTriggers.h"
#include "midi/MidiLearn.h"
#include "skin/LabelControl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace {
const QString kLearnCaption = QStringLiteral("LEARN");
const QString kWaitingCaption = QStringLiteral("PRESS A KEY");
} // namespace

PadKeyLearn::PadKeyLearn(QWidget& window, ListControl& pads, LabelControl& keysLabel,
                         const QRect& buttonRect)
    : QObject(&window), KeysLabel(&keysLabel), m_window(window), m_pads(pads)
{
    Button = new QPushButton(kLearnCaption, &window);
    Button->setGeometry(buttonRect);
    Button->setFont(BoldSansFont(8.25));
    QObject::connect(Button, &QPushButton::clicked, this, [this] {
        if (isWaiting())
            cancel();
        else
            start();
    });
    QObject::connect(&pads, &QListWidget::itemSelectionChanged, this, [this] {
        cancel();
        showKeys();
    });
    // A key learned here, or a map read anew, shows at once.
    QObject::connect(&PadTriggerChanges::instance(), &PadTriggerChanges::changed, this,
                     [this] { showKeys(); });
}

PadKeyLearn::~PadKeyLearn()
{
    MidiLearn::stopWaiting(this);
    if (isWaiting()) { // the button may be gone already
        s_waiting = nullptr;
        qApp->removeEventFilter(this);
    }
}

void PadKeyLearn::start()
{
    const int pad = m_pads.ListIndex();
    if (pad < 0 || pad >= kPadCount)
        return;
    if (s_waiting != nullptr && s_waiting != this)
        s_waiting->cancel();
    m_pad = pad;
    s_waiting = this;
    Button->setText(kWaitingCaption);
    // Installed last, the filter sees every key before the bar's keys and the focus widget do.
    qApp->installEventFilter(this);
    // The next note on a MIDI controller is learned as well as the next key.
    MidiLearn::wait(
        this, [this](const MidiMessage& message) { return takeNote(message); },
        [this] { cancel(); });
}

void PadKeyLearn::cancel()
{
    if (!isWaiting())
        return;
    s_waiting = nullptr;
    m_pad = -1;
    qApp->removeEventFilter(this);
    MidiLearn::stopWaiting(this);
    Button->setText(kLearnCaption);
}

void PadKeyLearn::showKeys()
{
    const int pad = m_pads.ListIndex();
    KeysLabel->setText(pad >= 0 ? PadTriggers::Stored().keysText(pad) : QString());
}

bool PadKeyLearn::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto& key = *static_cast<const QKeyEvent*>(event);
        if (!key.isAutoRepeat())
            takeKey(key);
        return true; // the key only teaches: it plays nothing and moves nothing
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // The window system's window sees the press before the widget under the mouse: only
        // the widget tells whether it was the button (whose click ends the wait itself).
        if (auto* widget = qobject_cast<QWidget*>(watched); widget != nullptr && widget != Button)
            cancel();
        return false;
    case QEvent::Hide:
        if (watched == &m_window)
            cancel();
        return false;
    case QEvent::ApplicationDeactivate:
        cancel();
        return false;
    default:
        return false;
    }
}

void PadKeyLearn::takeKey(const QKeyEvent& event)
{
    const int key = event.key();
    if (key == Qt::Key_Escape) {
        cancel();
        return;
    }
    PadTriggers triggers = PadTriggers::Stored();
    if (key == Qt::Key_Backspace) {
        triggers.clear(m_pad);
        triggers.store({m_pad});
        finish();
        return;
    }
    if (!PadTriggers::tokenForKey(key, event.nativeScanCode()))
        return; // a modifier alone, or a key with neither name nor position: wait on
    triggers.store(triggers.learn(m_pad, key, event.nativeScanCode()));
    finish();
}

bool PadKeyLearn::takeNote(const MidiMessage& message)
{
    if (message.type != MidiMessage::Type::NoteOn || !isWaiting())
        return false;
    PadTriggers triggers = PadTriggers::Stored();
    triggers.store(triggers.learnMidi(
        m_pad, MidiTrigger{MidiTrigger::Kind::Note, message.number, message.channel}));
    finish();
    return true;
}

void PadKeyLearn::finish()
{
    cancel();
    showKeys();
    m_pads.setFocus(); // the arrows go on through the pads
}
