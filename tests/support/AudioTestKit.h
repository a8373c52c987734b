// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestEngine.h"

#include <QString>

#include <string>
#include <vector>

// Writes sound files for tests and reads levels from what the engine rendered.

// A 16-bit WAV at rate, mono when right is empty; by the name's ending an MP3, FLAC, Ogg Vorbis
// (".ogg", ".oga"), Ogg Opus (".opus": 48000 Hz only) or AIFF (".aif", ".aiff") instead.
bool WriteTestSound(const QString& path, const std::vector<float>& left,
                    const std::vector<float>& right = {}, int rate = 44100);
// Interleaved samples in libsndfile's format (SF_FORMAT_*), as many channels as given.
bool WriteSound(const std::string& path, int format, int channels, int rate,
                const std::vector<float>& samples);
// A constant level for frames frames: easy to read back through gain and balance.
std::vector<float> Constant(float level, int frames);
// A ramp that tells each frame's position: frame i holds (i % period + 1) / (period + 1).
std::vector<float> PositionRamp(int frames, int period);

struct ChannelLevels {
    float left = 0, right = 0;
};
// The mean absolute level of each channel over the last frames of a render.
ChannelLevels LevelsOf(const std::vector<float>& stereo, int lastFrames);
