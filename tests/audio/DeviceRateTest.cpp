// SPDX-License-Identifier: GPL-3.0-or-later
// The engine on a device that imposes its rate (as a JACK server does): sounds keep their pitch
// at the device's rate, and after a reopen at another rate.

#include "AudioTestSupport.h"
#include "audio/DirectSound.h"
#include "support/FakeDevice.h"

using namespace audiotest;

namespace {

// The left channel's frequency from its rising zero crossings, placed between frames.
double measuredHz(const std::vector<float>& stereo, int rate)
{
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < stereo.size() / 2; ++i) {
        const float a = stereo[2 * (i - 1)], b = stereo[2 * i];
        if (a < 0.0f && b >= 0.0f) {
            const double at = static_cast<double>(i - 1) + a / (a - b);
            (first < 0.0 ? first : last) = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0.0;
}

class DeviceRateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.rate = 48000;
        control.InitBASS(0, 44100, false, false);
        ASSERT_STREQ(engine().host().deviceName(), "fake");
    }
    void TearDown() override { control.TerminateBASS(); }
    AudioEngine& engine() { return *testEngine; }
    // One second of what the device plays, after a block for the start to settle.
    std::vector<float> listen(int rate)
    {
        state.pull(1024);
        std::vector<float> heard;
        while (heard.size() < static_cast<std::size_t>(rate) * 2) {
            const auto block = state.pull(256);
            heard.insert(heard.end(), block.begin(), block.end());
        }
        return heard;
    }

    FakeDeviceState state;
    TestEngine testEngine{FakeDeviceOptions(state)};
    AudioControl control{*testEngine};
    TempDir dir;
};

} // namespace

TEST_F(DeviceRateTest, A1000HzPadAndToneKeepTheirPitchAtTheDevicesRateAndAfterAReopenAtAnother)
{
    EXPECT_EQ(engine().sampleRate(), 48000);
    // One second at 44.1 kHz holds exactly 1000 periods: the loop is seamless.
    const std::string path = dir.file("tone.wav");
    ASSERT_TRUE(WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                           sine(44100, 1, 1000.0, 44100, 0.5f)));
    control.OpenSample(path);
    control.PlaySample(true);
    EXPECT_NEAR(measuredHz(listen(48000), 48000), 1000.0, 0.5) << "sample file";

    // The server comes back at 44.1 kHz with the pad still playing.
    state.rate = 44100;
    state.lose();
    ASSERT_TRUE(eventually([&] { return state.opens == state.lostOpen + 1; }));
    EXPECT_TRUE(control.SampleIsActive());
    EXPECT_NEAR(measuredHz(listen(44100), 44100), 1000.0, 0.5) << "after the reopen";
    control.StopSample();

    // The tone generator's 8-bit block at 44.1 kHz, on a fresh start at 48 kHz.
    control.TerminateBASS();
    state.rate = 48000;
    control.InitBASS(0, 44100, false, false);
    ASSERT_EQ(engine().sampleRate(), 48000);
    std::vector<std::uint8_t> block(44100);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(std::lround(
            127.5 + 100.0 * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / 44100.0)));
    DirectX7 dx(engine());
    auto buffer = dx.DirectSoundCreate("")->CreateSoundBuffer({DSBCAPS_STATIC, 44100}, {});
    ASSERT_TRUE(buffer);
    buffer->WriteBuffer(0, 44100, block.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    EXPECT_NEAR(measuredHz(listen(48000), 48000), 1000.0, 0.5) << "tone block";
}
