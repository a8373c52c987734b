// SPDX-License-Identifier: GPL-3.0-or-later
// Switching loops on the cycle end, rendered offline and compared frame by frame with what the
// files decode to.

#include "AudioTestSupport.h"
#include "audio/mixer/Voice.h"
#include "audio/sounds/SampleBuffer.h"

using namespace audiotest;

namespace {

enum class Kind { Wav, Mp3, LongWav }; // LongWav: too large to hold, longer than the ring

// What one file sounds as: its path and its decoded stereo frames.
struct Clip {
    std::string path;
    std::vector<float> frames;
    std::size_t length() const { return frames.size() / 2; }
};

class LoopSwitch : public OfflineEngineTest {
protected:
    void SetUp() override
    {
        OfflineEngineTest::SetUp();
        engine().setSampleSizeLimit(200000); // 25000 frames
        control.BufferLenInSeconds(0.25);
    }

    // A ramp from `from` to `to` (a WAV, every frame telling its place) or a sine (an MP3).
    Clip clip(Kind kind, const std::string& name, float from, float to)
    {
        Clip c;
        if (kind == Kind::Mp3) {
            c.path =
                sound(name + ".mp3", sine(11025, 1, 441.0 * (1.0 + from), kRate, 0.5f), 1, kMp3);
        } else {
            const std::size_t frames = kind == Kind::Wav ? 9000 : 2 * kRate;
            std::vector<float> ramp(frames);
            for (std::size_t i = 0; i < frames; ++i)
                ramp[i] = from + (to - from) * static_cast<float>(i) / static_cast<float>(frames);
            c.path = sound(name + ".wav", ramp, 1, kWavFloat);
        }
        c.frames = decodeStereo(c.path);
        return c;
    }
};

// First frame of `got` that is not `a` looped from frame `aStart` up to `switchAt` and then `b`
// looped at the gains given (silence without `b`); -1 when all match.
long firstMismatch(const std::vector<float>& got, const Clip& a, std::size_t aStart,
                   std::size_t switchAt, const Clip* b, float left = 1.0f, float right = 1.0f)
{
    for (std::size_t i = 0; i < got.size() / 2; ++i) {
        float want[2] = {0.0f, 0.0f};
        if (i < switchAt) {
            const std::size_t j = (aStart + i) % a.length();
            want[0] = a.frames[2 * j];
            want[1] = a.frames[2 * j + 1];
        } else if (b) {
            const std::size_t j = (i - switchAt) % b->length();
            want[0] = b->frames[2 * j] * left;
            want[1] = b->frames[2 * j + 1] * right;
        }
        if (got[2 * i] != want[0] || got[2 * i + 1] != want[1])
            return static_cast<long>(i);
    }
    return -1;
}

// Where the cycle ends, as seen from a voice `lead` frames into its loop.
std::size_t framesToEnd(std::size_t lead, std::size_t length)
{
    return lead % length == 0 ? 0 : length - lead % length;
}

enum class Seam { MidBlock, AtBlockEnd, RightAfterQueue };

struct SwitchCase {
    const char* name;
    Kind a;
    Kind b;
    Seam seam;
    int block;
};

class Switches : public LoopSwitch, public ::testing::WithParamInterface<SwitchCase> {};

} // namespace

TEST_P(Switches, NextFileFollowsTheCycleEndsLastFrameWithItsOwnGains)
{
    const SwitchCase& c = GetParam();
    const Clip a = clip(c.a, "a", 0.1f, 0.4f);
    const Clip b = clip(c.b, "b", -0.2f, -0.6f);
    const std::size_t la = a.length();
    std::size_t lead = la; // RightAfterQueue: one whole cycle played, the seam is now
    if (c.seam == Seam::MidBlock)
        lead = la - 2 * static_cast<std::size_t>(c.block) - 100;
    else if (c.seam == Seam::AtBlockEnd)
        lead = la - 2 * static_cast<std::size_t>(c.block);
    if (c.a == Kind::LongWav)
        lead = static_cast<std::size_t>(kRate) / 10; // the cycle end is not decoded yet
    PlayFile(control, a.path, true);
    render(static_cast<int>(lead));

    control.QueueAtLoopEnd(b.path);
    const bool bIsStream = c.b == Kind::Mp3;
    bIsStream ? control.StreamVol(50) : control.SampleVol(50);
    bIsStream ? control.StreamPan(50) : control.SamplePan(50);
    EXPECT_TRUE(control.HasQueued());

    const std::size_t switchAt = framesToEnd(lead, la);
    std::vector<float> out;
    while (out.size() / 2 < switchAt + b.length() + 700) {
        const std::vector<float> block = render(c.block);
        out.insert(out.end(), block.begin(), block.end());
        if (out.size() / 2 != switchAt) { // right on the seam it may switch in the next block
            EXPECT_EQ(control.HasQueued(), out.size() / 2 < switchAt) << "after " << out.size();
        }
    }
    EXPECT_EQ(firstMismatch(out, a, lead % la, switchAt, &b, 0.25f, 0.5f), -1)
        << "the switch belongs after frame " << switchAt;
    EXPECT_TRUE(bIsStream ? control.StreamIsActive() : control.SampleIsActive());
    EXPECT_FALSE(bIsStream ? control.SampleIsActive() : control.StreamIsActive());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Switches,
    ::testing::Values(
        SwitchCase{"WavToWavMidBlock", Kind::Wav, Kind::Wav, Seam::MidBlock, 512},
        SwitchCase{"WavToWavAtBlockEnd", Kind::Wav, Kind::Wav, Seam::AtBlockEnd, 512},
        SwitchCase{"WavToWavRightAfterQueue", Kind::Wav, Kind::Wav, Seam::RightAfterQueue, 512},
        SwitchCase{"WavToWavInALongBlock", Kind::Wav, Kind::Wav, Seam::MidBlock, 3000},
        SwitchCase{"WavToMp3MidBlock", Kind::Wav, Kind::Mp3, Seam::MidBlock, 256},
        SwitchCase{"WavToMp3AtBlockEnd", Kind::Wav, Kind::Mp3, Seam::AtBlockEnd, 256},
        SwitchCase{"Mp3ToWavMidBlock", Kind::Mp3, Kind::Wav, Seam::MidBlock, 512},
        SwitchCase{"Mp3ToWavAtBlockEnd", Kind::Mp3, Kind::Wav, Seam::AtBlockEnd, 441},
        SwitchCase{"Mp3ToWavRightAfterQueue", Kind::Mp3, Kind::Wav, Seam::RightAfterQueue, 512},
        SwitchCase{"Mp3ToMp3MidBlock", Kind::Mp3, Kind::Mp3, Seam::MidBlock, 3000},
        SwitchCase{"Mp3ToMp3AtBlockEnd", Kind::Mp3, Kind::Mp3, Seam::AtBlockEnd, 1024},
        SwitchCase{"LongWavToMp3", Kind::LongWav, Kind::Mp3, Seam::MidBlock, 4096},
        SwitchCase{"WavToLongWav", Kind::Wav, Kind::LongWav, Seam::MidBlock, 512}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoopSwitch, StopAtLoopEndLeavesSilenceFromTheFrameAfterTheCycle)
{
    for (Kind kind : {Kind::Wav, Kind::Mp3}) {
        SCOPED_TRACE(kind == Kind::Wav ? "wav" : "mp3");
        const Clip a = clip(kind, "a", 0.1f, 0.4f);
        PlayFile(control, a.path, true);
        render(3000);
        control.StopAtLoopEnd();
        EXPECT_TRUE(control.HasQueued());
        const std::vector<float> out = render(static_cast<int>(a.length()));
        EXPECT_EQ(firstMismatch(out, a, 3000, a.length() - 3000, nullptr), -1);
        EXPECT_FALSE(control.HasQueued());
        EXPECT_FALSE(control.SampleIsActive() || control.StreamIsActive());
        EXPECT_EQ(control.LoopProgress(), 0.0);
    }
}

TEST_F(LoopSwitch, CancelKeepsLoopingAndLaterRequestsReplaceEarlierOnes)
{
    const Clip a = clip(Kind::Wav, "a", 0.1f, 0.4f);
    const Clip b = clip(Kind::Mp3, "b", 0.5f, 0.5f);
    const Clip c = clip(Kind::Wav, "c", -0.1f, -0.4f);
    PlayFile(control, a.path, true);
    render(1000);

    control.QueueAtLoopEnd(b.path);
    control.CancelQueued();
    EXPECT_FALSE(control.HasQueued());
    EXPECT_EQ(firstMismatch(render(9000), a, 1000, SIZE_MAX, nullptr), -1);

    control.StopAtLoopEnd();
    control.QueueAtLoopEnd(b.path); // a file instead of the stop
    control.QueueAtLoopEnd(c.path); // and another file instead of that one
    EXPECT_EQ(firstMismatch(render(12000), a, 1000, 8000, &c), -1);
    EXPECT_FALSE(control.StreamIsActive());

    control.QueueAtLoopEnd(b.path);
    control.StopSample(); // a direct stop drops the queued file too
    EXPECT_FALSE(control.HasQueued());
    render(1000);
    EXPECT_TRUE(silent(render(20000)));
    EXPECT_FALSE(control.StreamIsActive());
}

TEST_F(LoopSwitch, WithNothingPlayingTheFileLoopsAtOnce)
{
    const Clip a = clip(Kind::Mp3, "a", 0.0f, 0.0f);
    control.QueueAtLoopEnd(a.path);
    EXPECT_FALSE(control.HasQueued());
    EXPECT_EQ(firstMismatch(render(30000), a, 0, SIZE_MAX, nullptr), -1);
}

TEST_F(LoopSwitch, LoopProgressFollowsTheCycle)
{
    EXPECT_EQ(control.LoopProgress(), 0.0);
    for (Kind kind : {Kind::Wav, Kind::Mp3, Kind::LongWav}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const Clip a = clip(kind, "a", 0.1f, 0.4f);
        PlayFile(control, a.path, true);
        const int quarter = static_cast<int>(a.length() / 4);
        render(quarter);
        // An MP3's first pass is measured against what its header claims.
        EXPECT_NEAR(control.LoopProgress(), 0.25, kind == Kind::Mp3 ? 0.05 : 1e-4);
        render(static_cast<int>(a.length())); // a cycle later, its decoded length is known
        EXPECT_NEAR(control.LoopProgress(), 0.25, 1e-4);
        render(2 * quarter);
        EXPECT_NEAR(control.LoopProgress(), 0.75, 1e-4);
        Silence(control);
        EXPECT_EQ(control.LoopProgress(), 0.0);
        render(1000);
    }
}

TEST_F(OfflineEngineTest, RequestAimedAtAVoiceThatHandedOverReachesItsSuccessor)
{
    // The UI may ask the old voice for something just after the audio thread switched; the
    // request must act on what plays now.
    auto looped = [](std::size_t frames, float level) {
        auto data = std::make_unique<float[]>(frames * 2);
        std::fill_n(data.get(), frames * 2, level);
        return std::make_unique<SampleVoice>(
            std::make_shared<const SampleBuffer>(std::move(data), frames), true);
    };
    Voice* a = engine().mixer().startVoice(looped(300, 0.25f));
    Voice* b = engine().mixer().startVoiceAfter(looped(500, 0.5f), a);
    std::vector<float> out = render(400);
    EXPECT_EQ(out[2 * 299], 0.25f);
    EXPECT_EQ(out[2 * 300], 0.5f);
    ASSERT_TRUE(b->began() && a->finished());

    engine().mixer().endAtCycleEnd(a, true); // meant for a, which no longer plays
    out = render(500);
    EXPECT_EQ(out[2 * 399], 0.5f); // b's 500th frame
    EXPECT_TRUE(silent(out, 400));
    EXPECT_TRUE(b->finished());
    engine().mixer().stopVoice(a);
    engine().mixer().stopVoice(b);
}

namespace {

struct DryCase {
    const char* name;
    bool queueNext; // a second long file queued for the first one's cycle end
};

class LoopSwitchDryStream : public LoopSwitch, public ::testing::WithParamInterface<DryCase> {};

} // namespace

TEST_P(LoopSwitchDryStream, AnEmptyRingIsSilenceAndTheFileGoesOnWhereItStopped)
{
    // Without the read-ahead wait the engine renders faster than the readers decode.
    engine().mixer().setOfflineStreamWait(false);
    const Clip a = clip(Kind::LongWav, "a", 0.1f, 0.4f); // no frame of either is silent
    const Clip b = clip(Kind::LongWav, "b", -0.2f, -0.6f);
    // The n-th frame heard that is not silence: a looped, or a once and then b looped.
    const auto expected = [&](std::size_t n) {
        if (!GetParam().queueNext || n < a.length())
            return &a.frames[2 * (n % a.length())];
        return &b.frames[2 * ((n - a.length()) % b.length())];
    };
    std::size_t heard = 0, silentFrames = 0, heardAfterSilence = 0;
    long mismatch = -1;
    const auto follow = [&](const std::vector<float>& out) {
        for (std::size_t i = 0; i < out.size() / 2 && mismatch < 0; ++i) {
            if (out[2 * i] == 0.0f && out[2 * i + 1] == 0.0f) {
                ++silentFrames;
                continue;
            }
            const float* want = expected(heard);
            if (out[2 * i] != want[0] || out[2 * i + 1] != want[1])
                mismatch = static_cast<long>(heard);
            ++heard;
            heardAfterSilence += silentFrames > 0 ? 1 : 0;
        }
    };
    PlayFile(control, a.path, true);
    follow(render(1000));
    if (GetParam().queueNext)
        control.QueueAtLoopEnd(b.path);
    const std::size_t wanted = a.length() + b.length() / 2;
    eventually([&] {
        for (int i = 0; i < 4; ++i)
            follow(render(4096));
        return mismatch >= 0 || (heard >= wanted && heardAfterSilence > 0);
    });
    EXPECT_EQ(mismatch, -1) << "neither silence nor the file's next frame";
    EXPECT_GT(silentFrames, 0u) << "the ring never ran dry";
    EXPECT_GT(heardAfterSilence, 0u) << "it did not resume";
    EXPECT_GE(heard, wanted);
    EXPECT_FALSE(control.HasQueued());
}

INSTANTIATE_TEST_SUITE_P(Table, LoopSwitchDryStream,
                         ::testing::Values(DryCase{"Alone", false}, DryCase{"HandingOver", true}),
                         [](const auto& info) { return std::string(info.param.name); });
