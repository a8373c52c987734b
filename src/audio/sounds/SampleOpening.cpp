// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleOpening.h"

#include "ReadySounds.h"
#include "SampleBuffer.h"
#include "SoundFile.h"

#include <algorithm>
#include <cmath>

namespace {

// A sound that decodes to no more than this is decoded at the press when it is not ready: that
// costs about what opening a stream and decoding its first quarter second would.
constexpr std::size_t kDecodeAtPressBytes = std::size_t{1024} * 1024;

// The path to play from disk, as long as the file yields frames there.
std::string streamedPath(const std::string& path, int rate)
{
    return StreamPlays(path, rate) ? path : std::string();
}

OpenedSample openAtPitch(const std::string& path, int rate, std::size_t sizeLimit, double pitch)
{
    OpenedSample opened;
    // Decoded at the engine's rate divided by the pitch, the file sounds at that pitch when its
    // frames play at the engine's rate.
    const int pitchedRate = static_cast<int>(std::lround(rate / pitch));
    switch (decodeSample(path, pitchedRate, sizeLimit, opened.sound)) {
    case DecodeResult::Ok:
        break;
    case DecodeResult::TooLarge:
        opened.streamPath = streamedPath(path, rate);
        break;
    case DecodeResult::Failed:
        break;
    }
    return opened;
}

} // namespace

OpenedSample OpenSampleSound(ReadySounds& ready, const std::string& path, int rate,
                             std::size_t sizeLimit, double pitch)
{
    if (pitch != 1.0)
        return openAtPitch(path, rate, sizeLimit, pitch);
    OpenedSample opened;
    ReadySounds::Found found = ready.find(path);
    switch (found.state) {
    case ReadySounds::State::Ready:
        opened.sound = std::move(found.sound);
        return opened;
    case ReadySounds::State::TooLarge:
        opened.streamPath = streamedPath(path, rate);
        return opened;
    case ReadySounds::State::Failed:
        return opened;
    case ReadySounds::State::NotReady:
        break;
    }
    switch (decodeSample(path, rate, std::min(kDecodeAtPressBytes, sizeLimit), opened.sound)) {
    case DecodeResult::Ok:
        ready.keep(path, found.stamp, opened.sound);
        break;
    case DecodeResult::TooLarge:
        ready.prepare(path);
        opened.streamPath = streamedPath(path, rate);
        break;
    case DecodeResult::Failed:
        break;
    }
    return opened;
}
