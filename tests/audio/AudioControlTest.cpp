// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioTestSupport.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace audiotest;

namespace {

struct FormatCase {
    const char* name;
    const char* file;
    int format;
    int channels;
};

const FormatCase kFormats[] = {
    {"Wav16Mono", "a.wav", kWav16, 1},
    {"Wav8Stereo", "b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2},
    {"Wav24Stereo", "c.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2},
    {"Wav32Stereo", "d.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2},
    {"WavFloatMono", "e.wav", kWavFloat, 1},
    {"Aiff16Stereo", "f.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2},
    {"Flac16Stereo", "g.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2},
    {"OggVorbisStereo", "h.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2},
};

class LoopFormats : public OfflineEngineTest, public ::testing::WithParamInterface<FormatCase> {};

} // namespace

TEST_P(LoopFormats, LoopRepeatsTheDecodedFramesWithNoGap)
{
    const FormatCase& c = GetParam();
    const std::string path = dir.file(c.file);
    ASSERT_TRUE(WriteSound(path, c.format, c.channels, kRate,
                           noise(1000 * static_cast<std::size_t>(c.channels), 0.5f, 7)));
    const std::vector<float> expected = decodeStereo(path);
    ASSERT_GT(expected.size(), 1000u);

    render(300); // an idle engine before the press
    control.OpenSample(path);
    control.PlaySample(true);
    EXPECT_TRUE(control.SampleIsActive());
    const std::vector<float> out = render(static_cast<int>(expected.size() / 2 * 3 + 17));
    EXPECT_EQ(firstLoopMismatch(out, expected), -1);
    EXPECT_TRUE(control.SampleIsActive());
}

INSTANTIATE_TEST_SUITE_P(Formats, LoopFormats, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OfflineEngineTest, OncePlayedSampleEndsAtItsLastFrame)
{
    control.OpenSample(sound("once.wav", Constant(0.5f, 1000)));
    control.PlaySample(false);
    const std::vector<float> first = render(999);
    EXPECT_EQ(first[2 * 998], 0.5f);
    EXPECT_TRUE(control.SampleIsActive());
    const std::vector<float> last = render(1);
    EXPECT_EQ(last[0], 0.5f);
    EXPECT_FALSE(control.SampleIsActive());
    EXPECT_TRUE(silent(render(500)));
}

TEST_F(OfflineEngineTest, StopIsSilentWithin5msAndStepsNoMoreThanTheSignal)
{
    const std::string path = dir.file("sine.wav");
    const std::vector<float> tone = sine(4410, 1, 441.0, kRate, 0.9f);
    ASSERT_TRUE(WriteSound(path, kWavFloat, 1, kRate, tone));
    control.OpenSample(path);
    control.PlaySample(true);
    const std::vector<float> before = render(1000);
    const float ownStep = largestStep(before, 0);
    control.StopSample();
    EXPECT_FALSE(control.SampleIsActive()); // the moment the stop is asked
    std::vector<float> joined(before.end() - 2, before.end());
    const std::vector<float> after = render(kRate / 100);
    joined.insert(joined.end(), after.begin(), after.end());
    EXPECT_TRUE(silent(after, kRate * 5 / 1000));
    EXPECT_FALSE(silent(after)); // faded, not cut
    EXPECT_LE(largestStep(joined, 0), ownStep * 1.02f);
}

struct GainCase {
    int volume;
    int pan;
    float left;
    float right;
};

class Gains : public OfflineEngineTest, public ::testing::WithParamInterface<GainCase> {};

TEST_P(Gains, VolumeAndBalanceGiveChannelLevelsFromTheFirstFrame)
{
    const GainCase& c = GetParam();
    const std::string path = sound("dc.wav", Constant(0.5f, 4000), 2);
    int scheduled = 0;
    engine().mixer().setCommitScheduler([&] { ++scheduled; });
    // A pad press: start the file, then put volume and pan, all in one batch.
    control.OpenSample(path);
    control.PlaySample(true);
    control.SampleVol(c.volume);
    control.SamplePan(c.pan);
    EXPECT_EQ(scheduled, 1);
    engine().mixer().commitPending();
    const std::vector<float> out = render(600);
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        ASSERT_FLOAT_EQ(out[2 * i], 0.5f * c.left) << "frame " << i;
        ASSERT_FLOAT_EQ(out[2 * i + 1], 0.5f * c.right) << "frame " << i;
    }
    // The settings stay for what plays next.
    control.StopSample();
    render(600);
    control.PlaySample(false);
    const std::vector<float> next = render(10);
    EXPECT_FLOAT_EQ(next[0], 0.5f * c.left);
    EXPECT_FLOAT_EQ(next[1], 0.5f * c.right);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Gains,
    ::testing::Values(GainCase{100, 0, 1.0f, 1.0f}, GainCase{50, 0, 0.5f, 0.5f},
                      GainCase{100, 100, 0.0f, 1.0f}, GainCase{100, -100, 1.0f, 0.0f},
                      GainCase{80, 50, 0.4f, 0.8f}, GainCase{100, -25, 1.0f, 0.75f},
                      GainCase{0, 0, 0.0f, 0.0f}, GainCase{150, 0, 1.0f, 1.0f}, // clamped
                      GainCase{-5, 0, 0.0f, 0.0f},                              // clamped
                      GainCase{100, 300, 0.0f, 1.0f}));                         // clamped

TEST_F(OfflineEngineTest, VolumeChangeWhilePlayingRampsOverOneBlock)
{
    control.OpenSample(sound("dc.wav", Constant(0.5f, 4000), 2));
    control.PlaySample(true);
    render(512);
    control.SampleVol(0);
    const std::vector<float> out = render(512);
    EXPECT_GT(out[0], 0.0f);
    EXPECT_LT(out[0], 0.5f);
    EXPECT_LE(largestStep(out, 0), 0.5f / Mixer::kGainRampFrames * 1.01f);
    EXPECT_TRUE(silent(out, Mixer::kGainRampFrames));
}

TEST_F(OfflineEngineTest, InstancesAndSlotsMix)
{
    AudioControl tuner(engine()); // a second control on the same engine; it never starts it
    control.OpenSample(sound("a.wav", Constant(0.25f, 3000)));
    control.PlaySample(true);
    control.OpenStream(sound("s.wav", Constant(0.5f, 3000)));
    control.PlayStream(true);
    tuner.OpenSample(sound("b.wav", Constant(0.125f, 3000)));
    tuner.PlaySample(true);
    const std::vector<float> out = render(2000);
    EXPECT_FLOAT_EQ(out[0], 0.875f);
    EXPECT_FLOAT_EQ(out[2 * 1999 + 1], 0.875f);
    EXPECT_TRUE(tuner.SampleIsActive());
    EXPECT_TRUE(control.StreamIsActive());
}

TEST_F(OfflineEngineTest, MonoPlaysOnBothSidesAndMoreChannelsMixDown)
{
    const std::string quad = dir.file("quad.wav");
    std::vector<float> frames;
    for (int i = 0; i < 500; ++i)
        frames.insert(frames.end(), {0.25f, 0.5f, 0.75f, -0.5f});
    ASSERT_TRUE(WriteSound(quad, kWavFloat, 4, kRate, frames));
    control.OpenSample(quad);
    control.PlaySample(false);
    const std::vector<float> out = render(10);
    EXPECT_FLOAT_EQ(out[0], 0.5f); // (0.25 + 0.75) / 2
    EXPECT_FLOAT_EQ(out[1], 0.0f); // (0.5 - 0.5) / 2
}

TEST_F(OfflineEngineTest, FileAtAnotherRatePlaysAtTheRightPitchAndLength)
{
    const std::string path =
        sound("48k.wav", sine(48000, 1, 1000.0, 48000, 0.5f), 1, kWavFloat, 48000);
    control.OpenSample(path);
    control.PlaySample(false);
    int frames = 0;
    std::vector<float> all;
    while (control.SampleIsActive() && frames < 2 * kRate) {
        const std::vector<float> block = render(256);
        all.insert(all.end(), block.begin(), block.end());
        frames += 256;
    }
    EXPECT_NEAR(frames, kRate, 256 + 2);
    int crossings = 0; // upward zero crossings over the middle half second
    for (std::size_t i = kRate / 4; i < kRate * 3 / 4; ++i)
        if (all[2 * (i - 1)] < 0.0f && all[2 * i] >= 0.0f)
            ++crossings;
    EXPECT_NEAR(crossings, 500, 1);
}

TEST_F(OfflineEngineTest, ResampledStreamLoopsWithoutAnEdgeAtTheSeam)
{
    // 10 whole periods at 48 kHz: looped in front of the converter, the seam is invisible.
    const std::string path =
        sound("loop48k.wav", sine(4800, 1, 100.0, 48000, 0.8f), 1, kWavFloat, 48000);
    control.OpenStream(path);
    control.PlayStream(true);
    render(2000); // past the converter's start
    const std::vector<float> out = render(kRate / 2);
    const float ideal = 0.8f * static_cast<float>(2.0 * M_PI * 100.0 / kRate);
    EXPECT_LE(largestStep(out, 0), ideal * 1.05f);
    EXPECT_GT(largestStep(out, 0), ideal * 0.9f);
}

TEST_F(OfflineEngineTest, StreamLoopsAnMp3OnTheFramesItDecodes)
{
    const std::string path = sound("loop.mp3", sine(11025, 1, 441.0, kRate, 0.5f), 1, kMp3);
    const std::vector<float> expected = decodeStereo(path);
    EXPECT_EQ(expected.size() / 2, 11025u); // the encoder's delay and padding are trimmed
    control.OpenStream(path);
    control.PlayStream(true);
    const std::vector<float> out = render(static_cast<int>(expected.size() / 2 * 3 + 100));
    EXPECT_EQ(firstLoopMismatch(out, expected), -1);

    control.PlayStream(false); // again from the start, once
    std::size_t frames = 0;
    while (control.StreamIsActive() && frames < expected.size())
        frames += render(256).size() / 2;
    EXPECT_FALSE(control.StreamIsActive());
    EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(expected.size() / 2), 256.0);
}

TEST_F(OfflineEngineTest, SampleAboveTheSizeLimitPlaysThroughTheStreamPath)
{
    engine().setSampleSizeLimit(64 * 1024);
    const std::string path = sound("big.wav", noise(20000 * 2, 0.5f, 3), 2);
    const std::vector<float> expected = decodeStereo(path);
    control.OpenSample(path);
    EXPECT_TRUE(control.sampleIsStreamed());
    control.PlaySample(true);
    const std::vector<float> out = render(50000);
    EXPECT_EQ(firstLoopMismatch(out, expected), -1);
    EXPECT_TRUE(control.SampleIsActive());
}

TEST_F(OfflineEngineTest, RealFileAbove64MegabytesDecodedPlaysFromDisk)
{
    // 16-bit stereo, 200 s: 35 MB on disk, 70 MB as float.
    const std::string path = dir.file("huge.wav");
    {
        SF_INFO info{};
        info.channels = 2;
        info.samplerate = kRate;
        info.format = kWav16;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        const std::vector<short> block = [] {
            std::vector<short> b(2 * kRate);
            for (std::size_t i = 0; i < b.size(); ++i)
                b[i] = static_cast<short>((i * 37) % 20000);
            return b;
        }();
        for (int second = 0; second < 200; ++second)
            sf_writef_short(file, block.data(), kRate);
        sf_close(file);
    }
    engine().setSampleSizeLimit(64u * 1024u * 1024u);
    control.OpenSample(path);
    EXPECT_TRUE(control.sampleIsStreamed());
    control.PlaySample(false);
    const std::vector<float> out = render(kRate);
    EXPECT_FLOAT_EQ(out[2 * 1000 + 1], static_cast<float>((2001 * 37) % 20000) / 32768.0f);
    EXPECT_TRUE(control.SampleIsActive());
}

TEST_F(OfflineEngineTest, BadFilesLeaveTheSlotEmptyAndEverythingWorking)
{
    const std::string good = sound("good.wav", Constant(0.5f, 1000));
    const std::string mp3 = sound("good.mp3", sine(22050, 1, 441.0, kRate, 0.5f), 1, kMp3);
    auto writeBytes = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    };
    auto readBytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string goodBytes = readBytes(good);
    const std::string mp3Bytes = readBytes(mp3);
    std::filesystem::create_directories(dir.file("folder.wav"));
    ASSERT_EQ(mkfifo(dir.file("fifo.wav").c_str(), 0600), 0);
    const std::string unreadable = writeBytes("locked.wav", goodBytes);
    chmod(unreadable.c_str(), 0);

    std::vector<std::string> bad = {
        dir.file("missing.wav"),
        writeBytes("empty.wav", ""),
        writeBytes("header-only.wav", goodBytes.substr(0, 44)),
        writeBytes("corrupt.wav", std::string(4000, '\x5a')),
        writeBytes("text.mp3", "this is not audio at all, just words in a file\n"),
        writeBytes("cut.mp3", mp3Bytes.substr(0, 300)),
        writeBytes("garbage.mp3", mp3Bytes.substr(0, 50) + std::string(3000, '\xff')),
        dir.file("folder.wav"),
        dir.file("fifo.wav"),
        dir.file(""),
    };
    if (geteuid() != 0) // root reads it anyway
        bad.push_back(unreadable);
    for (const std::string& path : bad) {
        SCOPED_TRACE(path);
        control.OpenSample(path);
        control.PlaySample(true);
        control.OpenStream(path);
        control.PlayStream(true);
        EXPECT_FALSE(control.StreamIsActive());
        if (control.SampleIsActive()) { // a truncated file may play the frames it has
            EXPECT_NE(path, dir.file("missing.wav"));
        }
        render(512);
        control.StopSample();
        control.StopStream();
    }
    control.OpenSample(dir.file("missing.wav"));
    control.PlaySample(true);
    EXPECT_FALSE(control.SampleIsActive());
    EXPECT_TRUE(silent(render(256)));
    control.OpenSample(good);
    control.PlaySample(true);
    EXPECT_EQ(render(10)[0], 0.5f);
}

TEST_F(OfflineEngineTest, NothingHappensBeforeTheStartOrAfterTheRelease)
{
    const std::string path = sound("dc.wav", Constant(0.5f, 1000));
    control.OpenSample(path);
    control.PlaySample(true);
    ASSERT_TRUE(control.SampleIsActive());
    control.TerminateBASS();
    EXPECT_FALSE(engine().isRunning());
    EXPECT_FALSE(control.SampleIsActive());
    control.OpenSample(path);
    control.PlaySample(true);
    control.SampleVol(10);
    EXPECT_FALSE(control.SampleIsActive());
    EXPECT_TRUE(silent(render(100)));

    control.InitBASS(0, kRate, false, false); // starts again; the old slot content is gone
    control.PlaySample(true);
    EXPECT_FALSE(control.SampleIsActive());
    control.OpenSample(path);
    control.PlaySample(true);
    EXPECT_EQ(render(10)[0], 0.5f); // the volume put while stopped was ignored
}

#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/SoundFile.h"

TEST(DecodeSample, HoldsNoMoreThanOnePercentAboveItsFrames)
{
    TempDir dir;
    const std::string wav = dir.file("a.wav");
    const std::string mp3 = dir.file("a.mp3"); // its header count is no guide
    const std::string slow = dir.file("a22k.wav");
    ASSERT_TRUE(WriteSound(wav, kWav16, 2, 44100, noise(2 * 70001, 0.5f, 1)));
    ASSERT_TRUE(WriteSound(mp3, kMp3, 1, 44100, sine(70001, 1, 300.0, 44100, 0.5f)));
    ASSERT_TRUE(WriteSound(slow, kWav16, 1, 22050, noise(35000, 0.5f, 2)));
    for (const std::string& path : {wav, mp3, slow}) {
        SCOPED_TRACE(path);
        std::shared_ptr<const SampleBuffer> buffer;
        ASSERT_EQ(decodeSample(path, 44100, 1u << 30, buffer), DecodeResult::Ok);
        EXPECT_GT(buffer->frames(), 60000u);
        // The data block is allocated exactly; what the heap adds is not the buffer's doing.
        EXPECT_EQ(buffer->bytesHeld(), buffer->frames() * 8);
    }
    std::shared_ptr<const SampleBuffer> buffer;
    EXPECT_EQ(decodeSample(wav, 44100, 100000, buffer), DecodeResult::TooLarge);
    EXPECT_FALSE(buffer);
}
