// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarKeys.h"

#include "Bar.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/TempoActions.h"
#include "settings/PadKeyLearn.h"
#include "settings/Settings.h"
#include "tonegen/frmToneGen.h"
#include "tuner/Tuner.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace {

bool isQuendelWindow(const QWidget* window, const Bar& bar)
{
    return window == &bar || dynamic_cast<const Settings*>(window) != nullptr ||
           dynamic_cast<const Tuner*>(window) != nullptr ||
           dynamic_cast<const frmToneGen*>(window) != nullptr;
}

bool isTextEntry(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr;
}

// A control that moves its selection or value with the arrows (a list, a choice, a slider):
// there they do that, not what they trigger elsewhere (the tempo, by default).
bool movesWithArrows(const QWidget* widget)
{
    return qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr;
}

// The keys with which a list moves its selection.
bool isListNavigation(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

BarKeys::BarKeys(Bar& bar) : m_bar(bar)
{
    qApp->installEventFilter(this);
    m_releases.setSingleShot(true);
    m_releases.setInterval(kReleaseGraceMs);
    QObject::connect(&m_releases, &QTimer::timeout, this, [this] { finishReleases(); });
    QObject::connect(&PadTriggerChanges::instance(), &PadTriggerChanges::changed, this,
                     [this] { reload(); });
}

BarKeys::~BarKeys()
{
    qApp->removeEventFilter(this);
}

void BarKeys::reload()
{
    m_triggers = PadTriggers::Stored();
}

bool BarKeys::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationDeactivate) {
        releaseAll(); // the releases of keys held now go to another program
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    // A key event reaches the window system's window first, then the focus widget and, when
    // that ignores it, the widget's parents: only widgets count, and a key taken stops there.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget == nullptr || !isQuendelWindow(widget->window(), m_bar))
        return false;
    const auto& key = *static_cast<const QKeyEvent*>(event);
    return type == QEvent::KeyPress ? keyPress(key, *widget) : keyRelease(key);
}

int BarKeys::actionOf(const QKeyEvent& event, const QWidget& receiver) const
{
    // The receiver is the focus widget or, once that ignored the key, one of its parents.
    const QWidget* focus = QApplication::focusWidget();
    if (PadKeyLearn::anyWaiting() || isTextEntry(&receiver) || isTextEntry(focus) ||
        (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return PadTriggers::kNoAction;
    if (isListNavigation(event.key()) && (movesWithArrows(&receiver) || movesWithArrows(focus)))
        return PadTriggers::kNoAction;
    const int action = m_triggers.actionFor(event.key(), event.nativeScanCode());
    if (action != PadTriggers::kNoAction)
        return action;
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        return kPageKey;
    default:
        return PadTriggers::kNoAction;
    }
}

std::vector<BarKeys::HeldKey>::iterator BarKeys::held(const QKeyEvent& event)
{
    // Shift pressed or let go while a key is held changes the key's name but not its place.
    const quint32 scan = event.nativeScanCode();
    return std::find_if(m_held.begin(), m_held.end(), [&](const HeldKey& h) {
        return h.scan != 0 && scan != 0 ? h.scan == scan : h.key == event.key();
    });
}

bool BarKeys::keyPress(const QKeyEvent& event, const QWidget& receiver)
{
    if (const auto it = held(event); it != m_held.end()) {
        if (!it->releasing)
            return true; // auto-repeat, or a second press without a release: still one press
        // The window system stamps both halves of a repeat with one time; a test's or another
        // program's event without a stamp (0) is always a new press.
        if (event.timestamp() != 0 && event.timestamp() == it->releasedAt) {
            it->releasing = false;
            return true;
        }
        release(it); // let go before this press, which is a new one
    }
    const int action = actionOf(event, receiver);
    if (action == PadTriggers::kNoAction)
        return false;
    if (event.isAutoRepeat())
        return true; // held since before the focus came here: taken, but no press

    int pad = -1;
    if (action < kPadCount)
        pad = action;
    else if (action == PadTriggers::kNextPad || action == PadTriggers::kPreviousPad)
        pad = m_bar.Deck.steppedPad(action == PadTriggers::kNextPad ? 1 : -1);
    // Held from here on: a page change may give another window the focus, and the release.
    m_held.push_back({event.key(), event.nativeScanCode(), pad});
    if (pad >= 0) {
        if (!m_bar.takePadPress(pad))
            m_bar.Deck.press(pad);
    } else if (action == PadTriggers::kRecord) {
        m_bar.recordPressed();
    } else if (action == PadTriggers::kUndoTake) {
        m_bar.Recorder.undo();
    } else if (action == kPageKey && event.key() == Qt::Key_Space) {
        m_bar.Picture4_MouseDown(kLeftButton, 0, 0, 0);
    } else if (action == kPageKey) {
        const bool onTool = m_bar.CurrentPage == 1 || m_bar.CurrentPage == 2;
        m_bar.Picture1_MouseDown(onTool ? 0 : 2, kLeftButton, 0, 0, 0);
    } else if (action >= PadTriggers::kBankA && action < PadTriggers::kNextSong) {
        m_bar.Deck.showBank(action - PadTriggers::kBankA);
    } else if (action == PadTriggers::kNextSong || action == PadTriggers::kPreviousSong) {
        if (action == PadTriggers::kNextSong)
            m_bar.Deck.Songs.next();
        else
            m_bar.Deck.Songs.previous();
    } else {
        PlayTempoAction(m_bar.Deck, action);
    }
    return true;
}

bool BarKeys::keyRelease(const QKeyEvent& event)
{
    const auto it = held(event);
    if (it == m_held.end())
        return false;
    if (event.isAutoRepeat())
        return true; // the key is still down
    if (!it->releasing) {
        it->releasing = true;
        it->releasedAt = event.timestamp();
        m_releases.start();
    }
    return true;
}

void BarKeys::release(std::vector<HeldKey>::iterator key)
{
    const int pad = key->pad;
    m_held.erase(key);
    if (pad >= 0)
        m_bar.Deck.release(pad);
}

void BarKeys::finishReleases()
{
    // Off the list first: a pad's release may change the page, and the focus with it.
    std::vector<int> pads;
    for (const HeldKey& key : m_held)
        if (key.releasing && key.pad >= 0)
            pads.push_back(key.pad);
    std::erase_if(m_held, [](const HeldKey& key) { return key.releasing; });
    for (int pad : pads)
        m_bar.Deck.release(pad);
}

void BarKeys::releaseAll()
{
    m_releases.stop();
    const std::vector<HeldKey> keys = std::exchange(m_held, {});
    for (const HeldKey& key : keys)
        if (key.pad >= 0)
            m_bar.Deck.release(key.pad);
}
