// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiTrigger.h"
#include "core/PadBanks.h"
#include "core/PadCount.h"

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// Which computer keys play which pad. Every action (pad 1..28, next pad, previous pad, tempo up,
// tempo down, tap tempo, bank A..H) has a list of keys, each either a key by name or a key by its
// place on the keyboard.
//
// The map lives in section "Triggers" of the settings file, one line per action:
//
//   [Triggers]
//   Pad 1=F1, Scan 49
//   Pad 14=
//   Next Pad=PgDown
//
// Keys "Pad 1".."Pad 28", "Next Pad", "Previous Pad", "Tempo Up", "Tempo Down", "Tap Tempo",
// "Bank A".."Bank H", "Next Song", "Previous Song" (no keys until written: a foot pedal's),
// "Record" (Insert) and "Undo Take" (no keys until written). A
// value is a comma-separated list of
// tokens: a key's portable name as Qt writes it ("F1", "Q", "PgDown", "Space"), or "Scan N", the
// native scan code of a key position (an X11/evdev keycode: evdev code + 8). A missing line
// means that action's default keys; a line with an empty value means no keys. Tokens that name
// no key (also names with modifiers, such as "Ctrl+F1") are skipped.
//
// MIDI notes stand in the same lists as keys, as "Note 36" (any channel) or "Note 36 Ch 10"
// (see MidiTrigger): "Pad 1=F1, Scan 49, Note 40 Ch 10". Notes no list holds play by default:
// notes 36..63 on any channel play pads 1..28, so a controller works before anything is learned,
// and files written before MIDI stay valid as they are.
//
// Defaults: F1..F10 play pads 1..10; the number row (` 1 2 .. 0 - = Backspace) plays pads 1..14
// and the row below (Tab Q .. P [ ] \) pads 15..28, by position, so the two key rows mirror the
// two pad rows on QWERTY, QWERTZ and AZERTY keyboards alike; PgDown and PgUp step through the
// bound pads; Up and + (Shift with the = key, or the keypad's) nudge the session tempo up, Down
// nudges it down; tapping the tempo has no key until one is written (a foot switch's note, say);
// the keypad's 1..8 show banks A..H, by position (Num Lock on or off alike).
class PadTriggers {
public:
    // Actions 0..kPadCount-1 play the pads of the same index; the two steps follow them, then
    // the session tempo's nudges and its tap.
    static constexpr int kNextPad = kPadCount;
    static constexpr int kPreviousPad = kPadCount + 1;
    static constexpr int kTempoUp = kPadCount + 2;
    static constexpr int kTempoDown = kPadCount + 3;
    static constexpr int kTapTempo = kPadCount + 4;
    static constexpr int kBankA = kPadCount + 5; // .. kBankA + 7 for bank H
    static constexpr int kNextSong = kBankA + PadBanks::kBankCount;
    static constexpr int kPreviousSong = kNextSong + 1;
    // Arms the next pad pressed for a take, and ends or calls off the take under way; and
    // discards the last take.
    static constexpr int kRecord = kPreviousSong + 1;
    static constexpr int kUndoTake = kRecord + 1;
    static constexpr int kActionCount = kUndoTake + 1;
    static constexpr int kNoAction = -1;
    // The oldest key of an action goes when it would hold more: a list stays short and readable.
    static constexpr int kMaxKeysPerAction = 8;

    // The default map.
    PadTriggers();
    // The map of a settings file's text (section "Triggers"), or of the settings file itself.
    static PadTriggers FromSettingsText(QByteArrayView text);
    static PadTriggers Stored();

    // The action a key plays, or kNoAction. A key learned by name wins over a key position that
    // the same key stands on; among equals the lower action wins.
    int actionFor(int qtKey, quint32 nativeScanCode) const;

    // An action's keys as tokens, in their stored order (what the settings file holds).
    QStringList tokens(int action) const;
    // An action's keys for people: the tokens joined by ", ", a key position shown by its label
    // on a US keyboard ("F1, `"; "Scan N" for a position without a known label); "" with none.
    QString keysText(int action) const;

    // Adds a key to an action and takes it away from every other action that held it (by name
    // or by position), so one key never plays two pads. The key is stored by its name, or by its
    // position when it has no name a list can hold (a comma, an unnamed key). Returns the actions
    // whose keys changed (none when the key cannot be stored: modifiers alone, no name and no
    // position).
    QList<int> learn(int action, int qtKey, quint32 nativeScanCode);
    // ---- MIDI notes ------------------------------------------------------------------------
    static constexpr int kFirstDefaultNote = 36; // note 36 plays pad 1 by default

    // The action a note on channel (1..16) plays: a learned note first (the lower action among
    // equals), else the default note of a pad; kNoAction for any other note.
    int actionForNote(int channel, int note) const;
    // The note and channel a pad's light is sent on: the pad's first learned note, else its
    // default note on channel 1 while that still plays it; nothing when neither.
    std::optional<MidiTrigger> padNote(int pad) const;
    // Adds a note (or control) to an action and takes it from every other action that held an
    // overlapping one, as learn() does for keys. Returns the actions whose lists changed.
    QList<int> learnMidi(int action, const MidiTrigger& trigger);

    // Takes every key from an action; true when it had any.
    bool clear(int action);

    // Writes the given actions' lines to the settings file (other lines stay as they are) and
    // tells whoever listens to changes().
    void store(const QList<int>& actions) const;

    // "Pad 1".."Pad 28", "Next Pad", "Previous Pad", "Tempo Up", "Tempo Down", "Tap Tempo",
    // "Bank A".."Bank H", "Next Song", "Previous Song"; "" outside the actions.
    static QString actionKey(int action);
    // The token a key is stored as by learn(), if it can be stored.
    static std::optional<QString> tokenForKey(int qtKey, quint32 nativeScanCode);
    // True for keys that only modify others (Shift, Ctrl, Alt, AltGr, Meta, the lock keys).
    static bool isModifierKey(int qtKey);
    // The label of a key position on a US keyboard ("Q", "`", "Backspace"), "" when unknown.
    static QString positionLabel(quint32 nativeScanCode);

    static const QString kSection; // "Triggers"

private:
    struct Trigger {
        int key = 0;                     // a Qt key, or 0
        quint32 scan = 0;                // a native scan code, or 0
        std::optional<MidiTrigger> midi; // a note or control instead of a key
        Trigger() = default;
        Trigger(int k, quint32 s, std::optional<MidiTrigger> m = std::nullopt)
            : key(k), scan(s), midi(m)
        {
        }
        bool operator==(const Trigger&) const = default;
    };
    static std::optional<Trigger> parseToken(QStringView token);
    static QString tokenText(const Trigger& trigger);
    static bool matches(const Trigger& trigger, int qtKey, quint32 nativeScanCode);

    std::array<std::vector<Trigger>, kActionCount> m_keys;
};

// Tells the windows that the stored trigger map changed (the bar reads it again).
class PadTriggerChanges : public QObject {
    Q_OBJECT
public:
    static PadTriggerChanges& instance();
signals:
    void changed();
};
