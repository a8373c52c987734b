// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DemoKitDesign.h"
#include "LoopCanvas.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace demokit {

// The loop as interleaved 16-bit stereo, with a little triangular dither (seeded, so the bytes
// are the same on every build) that keeps the reverb tails smooth down to the last bit.
// Clamped to [-32767, 32767].
std::vector<std::int16_t> toPcm16(const LoopCanvas& loop, std::uint64_t ditherSeed);

// Writes the loop as 16-bit stereo 44.1 kHz WAVE, or as variable-bitrate MP3 (whose LAME tag lets
// a decoder trim the encoder's delay and padding, so the loop stays sample exact). The file is
// written beside its target and renamed into place: a failed run leaves no cut-off loop that
// a later build would take as finished. On failure `error` says why.
bool writeLoop(const std::filesystem::path& path, const LoopCanvas& loop, FileKind kind,
               std::string& error);

// The loop in a sound file, read as libsndfile decodes it (to its last frame, whatever the
// header claims). Nothing when the file is missing, unreadable or not stereo.
std::optional<LoopCanvas> readLoop(const std::filesystem::path& path);

// The starter settings: the "Samples" section binding the files to the first pads, in order.
std::string starterSettingsText(const std::vector<std::string>& fileNames);

enum class StarterSettings {
    Written,   // there was no settings file; now there is one with the bindings
    LeftAlone, // a settings file (or anything else by that name) is there: the user's, untouched
    Failed,    // none was there and none could be written (folder missing or not writable)
};

// Writes the starter settings to `file` only when nothing by that name exists. The text goes to a
// temporary file first and is published without replacing: a settings file that appears in the
// meantime is never overwritten, and the settings file is never seen half-written.
StarterSettings writeStarterSettings(const std::filesystem::path& file,
                                     const std::vector<std::string>& fileNames);

} // namespace demokit
