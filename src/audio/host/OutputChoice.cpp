// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputChoice.h"

#include "SdlAudioHandle.h"

#include <SDL.h>

namespace {

constexpr std::string_view kSdlPrefix = "SDL: ";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool sameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

OutputChoice OutputChoice::fromText(std::string_view text)
{
    const std::string_view value = trimmed(text);
    if (sameLetters(value, "JACK"))
        return {Backend::Jack, {}};
    if (sameLetters(value, "PulseAudio"))
        return {Backend::Pulse, {}};
    if (sameLetters(value, "SDL"))
        return {Backend::Sdl, {}};
    if (value.size() > kSdlPrefix.size() && sameLetters(value.substr(0, 5), kSdlPrefix))
        return {Backend::Sdl, std::string(trimmed(value.substr(kSdlPrefix.size())))};
    return {};
}

std::string OutputChoice::text() const
{
    switch (backend) {
    case Backend::Jack:
        return "JACK";
    case Backend::Pulse:
        return "PulseAudio";
    case Backend::Sdl:
        return sdlDevice.empty() ? "SDL" : std::string(kSdlPrefix) + sdlDevice;
    case Backend::Automatic:
        break;
    }
    return "default";
}

std::string OutputChoice::label() const
{
    if (backend == Backend::Automatic)
        return "Default (JACK, else PulseAudio, else SDL)";
    if (backend == Backend::Sdl && sdlDevice.empty())
        return "SDL default device";
    return text();
}

std::vector<std::string> SdlOutputDevices()
{
    std::vector<std::string> names;
    if (!InitSdlAudio())
        return names;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 0); name != nullptr && *name != '\0')
            names.emplace_back(name);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return names;
}

std::vector<OutputChoice> AvailableOutputs()
{
    std::vector<OutputChoice> outputs{{}};
    if (JackServerAnswers())
        outputs.push_back({OutputChoice::Backend::Jack, {}});
    if (PulseServerAnswers())
        outputs.push_back({OutputChoice::Backend::Pulse, {}});
    outputs.push_back({OutputChoice::Backend::Sdl, {}});
    for (std::string& name : SdlOutputDevices())
        outputs.push_back({OutputChoice::Backend::Sdl, std::move(name)});
    return outputs;
}
