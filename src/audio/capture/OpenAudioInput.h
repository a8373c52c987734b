#pragma once

#include "io/AudioInput.h"
#include "io/CaptureTap.h"

#include <functional>
#include <memory>

// Opens the input the tuner should hear: the JACK client's "in" port (handed over through
// `deviceInput`, the output host's capture tap) while the sound plays through JACK, else SDL's
// default capture device. QUENDEL_AUDIO pins it like the output:
// "jack" tries only the JACK port, "sdl" or "pulse" only SDL's capture. The input comes back
// open, calling `sink`; null when none opens.
std::unique_ptr<AudioInput> OpenBestAudioInput(AudioInput::Sink sink, void* context,
                                               CaptureTap& deviceInput);

// Tests put inputs of their own in place of the machine's (OpenBestAudioInput opens what the
// factory makes); an empty function restores the machine's.
void SetAudioInputFactoryForTests(std::function<std::unique_ptr<AudioInput>()> factory);
