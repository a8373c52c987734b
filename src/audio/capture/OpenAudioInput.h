// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/AudioInput.h"
#include "io/CaptureTap.h"

#include <memory>

// Opens the input the tuner should hear: the JACK client's "in" port (handed over through
// `deviceInput`, the output host's capture tap) while the sound plays through JACK, else SDL's
// default capture device. QUENDEL_AUDIO pins it like the output:
// "jack" tries only the JACK port, "sdl" or "pulse" only SDL's capture. The input comes back
// open, calling `sink`; null when none opens.
std::unique_ptr<AudioInput> OpenBestAudioInput(AudioInput::Sink sink, void* context,
                                               CaptureTap& deviceInput);

// `input` opened with `sink`; null when there is none or it does not open.
std::unique_ptr<AudioInput> OpenedInput(std::unique_ptr<AudioInput> input, AudioInput::Sink sink,
                                        void* context);
