// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <lo/lo.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

// OSC datagrams built as a controller would send them, for the remote tests.

// One argument: its OSC type and its value (a number, or text for 's').
struct OscArg {
    char type;
    double number = 0;
    std::string text = {};
};

// The datagram of path with args, as lo_message_serialise lays it out.
inline std::vector<char> OscPacket(const char* path, const std::vector<OscArg>& args = {})
{
    lo_message message = lo_message_new();
    for (const OscArg& arg : args) {
        switch (arg.type) {
        case 'i':
            lo_message_add_int32(message, static_cast<int>(arg.number));
            break;
        case 'h':
            lo_message_add_int64(message, static_cast<long long>(arg.number));
            break;
        case 'f':
            lo_message_add_float(message, static_cast<float>(arg.number));
            break;
        case 'd':
            lo_message_add_double(message, arg.number);
            break;
        case 's':
            lo_message_add_string(message, arg.text.c_str());
            break;
        case 'T':
            lo_message_add_true(message);
            break;
        case 'N':
            lo_message_add_nil(message);
            break;
        default:
            break;
        }
    }
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message, path, nullptr, &size);
    std::vector<char> packet(static_cast<char*>(bytes), static_cast<char*>(bytes) + size);
    std::free(bytes);
    lo_message_free(message);
    return packet;
}
