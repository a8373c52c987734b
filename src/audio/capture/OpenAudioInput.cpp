#include "OpenAudioInput.h"

#include "JackPortInput.h"
#include "SdlAudioInput.h"

#include <cstdlib>
#include <cstring>

namespace {

std::function<std::unique_ptr<AudioInput>()> g_inputFactory;

std::unique_ptr<AudioInput> opened(std::unique_ptr<AudioInput> input, AudioInput::Sink sink,
                                   void* context)
{
    if (input == nullptr || !input->open(sink, context))
        return nullptr;
    return input;
}

} // namespace

std::unique_ptr<AudioInput> OpenBestAudioInput(AudioInput::Sink sink, void* context,
                                               CaptureTap& deviceInput)
{
    if (g_inputFactory)
        return opened(g_inputFactory(), sink, context);
    const char* pin = std::getenv("QUENDEL_AUDIO");
    const bool pinned = pin != nullptr && *pin != '\0';
    const bool jackOnly = pinned && std::strcmp(pin, "jack") == 0;
    // The instrument comes in where the sound goes out: a JACK user patches the guitar to
    // Quendel's "in", and the output's own client is the one that has it.
    if (!pinned || jackOnly)
        if (auto input = opened(std::make_unique<JackPortInput>(deviceInput), sink, context))
            return input;
    if (jackOnly)
        return nullptr;
    return opened(std::make_unique<SdlAudioInput>(), sink, context);
}

void SetAudioInputFactoryForTests(std::function<std::unique_ptr<AudioInput>()> factory)
{
    g_inputFactory = std::move(factory);
}
