// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioTestKit.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <sndfile.h>

namespace {

// The container by the name's ending, as the engine's users name their files.
int formatFor(const QString& path)
{
    const QString ending = QFileInfo(path).suffix().toLower();
    if (ending == QLatin1String("mp3"))
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    if (ending == QLatin1String("flac"))
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    if (ending == QLatin1String("ogg") || ending == QLatin1String("oga"))
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    if (ending == QLatin1String("opus"))
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    if (ending == QLatin1String("aif") || ending == QLatin1String("aiff"))
        return SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

} // namespace

bool WriteSound(const std::string& path, int format, int channels, int rate,
                const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const auto frames = static_cast<sf_count_t>(samples.size()) / channels;
    const sf_count_t written = sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return written == frames;
}

bool WriteTestSound(const QString& path, const std::vector<float>& left,
                    const std::vector<float>& right, int rate)
{
    const int channels = right.empty() ? 1 : 2;
    std::vector<float> frames(left.size() * channels);
    for (size_t i = 0; i < left.size(); ++i) {
        frames[i * channels] = left[i];
        if (channels == 2)
            frames[i * 2 + 1] = i < right.size() ? right[i] : 0.0f;
    }
    return WriteSound(QFile::encodeName(path).toStdString(), formatFor(path), channels, rate,
                      frames);
}

std::vector<float> Constant(float level, int frames)
{
    return std::vector<float>(frames, level);
}

std::vector<float> PositionRamp(int frames, int period)
{
    std::vector<float> ramp(frames);
    for (int i = 0; i < frames; ++i)
        ramp[i] = static_cast<float>(i % period + 1) / static_cast<float>(period + 1);
    return ramp;
}

ChannelLevels LevelsOf(const std::vector<float>& stereo, int lastFrames)
{
    const size_t frames = stereo.size() / 2;
    const size_t first = frames - static_cast<size_t>(lastFrames);
    ChannelLevels levels;
    for (size_t i = first; i < frames; ++i) {
        levels.left += std::fabs(stereo[i * 2]);
        levels.right += std::fabs(stereo[i * 2 + 1]);
    }
    levels.left /= static_cast<float>(lastFrames);
    levels.right /= static_cast<float>(lastFrames);
    return levels;
}
