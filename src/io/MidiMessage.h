// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// One channel message as the pads' MIDI side sees it. Everything else MIDI carries (SysEx,
// clock, pitch bend, aftertouch...) plays no pad and is left out before it gets here.
struct MidiMessage {
    enum class Type : std::uint8_t { NoteOn, NoteOff, Control, Program };

    Type type = Type::NoteOff;
    std::uint8_t channel = 1; // 1..16
    std::uint8_t number = 0;  // note, control or program number
    std::uint8_t value = 0;   // velocity or control value

    bool operator==(const MidiMessage&) const = default;

    // One whole message's bytes, as a transport delivers them: the status, then exactly the two
    // data bytes a note or control change takes, or the one of a program change (which picks a
    // bank of pads). Note-on with velocity 0 reads as a note-off. Nothing for other messages and
    // for malformed ones: a missing status, a data byte with its high bit set, a byte too few or
    // too many (whatever a stray sender puts into one event never reaches the pads as a message
    // of its own).
    static std::optional<MidiMessage> FromBytes(const std::uint8_t* bytes, std::size_t size)
    {
        if (size == 2 && (bytes[0] & 0xF0) == 0xC0 && (bytes[1] & 0x80) == 0) {
            MidiMessage program;
            program.type = Type::Program;
            program.channel = static_cast<std::uint8_t>((bytes[0] & 0x0F) + 1);
            program.number = bytes[1];
            return program;
        }
        if (size != 3 || (bytes[0] & 0x80) == 0 || (bytes[1] & 0x80) != 0 || (bytes[2] & 0x80) != 0)
            return std::nullopt;
        MidiMessage message;
        message.channel = static_cast<std::uint8_t>((bytes[0] & 0x0F) + 1);
        message.number = bytes[1];
        message.value = bytes[2];
        switch (bytes[0] & 0xF0) {
        case 0x90:
            message.type = bytes[2] > 0 ? Type::NoteOn : Type::NoteOff;
            return message;
        case 0x80:
            message.type = Type::NoteOff;
            return message;
        case 0xB0:
            message.type = Type::Control;
            return message;
        default:
            return std::nullopt;
        }
    }
};

// The system real-time messages of a MIDI clock: one byte each.
enum class ClockMessage : std::uint8_t { Clock = 0xF8, Start = 0xFA, Continue = 0xFB, Stop = 0xFC };

// A whole clock message (exactly one of the four bytes), or nothing.
inline std::optional<ClockMessage> ClockMessageOf(const std::uint8_t* bytes, std::size_t size)
{
    if (size != 1 || bytes == nullptr)
        return std::nullopt;
    switch (bytes[0]) {
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
        return static_cast<ClockMessage>(bytes[0]);
    default:
        return std::nullopt;
    }
}
