// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <lo/lo.h>

#include <cstddef>
#include <optional>

// What another program or a tablet asks of the pads over OSC, once its message was read and
// checked. Nothing here touches a socket: the server hands in what arrived.
struct RemoteCommand {
    enum class Kind {
        Press,
        Release,
        Stop,
        Tempo,
        Transpose,
        Next,
        Previous,
        Bank,
        Song,
        NextSong,
        PreviousSong,
        Hello
    } kind;
    int pad = 0;       // 1..28 (Press, Release)
    int bank = 0;      // 1..8 for A..H (Bank)
    int song = 0;      // 1..128 (Song)
    double tempo = 0;  // BPM 30..300, 0 = off (Tempo)
    int semitones = 0; // -12..12 (Transpose)
    int cents = 0;     // -50..50 (Transpose)
};

// The messages Quendel takes (every number may come as i, h, f or d; a float must be whole
// where a whole number is asked for):
//   /quendel/press i        pad 1..28 pressed
//   /quendel/release i      pad 1..28 released
//   /quendel/stop           silence, the pads go dark
//   /quendel/tempo f        session tempo 30..300 BPM, 0 = off
//   /quendel/transpose i [i] semitones -12..12, cents -50..50 (0 when left out)
//   /quendel/next           the next bound pad
//   /quendel/previous       the previous bound pad
//   /quendel/bank i         shows bank 1..8 (A..H)
//   /quendel/song i         song 1..128 of the setlist
//   /quendel/nextsong, /quendel/previoussong
//   /quendel/hello          a client asks for the pads' state
// Anything else (an unknown address, a missing, surplus or wrongly typed argument, a number out
// of range, NaN or infinity) is nothing.
std::optional<RemoteCommand> ParseOscCommand(const char* path, const char* types, lo_arg** argv,
                                             int argc);

// One datagram as it came off the network. Bundles are not taken (a controller sends one
// message a datagram; a bundle's time tag would ask for scheduling Quendel does not do), nor are
// empty, truncated or malformed packets, or packets over kMaxOscPacket bytes.
inline constexpr std::size_t kMaxOscPacket = 64 * 1024;
std::optional<RemoteCommand> ParseOscPacket(const void* data, std::size_t size);
