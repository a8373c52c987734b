// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A MIDI note or control change as the trigger map stores it, beside the keys of an action:
//
//   "Note 36"        note 36 on any channel
//   "Note 36 Ch 10"  note 36 on channel 10 only
//   "CC 7"           control 7 on any channel; "CC 7 Ch 2" on channel 2 only
//
// Numbers are 0..127, channels 1..16; words are read in any case, blanks between them are free.
struct MidiTrigger {
    enum class Kind : unsigned char { Note, Control };
    static constexpr int kAnyChannel = 0;

    Kind kind = Kind::Note;
    int number = 0;            // note or control number, 0..127
    int channel = kAnyChannel; // 1..16, or kAnyChannel

    bool operator==(const MidiTrigger&) const = default;

    static std::optional<MidiTrigger> Parse(QStringView token);
    QString text() const;
    // True for a message of this kind and number on channel (1..16).
    bool matches(Kind messageKind, int messageChannel, int messageNumber) const
    {
        return kind == messageKind && number == messageNumber &&
               (channel == kAnyChannel || channel == messageChannel);
    }
    // True when some message would match both (the same kind and number on a shared channel).
    bool overlaps(const MidiTrigger& other) const
    {
        return kind == other.kind && number == other.number &&
               (channel == kAnyChannel || other.channel == kAnyChannel || channel == other.channel);
    }
    // The channel a reply (an LED) goes to: the stored one, or channel 1.
    int replyChannel() const { return channel == kAnyChannel ? 1 : channel; }
};
