// SPDX-License-Identifier: GPL-3.0-or-later
#include "OscCommands.h"

#include "core/PadBanks.h"
#include "core/PadCount.h"
#include "deck/Setlist.h"
#include "deck/TempoSettings.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

// An argument as a number, whatever numeric type the sender chose; nothing for strings, blobs,
// true/false and the rest. liblo's arguments lie on 4-byte boundaries in the message, short of
// what its 8-byte union asks for, so they are copied out as bytes rather than read through it.
template <class T> T ArgAs(const lo_arg* arg)
{
    T value;
    std::memcpy(&value, static_cast<const void*>(arg), sizeof value);
    return value;
}

std::optional<double> NumberArg(char type, const lo_arg* arg)
{
    if (!arg)
        return std::nullopt;
    double value = 0;
    switch (type) {
    case LO_INT32:
        value = ArgAs<std::int32_t>(arg);
        break;
    case LO_INT64:
        value = static_cast<double>(ArgAs<std::int64_t>(arg));
        break;
    case LO_FLOAT:
        value = ArgAs<float>(arg);
        break;
    case LO_DOUBLE:
        value = ArgAs<double>(arg);
        break;
    default:
        return std::nullopt;
    }
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

// A whole number in lo..hi; 3.0 counts, 3.5 does not.
std::optional<int> WholeArg(char type, const lo_arg* arg, int lo, int hi)
{
    const std::optional<double> value = NumberArg(type, arg);
    if (!value || *value != std::floor(*value) || *value < lo || *value > hi)
        return std::nullopt;
    return static_cast<int>(*value);
}

struct Address {
    const char* path;
    RemoteCommand::Kind kind;
    int minArgs;
    int maxArgs;
};

constexpr Address kAddresses[] = {
    {"/quendel/press", RemoteCommand::Kind::Press, 1, 1},
    {"/quendel/release", RemoteCommand::Kind::Release, 1, 1},
    {"/quendel/stop", RemoteCommand::Kind::Stop, 0, 0},
    {"/quendel/tempo", RemoteCommand::Kind::Tempo, 1, 1},
    {"/quendel/transpose", RemoteCommand::Kind::Transpose, 1, 2},
    {"/quendel/next", RemoteCommand::Kind::Next, 0, 0},
    {"/quendel/previous", RemoteCommand::Kind::Previous, 0, 0},
    {"/quendel/bank", RemoteCommand::Kind::Bank, 1, 1},
    {"/quendel/song", RemoteCommand::Kind::Song, 1, 1},
    {"/quendel/nextsong", RemoteCommand::Kind::NextSong, 0, 0},
    {"/quendel/previoussong", RemoteCommand::Kind::PreviousSong, 0, 0},
    {"/quendel/hello", RemoteCommand::Kind::Hello, 0, 0},
};

} // namespace

std::optional<RemoteCommand> ParseOscCommand(const char* path, const char* types, lo_arg** argv,
                                             int argc)
{
    if (!path || argc < 0 || (argc > 0 && (!types || !argv)))
        return std::nullopt;
    // The type string must say exactly as many arguments as there are.
    if (types && std::strlen(types) != static_cast<std::size_t>(argc))
        return std::nullopt;
    const Address* address = nullptr;
    for (const Address& candidate : kAddresses)
        if (std::strcmp(path, candidate.path) == 0)
            address = &candidate;
    if (!address || argc < address->minArgs || argc > address->maxArgs)
        return std::nullopt;

    RemoteCommand command{address->kind};
    // The commands whose one argument counts from 1 up to a last.
    const auto counted = [&](int& field, int last) {
        const std::optional<int> value = WholeArg(types[0], argv[0], 1, last);
        field = value.value_or(0);
        return value.has_value();
    };
    switch (address->kind) {
    case RemoteCommand::Kind::Press:
    case RemoteCommand::Kind::Release:
        if (!counted(command.pad, kPadCount))
            return std::nullopt;
        break;
    case RemoteCommand::Kind::Bank:
        if (!counted(command.bank, PadBanks::kBankCount))
            return std::nullopt;
        break;
    case RemoteCommand::Kind::Song:
        if (!counted(command.song, Setlist::kMaxSongs))
            return std::nullopt;
        break;
    case RemoteCommand::Kind::Tempo: {
        const std::optional<double> bpm = NumberArg(types[0], argv[0]);
        if (!bpm ||
            (*bpm != 0.0 && (*bpm < TempoSettings::kMinTempo || *bpm > TempoSettings::kMaxTempo)))
            return std::nullopt;
        command.tempo = *bpm;
        break;
    }
    case RemoteCommand::Kind::Transpose: {
        const std::optional<int> semitones = WholeArg(
            types[0], argv[0], -TempoSettings::kMaxSemitones, TempoSettings::kMaxSemitones);
        if (!semitones)
            return std::nullopt;
        command.semitones = *semitones;
        if (argc == 2) {
            const std::optional<int> cents =
                WholeArg(types[1], argv[1], -TempoSettings::kMaxCents, TempoSettings::kMaxCents);
            if (!cents)
                return std::nullopt;
            command.cents = *cents;
        }
        break;
    }
    default:
        break;
    }
    return command;
}

std::optional<RemoteCommand> ParseOscPacket(const void* data, std::size_t size)
{
    // A message is at least an address and a type string, four bytes each, padded to four.
    if (!data || size < 4 || size > kMaxOscPacket || size % 4 != 0)
        return std::nullopt;
    // liblo reads bundles as something else; a bundle starts "#bundle".
    if (static_cast<const char*>(data)[0] != '/')
        return std::nullopt;
    // liblo's reader wants writable bytes; it gets its own copy, never the caller's.
    std::vector<char> copy(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    int result = 0;
    const std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> message(
        lo_message_deserialise(copy.data(), copy.size(), &result), lo_message_free);
    if (!message || result != 0)
        return std::nullopt;
    const char* path = copy.data(); // the address ends at its first zero byte, which is there
    return ParseOscCommand(path, lo_message_get_types(message.get()),
                           lo_message_get_argv(message.get()), lo_message_get_argc(message.get()));
}
