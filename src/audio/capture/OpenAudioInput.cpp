// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenAudioInput.h"

#include "JackPortInput.h"
#include "SdlAudioInput.h"

#include <cstdlib>
#include <cstring>

std::unique_ptr<AudioInput> OpenedInput(std::unique_ptr<AudioInput> input, AudioInput::Sink sink,
                                        void* context)
{
    if (input == nullptr || !input->open(sink, context))
        return nullptr;
    return input;
}

std::unique_ptr<AudioInput> OpenBestAudioInput(AudioInput::Sink sink, void* context,
                                               CaptureTap& deviceInput)
{
    const char* pin = std::getenv("QUENDEL_AUDIO");
    const bool pinned = pin != nullptr && *pin != '\0';
    const bool jackOnly = pinned && std::strcmp(pin, "jack") == 0;
    // The instrument comes in where the sound goes out: a JACK user patches the guitar to
    // Quendel's "in", and the output's own client is the one that has it.
    if (!pinned || jackOnly)
        if (auto input = OpenedInput(std::make_unique<JackPortInput>(deviceInput), sink, context))
            return input;
    if (jackOnly)
        return nullptr;
    return OpenedInput(std::make_unique<SdlAudioInput>(), sink, context);
}
