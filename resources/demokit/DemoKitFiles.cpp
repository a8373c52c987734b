// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoKitFiles.h"

#include "sounds/NoiseGenerator.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace demokit {

namespace {

// Variable bitrate around 190 kbit/s (LAME's V2): transparent for this material, and the
// bitrate mode that libsndfile tags with the encoder's delay and padding.
constexpr double kMp3Compression = 0.2;

class SoundFileHandle {
public:
    explicit SoundFileHandle(SNDFILE* file) : m_file(file) {}
    ~SoundFileHandle()
    {
        if (m_file != nullptr)
            sf_close(m_file);
    }
    SoundFileHandle(const SoundFileHandle&) = delete;
    SoundFileHandle& operator=(const SoundFileHandle&) = delete;

    SNDFILE* get() const { return m_file; }
    // Closes now and says whether everything reached the disk.
    bool close()
    {
        const bool ok = sf_close(m_file) == 0;
        m_file = nullptr;
        return ok;
    }

private:
    SNDFILE* m_file;
};

bool writeFrames(const std::filesystem::path& path, const LoopCanvas& loop, FileKind kind,
                 std::string& error)
{
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 2;
    info.format = kind == FileKind::Mp3 ? (SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III)
                                        : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SoundFileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (file.get() == nullptr) {
        error = sf_strerror(nullptr);
        return false;
    }
    const auto frames = static_cast<sf_count_t>(loop.frames());
    bool complete = false;
    if (kind == FileKind::Mp3) {
        int mode = SF_BITRATE_MODE_VARIABLE;
        double compression = kMp3Compression;
        // Both must be set before the first frame; an encoder that refuses keeps its defaults.
        sf_command(file.get(), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        sf_command(file.get(), SFC_SET_COMPRESSION_LEVEL, &compression, sizeof compression);
        std::vector<float> samples(static_cast<std::size_t>(2 * loop.frames()));
        for (int i = 0; i < loop.frames(); ++i) {
            samples[2 * static_cast<std::size_t>(i)] = static_cast<float>(loop.left(i));
            samples[2 * static_cast<std::size_t>(i) + 1] = static_cast<float>(loop.right(i));
        }
        complete = sf_writef_float(file.get(), samples.data(), frames) == frames;
    } else {
        const std::vector<std::int16_t> samples = toPcm16(loop, 0x64697468);
        complete = sf_writef_short(file.get(), samples.data(), frames) == frames;
    }
    if (!complete)
        error = sf_strerror(file.get());
    if (!file.close() && complete) {
        error = "the file could not be finished";
        complete = false;
    }
    return complete;
}

} // namespace

std::vector<std::int16_t> toPcm16(const LoopCanvas& loop, std::uint64_t ditherSeed)
{
    sounds::NoiseGenerator dither(ditherSeed);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(2 * loop.frames()));
    for (int i = 0; i < loop.frames(); ++i)
        for (int channel = 0; channel < 2; ++channel) {
            const double value = channel == 0 ? loop.left(i) : loop.right(i);
            const double noise = dither.uniform() - dither.uniform(); // triangular, +-1 bit
            const double scaled =
                std::clamp(std::round(value * 32767.0 + noise), -32767.0, 32767.0);
            samples[2 * static_cast<std::size_t>(i) + static_cast<std::size_t>(channel)] =
                static_cast<std::int16_t>(scaled);
        }
    return samples;
}

bool writeLoop(const std::filesystem::path& path, const LoopCanvas& loop, FileKind kind,
               std::string& error)
{
    std::filesystem::path partial = path;
    partial += ".part";
    if (!writeFrames(partial, loop, kind, error)) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(partial, path, renameError);
    if (renameError) {
        error = renameError.message();
        std::filesystem::remove(partial, renameError);
        return false;
    }
    return true;
}

std::optional<LoopCanvas> readLoop(const std::filesystem::path& path)
{
    SF_INFO info{};
    SoundFileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (file.get() == nullptr || info.channels != 2)
        return std::nullopt;
    // The frame count in the header is not to be trusted for MP3: read until the decoder stops.
    std::vector<float> all;
    std::vector<float> chunk(2 * 4096);
    sf_count_t got = 0;
    while ((got = sf_readf_float(file.get(), chunk.data(), 4096)) > 0)
        all.insert(all.end(), chunk.begin(), chunk.begin() + 2 * got);
    if (all.empty())
        return std::nullopt;
    LoopCanvas loop(static_cast<int>(all.size() / 2));
    for (int i = 0; i < loop.frames(); ++i) {
        loop.left(i) = all[2 * static_cast<std::size_t>(i)];
        loop.right(i) = all[2 * static_cast<std::size_t>(i) + 1];
    }
    return loop;
}

std::string starterSettingsText(const std::vector<std::string>& fileNames)
{
    std::string text = "[Samples]\n";
    for (std::size_t i = 0; i < fileNames.size(); ++i)
        text += "Sample " + std::to_string(i + 1) + "=" + fileNames[i] + "\n";
    return text;
}

StarterSettings writeStarterSettings(const std::filesystem::path& file,
                                     const std::vector<std::string>& fileNames)
{
    namespace fs = std::filesystem;
    std::error_code error;
    // Anything by that name counts as the user's, even a link that leads nowhere.
    const fs::file_status status = fs::symlink_status(file, error);
    if (fs::exists(status))
        return StarterSettings::LeftAlone;
    if (error && error != std::errc::no_such_file_or_directory)
        return StarterSettings::Failed;

    fs::path temporary = file;
    temporary += ".starter";
    fs::remove(temporary, error); // left over from a build that was stopped half-way
    std::FILE* out = std::fopen(temporary.c_str(), "wbx");
    if (out == nullptr)
        return StarterSettings::Failed;
    const std::string text = starterSettingsText(fileNames);
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        fs::remove(temporary, error);
        return StarterSettings::Failed;
    }

    // A hard link publishes the finished file under its name in one step and, unlike a rename,
    // refuses when the name has been taken in the meantime. Where links are not supported, a
    // rename after a last look does the same but for that last instant.
    StarterSettings result = StarterSettings::Written;
    fs::create_hard_link(temporary, file, error);
    if (error == std::errc::file_exists) {
        result = StarterSettings::LeftAlone;
    } else if (error) {
        if (fs::exists(fs::symlink_status(file, error)))
            result = StarterSettings::LeftAlone;
        else {
            fs::rename(temporary, file, error);
            if (error)
                result = StarterSettings::Failed;
        }
    }
    fs::remove(temporary, error);
    return result;
}

} // namespace demokit
