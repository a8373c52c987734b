// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Where the engine plays: the back ends in their usual order ("default"), or one the user chose
// from the bar's output menu. The choice is stored in the settings file as text and taken at the
// next start; a chosen output that is not there then means the default, without a word.
struct OutputChoice {
    enum class Backend { Automatic, Jack, Pulse, Sdl };

    Backend backend = Backend::Automatic;
    // SDL only: SDL's own name for the output device; empty for SDL's default device.
    std::string sdlDevice;

    // "default", "JACK", "PulseAudio", "SDL" or "SDL: <device name>". Anything else (a hand
    // edit gone wrong, a value from a newer Quendel) means the default.
    static OutputChoice fromText(std::string_view text);
    std::string text() const;
    // What the menu shows for it.
    std::string label() const;

    bool operator==(const OutputChoice&) const = default;
};

// Whether a JACK server answers now. It neither starts one nor leaves a client behind.
bool JackServerAnswers();
// Whether a PulseAudio server (or PipeWire's PulseAudio service) answers now, within half a
// second; it never starts one.
bool PulseServerAnswers();
// The output devices SDL offers now, by the names SDL opens them by.
std::vector<std::string> SdlOutputDevices();

// Every choice the output menu offers now: the default, JACK and PulseAudio when their servers
// answer, SDL's default device and each device SDL names.
std::vector<OutputChoice> AvailableOutputs();
