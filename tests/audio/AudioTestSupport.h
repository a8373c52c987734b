// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "audio/host/AudioDevice.h"
#include "support/AudioTestKit.h"
#include "support/TestEngine.h"

#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <sndfile.h>
#include <string>
#include <thread>
#include <vector>

namespace audiotest {

// A fresh folder for generated files, removed afterwards.
struct TempDir {
    QTemporaryDir dir;
    std::string file(const std::string& name) const
    {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
};

inline constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
inline constexpr int kWavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
inline constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;

// What libsndfile itself decodes from a file, as stereo frames (mono doubled): what a loop must
// reproduce at the file's own rate.
inline std::vector<float> decodeStereo(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> stereo;
    if (!file)
        return stereo;
    std::vector<float> chunk(4096 * static_cast<std::size_t>(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(file, chunk.data(), 4096);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = chunk.data() + i * info.channels;
            stereo.push_back(frame[0]);
            stereo.push_back(info.channels > 1 ? frame[1] : frame[0]);
        }
    }
    sf_close(file);
    return stereo;
}

inline std::vector<float> noise(std::size_t samples, float amplitude, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> spread(-amplitude, amplitude);
    std::vector<float> out(samples);
    for (float& v : out)
        v = spread(generator);
    return out;
}

inline std::vector<float> sine(std::size_t frames, int channels, double hz, int rate, float level)
{
    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                level *
                static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
    return out;
}

// The largest jump between neighbouring frames of one channel.
inline float largestStep(const std::vector<float>& stereo, int channel, std::size_t from = 0,
                         std::size_t to = SIZE_MAX)
{
    const std::size_t frames = std::min(stereo.size() / 2, to);
    float largest = 0.0f;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < frames; ++i)
        largest =
            std::max(largest, std::fabs(stereo[2 * i + static_cast<std::size_t>(channel)] -
                                        stereo[2 * (i - 1) + static_cast<std::size_t>(channel)]));
    return largest;
}

// Runs the engine offline at 44100 Hz for the length of a test; the test pulls audio.
class OfflineEngineTest : public ::testing::Test {
protected:
    static constexpr int kRate = 44100;

    void SetUp() override
    {
        control.InitBASS(0, kRate, false, false);
        control.BufferLenInSeconds(1.0);
        control.SampleChanToModify(1);
        ASSERT_TRUE(engine().isRunning());
    }

    void TearDown() override { control.TerminateBASS(); }

    AudioEngine& engine() { return *testEngine; }

    // A file of the given interleaved samples in the test's folder: a 16-bit WAV at the engine's
    // rate unless told otherwise.
    std::string sound(const std::string& name, const std::vector<float>& samples, int channels = 1,
                      int format = kWav16, int rate = kRate)
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(WriteSound(path, format, channels, rate, samples)) << name;
        return path;
    }

    std::vector<float> render(int frames) { return Render(engine(), frames); }

    static bool silent(const std::vector<float>& stereo, std::size_t fromFrame = 0)
    {
        for (std::size_t i = fromFrame * 2; i < stereo.size(); ++i)
            if (stereo[i] != 0.0f)
                return false;
        return true;
    }

    // Index of the first frame where `got` differs from `expected` repeated; -1 when none.
    static long firstLoopMismatch(const std::vector<float>& got, const std::vector<float>& expected,
                                  std::size_t startFrame = 0)
    {
        const std::size_t loop = expected.size() / 2;
        for (std::size_t i = 0; i < got.size() / 2; ++i) {
            const std::size_t j = (startFrame + i) % loop;
            if (got[2 * i] != expected[2 * j] || got[2 * i + 1] != expected[2 * j + 1])
                return static_cast<long>(i);
        }
        return -1;
    }

    TestEngine testEngine;
    AudioControl control{*testEngine};
    TempDir dir;
};

// A second of a constant level, in a file of `dir`: a loop whose every frame is heard at that
// level, so a listener can tell from any stretch whether it sounds. Empty when it cannot be
// written.
inline std::string writeLevelLoop(const TempDir& dir, float level = 0.25f)
{
    const std::string path = dir.file("level.wav");
    return WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100,
                      std::vector<float>(44100, level))
               ? path
               : std::string();
}

// Polls until `done` holds, for at most 10 s (generous: only a hang fails).
template <typename Done> bool eventually(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// An engine on the machine's devices (QUENDEL_AUDIO, set, pins one), and a level loop in a
// folder of its own; the test starts it and plays the loop when it wants.
struct LevelLoopEngine {
    explicit LevelLoopEngine(AudioEngine::Options options = {}) : engine(std::move(options)) {}
    void start(int rate = 44100) { control.InitBASS(0, rate, false, false); }
    void playLoop()
    {
        control.OpenSample(path);
        control.PlaySample(true);
    }
    std::string device() { return engine->host().deviceName(); }
    // Whether the engine comes to play through the named device ("": none).
    bool reaches(const std::string& name)
    {
        return eventually([&] { return device() == name; });
    }
    TempDir dir;
    std::string path = writeLevelLoop(dir);
    TestEngine engine;
    AudioControl control{*engine};
};

} // namespace audiotest
