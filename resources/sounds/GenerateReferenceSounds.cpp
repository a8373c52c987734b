// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's reference sounds as 16-bit mono 44.1 kHz WAVE files into the folder given
// on the command line, each named after its resource ("CHORD", "A", ..., "WHITE"), without an
// extension, so the build embeds them under exactly those names.

#include "ReferenceSoundDesign.h"

#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

bool writeWave(const std::filesystem::path& path, const std::vector<std::int16_t>& samples)
{
    SF_INFO info{};
    info.samplerate = sounds::kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool complete = sf_write_short(file, samples.data(), count) == count;
    return sf_close(file) == 0 && complete;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }

    for (const sounds::ReferenceSound& sound : sounds::referenceSounds()) {
        // Written beside and renamed into place, so a failed run never leaves a cut-off file
        // that a later build would embed.
        const std::filesystem::path target = folder / sound.name;
        std::filesystem::path partial = target;
        partial += ".part";
        if (!writeWave(partial, sound.samples))
            return 1;
        std::filesystem::rename(partial, target, error);
        if (error) {
            std::fprintf(stderr, "cannot write %s: %s\n", target.c_str(), error.message().c_str());
            return 1;
        }
    }
    return 0;
}
