// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadTriggers.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <QKeySequence>

#include <algorithm>

const QString PadTriggers::kSection = QStringLiteral("Triggers");

namespace {

// Key positions of the two rows that mirror the pad rows (X11/evdev keycodes).
constexpr std::array<quint32, 14> kNumberRow = {49, 10, 11, 12, 13, 14, 15,
                                                16, 17, 18, 19, 20, 21, 22};
constexpr std::array<quint32, 14> kRowBelow = {23, 24, 25, 26, 27, 28, 29,
                                               30, 31, 32, 33, 34, 35, 51};

// The labels of the main block's positions on a US keyboard, from keycode 9 (Esc) on.
constexpr quint32 kFirstLabelled = 9;
constexpr const char* kUsLabels[] = {
    "Esc", "1",         "2",   "3",      "4",    "5",     "6",  "7",   "8",     "9",       "0", "-",
    "=",   "Backspace", "Tab", "Q",      "W",    "E",     "R",  "T",   "Y",     "U",       "I", "O",
    "P",   "[",         "]",   "Return", "Ctrl", "A",     "S",  "D",   "F",     "G",       "H", "J",
    "K",   "L",         ";",   "'",      "`",    "Shift", "\\", "Z",   "X",     "C",       "V", "B",
    "N",   "M",         ",",   ".",      "/",    "Shift", "*",  "Alt", "Space", "CapsLock"};
static_assert(std::size(kUsLabels) == 66 - kFirstLabelled + 1, "one label for keycodes 9..66");
constexpr quint32 kF1 = 67, kF10 = 76, kF11 = 95, kF12 = 96;
// The keypad's 1..8 (evdev KP1..KP8, + 8): its bottom row first, as the digits stand on it.
constexpr std::array<quint32, PadBanks::kBankCount> kKeypadDigits{87, 88, 89, 83, 84, 85, 79, 80};

const QString kScanWord = QStringLiteral("Scan");

} // namespace

PadTriggers::PadTriggers()
{
    for (int pad = 0; pad < 10; ++pad)
        m_keys[static_cast<std::size_t>(pad)].push_back({Qt::Key_F1 + pad, 0});
    for (std::size_t i = 0; i < kNumberRow.size(); ++i) {
        m_keys[i].push_back({0, kNumberRow[i]});
        m_keys[i + kNumberRow.size()].push_back({0, kRowBelow[i]});
    }
    m_keys[kNextPad].push_back({Qt::Key_PageDown, 0});
    m_keys[kPreviousPad].push_back({Qt::Key_PageUp, 0});
    m_keys[kTempoUp].push_back({Qt::Key_Up, 0});
    m_keys[kTempoUp].push_back({Qt::Key_Plus, 0});
    m_keys[kTempoDown].push_back({Qt::Key_Down, 0});
    m_keys[kRecord].push_back({Qt::Key_Insert, 0});
    for (int bank = 0; bank < PadBanks::kBankCount; ++bank)
        m_keys[static_cast<std::size_t>(kBankA + bank)].push_back(
            {0, kKeypadDigits[static_cast<std::size_t>(bank)]});
}

PadTriggers PadTriggers::FromSettingsText(QByteArrayView text)
{
    PadTriggers map;
    for (int action = 0; action < kActionCount; ++action) {
        const std::optional<QString> value = FindSettingValue(text, kSection, actionKey(action));
        if (!value)
            continue; // no line: the defaults
        std::vector<Trigger>& keys = map.m_keys[static_cast<std::size_t>(action)];
        keys.clear();
        for (const QString& part : value->split(QLatin1Char(','))) {
            const std::optional<Trigger> trigger = parseToken(part);
            if (trigger && std::find(keys.begin(), keys.end(), *trigger) == keys.end())
                keys.push_back(*trigger);
        }
    }
    return map;
}

PadTriggers PadTriggers::Stored()
{
    const std::optional<QByteArray> text = ReadSettingsText(AppModul::SettingsFile);
    return text ? FromSettingsText(*text) : PadTriggers();
}

bool PadTriggers::matches(const Trigger& trigger, int qtKey, quint32 nativeScanCode)
{
    return (trigger.key != 0 && trigger.key == qtKey) ||
           (trigger.scan != 0 && trigger.scan == nativeScanCode);
}

int PadTriggers::actionFor(int qtKey, quint32 nativeScanCode) const
{
    for (int action = 0; action < kActionCount; ++action)
        for (const Trigger& trigger : m_keys[static_cast<std::size_t>(action)])
            if (trigger.key != 0 && trigger.key == qtKey)
                return action;
    for (int action = 0; action < kActionCount; ++action)
        for (const Trigger& trigger : m_keys[static_cast<std::size_t>(action)])
            if (trigger.scan != 0 && trigger.scan == nativeScanCode)
                return action;
    return kNoAction;
}

QStringList PadTriggers::tokens(int action) const
{
    QStringList list;
    if (action < 0 || action >= kActionCount)
        return list;
    for (const Trigger& trigger : m_keys[static_cast<std::size_t>(action)])
        list.append(tokenText(trigger));
    return list;
}

QString PadTriggers::keysText(int action) const
{
    QStringList labels;
    if (action < 0 || action >= kActionCount)
        return QString();
    for (const Trigger& trigger : m_keys[static_cast<std::size_t>(action)]) {
        const QString label = trigger.scan != 0 ? positionLabel(trigger.scan) : QString();
        labels.append(label.isEmpty() ? tokenText(trigger) : label);
    }
    return labels.join(QStringLiteral(", "));
}

QList<int> PadTriggers::learn(int action, int qtKey, quint32 nativeScanCode)
{
    QList<int> changed;
    const std::optional<QString> token = tokenForKey(qtKey, nativeScanCode);
    if (action < 0 || action >= kActionCount || !token)
        return changed;
    for (int other = 0; other < kActionCount; ++other) {
        if (other == action)
            continue;
        std::vector<Trigger>& keys = m_keys[static_cast<std::size_t>(other)];
        if (std::erase_if(keys,
                          [&](const Trigger& t) { return matches(t, qtKey, nativeScanCode); }))
            changed.append(other);
    }
    const Trigger learned = *parseToken(*token);
    std::vector<Trigger>& own = m_keys[static_cast<std::size_t>(action)];
    if (std::find(own.begin(), own.end(), learned) == own.end()) {
        own.push_back(learned);
        if (own.size() > static_cast<std::size_t>(kMaxKeysPerAction))
            own.erase(own.begin());
        changed.prepend(action);
    }
    return changed;
}

int PadTriggers::actionForNote(int channel, int note) const
{
    for (int action = 0; action < kActionCount; ++action)
        for (const Trigger& trigger : m_keys[static_cast<std::size_t>(action)])
            if (trigger.midi && trigger.midi->matches(MidiTrigger::Kind::Note, channel, note))
                return action;
    const int pad = note - kFirstDefaultNote;
    return pad >= 0 && pad < kPadCount ? pad : kNoAction;
}

std::optional<MidiTrigger> PadTriggers::padNote(int pad) const
{
    if (pad < 0 || pad >= kPadCount)
        return std::nullopt;
    for (const Trigger& trigger : m_keys[static_cast<std::size_t>(pad)])
        if (trigger.midi && trigger.midi->kind == MidiTrigger::Kind::Note)
            return trigger.midi;
    const MidiTrigger fallback{MidiTrigger::Kind::Note, kFirstDefaultNote + pad, 1};
    if (actionForNote(fallback.channel, fallback.number) == pad)
        return fallback;
    return std::nullopt;
}

QList<int> PadTriggers::learnMidi(int action, const MidiTrigger& learned)
{
    QList<int> changed;
    if (action < 0 || action >= kActionCount)
        return changed;
    for (int other = 0; other < kActionCount; ++other) {
        if (other == action)
            continue;
        if (std::erase_if(m_keys[static_cast<std::size_t>(other)],
                          [&](const Trigger& t) { return t.midi && t.midi->overlaps(learned); }))
            changed.append(other);
    }
    std::vector<Trigger>& own = m_keys[static_cast<std::size_t>(action)];
    const Trigger trigger{0, 0, learned};
    if (std::find(own.begin(), own.end(), trigger) == own.end()) {
        // A note learned again on another channel replaces the pad's old one of that number.
        std::erase_if(own, [&](const Trigger& t) { return t.midi && t.midi->overlaps(learned); });
        own.push_back(trigger);
        if (own.size() > static_cast<std::size_t>(kMaxKeysPerAction))
            own.erase(own.begin());
        changed.prepend(action);
    }
    return changed;
}

bool PadTriggers::clear(int action)
{
    if (action < 0 || action >= kActionCount)
        return false;
    std::vector<Trigger>& keys = m_keys[static_cast<std::size_t>(action)];
    const bool had = !keys.empty();
    keys.clear();
    return had;
}

void PadTriggers::store(const QList<int>& actions) const
{
    for (int action : actions)
        if (action >= 0 && action < kActionCount)
            WriteSetting(kSection, actionKey(action), tokens(action).join(QStringLiteral(", ")),
                         AppModul::SettingsFile);
    emit PadTriggerChanges::instance().changed();
}

QString PadTriggers::actionKey(int action)
{
    if (action >= 0 && action < kPadCount)
        return QStringLiteral("Pad %1").arg(action + 1);
    if (action == kNextPad)
        return QStringLiteral("Next Pad");
    if (action == kPreviousPad)
        return QStringLiteral("Previous Pad");
    if (action == kTempoUp)
        return QStringLiteral("Tempo Up");
    if (action == kTempoDown)
        return QStringLiteral("Tempo Down");
    if (action == kTapTempo)
        return QStringLiteral("Tap Tempo");
    if (action >= kBankA && action < kNextSong)
        return QStringLiteral("Bank ") + PadBanks::Letter(action - kBankA);
    if (action == kNextSong)
        return QStringLiteral("Next Song");
    if (action == kPreviousSong)
        return QStringLiteral("Previous Song");
    if (action == kRecord)
        return QStringLiteral("Record");
    if (action == kUndoTake)
        return QStringLiteral("Undo Take");
    return QString();
}

bool PadTriggers::isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

std::optional<QString> PadTriggers::tokenForKey(int qtKey, quint32 nativeScanCode)
{
    if (isModifierKey(qtKey))
        return std::nullopt;
    if (qtKey != 0 && qtKey != Qt::Key_unknown) {
        const QString name = QKeySequence(qtKey).toString(QKeySequence::PortableText);
        // A comma would split the stored list: such a key is kept by its position.
        const std::optional<Trigger> named =
            name.contains(QLatin1Char(',')) ? std::nullopt : parseToken(name);
        if (named && named->key == qtKey)
            return name;
    }
    if (nativeScanCode != 0)
        return tokenText({0, nativeScanCode});
    return std::nullopt;
}

QString PadTriggers::positionLabel(quint32 nativeScanCode)
{
    if (nativeScanCode >= kFirstLabelled && nativeScanCode - kFirstLabelled < std::size(kUsLabels))
        return QLatin1String(kUsLabels[nativeScanCode - kFirstLabelled]);
    if (nativeScanCode >= kF1 && nativeScanCode <= kF10)
        return QStringLiteral("F%1").arg(nativeScanCode - kF1 + 1);
    if (nativeScanCode == kF11 || nativeScanCode == kF12)
        return QStringLiteral("F%1").arg(nativeScanCode - kF11 + 11);
    for (std::size_t digit = 0; digit < kKeypadDigits.size(); ++digit)
        if (kKeypadDigits[digit] == nativeScanCode)
            return QStringLiteral("Keypad %1").arg(digit + 1);
    return QString();
}

std::optional<PadTriggers::Trigger> PadTriggers::parseToken(QStringView token)
{
    token = token.trimmed();
    if (token.isEmpty())
        return std::nullopt;
    if (const std::optional<MidiTrigger> midi = MidiTrigger::Parse(token))
        return Trigger{0, 0, midi};
    if (token.startsWith(kScanWord, Qt::CaseInsensitive) && token.size() > kScanWord.size() &&
        token.at(kScanWord.size()).isSpace()) {
        bool ok = false;
        const uint scan = token.mid(kScanWord.size()).trimmed().toUInt(&ok);
        if (!ok || scan == 0 || scan > 0xFFFF)
            return std::nullopt;
        return Trigger{0, scan};
    }
    const QKeySequence sequence =
        QKeySequence::fromString(token.toString(), QKeySequence::PortableText);
    if (sequence.count() != 1)
        return std::nullopt;
    const QKeyCombination combination = sequence[0];
    const int key = combination.key();
    if (combination.keyboardModifiers() != Qt::NoModifier || key == 0 || key == Qt::Key_unknown ||
        isModifierKey(key))
        return std::nullopt;
    // Only a name Qt writes back the same way is a key name; anything else is a typing error.
    if (QKeySequence(key).toString(QKeySequence::PortableText).compare(token, Qt::CaseInsensitive))
        return std::nullopt;
    return Trigger{key, 0};
}

QString PadTriggers::tokenText(const Trigger& trigger)
{
    if (trigger.midi)
        return trigger.midi->text();
    if (trigger.scan != 0)
        return QStringLiteral("%1 %2").arg(kScanWord).arg(trigger.scan);
    return QKeySequence(trigger.key).toString(QKeySequence::PortableText);
}

PadTriggerChanges& PadTriggerChanges::instance()
{
    static PadTriggerChanges changes;
    return changes;
}
