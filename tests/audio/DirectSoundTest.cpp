// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/DirectSound.h"
#include "AudioTestSupport.h"

using namespace audiotest;

namespace {

std::vector<std::uint8_t> toneBlock(int length, int period, int amplitude)
{
    std::vector<std::uint8_t> block(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(
            128 + std::lround(amplitude * std::sin(2.0 * M_PI * i / period)));
    return block;
}

float level(std::uint8_t byte)
{
    return (static_cast<float>(byte) - 128.0f) / 128.0f;
}

class PcmBufferTest : public OfflineEngineTest {
protected:
    std::shared_ptr<DirectSoundBuffer> create(int bytes)
    {
        DirectX7 dx(engine());
        auto device = dx.DirectSoundCreate("");
        device->SetCooperativeLevel(0, DSSCL_NORMAL);
        DSBUFFERDESC desc;
        desc.lFlags = DSBCAPS_STATIC;
        desc.lBufferBytes = bytes;
        return device->CreateSoundBuffer(desc, WAVEFORMATEX{});
    }
};

} // namespace

TEST_F(PcmBufferTest, LoopsItsBytesSampleExactlyOnBothSides)
{
    const auto block = toneBlock(4101, 44, 127); // 1000 Hz: the loop cuts a period short
    auto buffer = create(4101);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->bufferBytes(), 4101);
    buffer->WriteBuffer(0, 0, block.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    const std::vector<float> out = render(4101 * 3 + 5);
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        ASSERT_EQ(out[2 * i], level(block[i % 4101])) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], out[2 * i]) << "frame " << i;
    }
}

TEST_F(PcmBufferTest, RewriteInPlaceKeepsThePositionAndCrossfades)
{
    const auto quiet = toneBlock(4057, 88, 40);
    const auto loud = toneBlock(4057, 88, 120);
    auto buffer = create(4057);
    buffer->WriteBuffer(0, 0, quiet.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    std::vector<float> out = render(5000);
    buffer->WriteBuffer(0, 0, loud.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING); // every refresh plays again: it carries on
    const std::vector<float> after = render(4000);
    const std::size_t fade = kRate * 5 / 1000;
    for (std::size_t i = fade; i < after.size() / 2; ++i)
        ASSERT_EQ(after[2 * i], level(loud[(5000 + i) % 4057])) << "frame " << i;
    out.insert(out.end(), after.begin(), after.end());
    // The new content comes in gradually: no step beyond what the loud tone has itself.
    const float loudStep = 120.0f / 128.0f * static_cast<float>(2.0 * M_PI / 88.0);
    EXPECT_LE(largestStep(out, 0, 4990, 5000 + fade + 10), loudStep * 1.1f);
}

TEST_F(PcmBufferTest, ReplacingAndDroppingFadeInsteadOfClicking)
{
    const auto first = toneBlock(4057, 88, 120);
    const auto second = toneBlock(4101, 44, 120);
    auto buffer = create(4057);
    buffer->WriteBuffer(0, 0, first.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    std::vector<float> out = render(3000);
    buffer = create(4101); // the old one is released here
    buffer->WriteBuffer(0, 0, second.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    const std::vector<float> replaced = render(2000);
    EXPECT_EQ(replaced[2 * 1000], level(second[1000]));
    out.insert(out.end(), replaced.begin(), replaced.end());
    const float ownStep = 120.0f / 128.0f * static_cast<float>(2.0 * M_PI / 44.0);
    EXPECT_LE(largestStep(out, 0), ownStep * 1.1f);

    buffer.reset();
    const std::vector<float> dropped = render(kRate / 100);
    EXPECT_FALSE(silent(dropped));
    EXPECT_TRUE(silent(dropped, kRate * 5 / 1000));
}

TEST_F(PcmBufferTest, BuffersWorkWhileTheEngineIsStoppedButDoNotSound)
{
    control.TerminateBASS();
    const auto block = toneBlock(2205, 2205, 100);
    auto buffer = create(2205);
    ASSERT_TRUE(buffer);
    buffer->WriteBuffer(0, 0, block.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    control.InitBASS(0, kRate, false, false);
    EXPECT_TRUE(silent(render(1000)));
    buffer->Play(DSBPLAY_LOOPING); // played while running, it sounds
    EXPECT_EQ(render(10)[2 * 5], level(block[5]));
}

TEST_F(PcmBufferTest, UnusableDescriptionsGiveNoBuffer)
{
    DirectX7 dx(engine());
    auto device = dx.DirectSoundCreate("");
    DSBUFFERDESC empty;
    EXPECT_EQ(device->CreateSoundBuffer(empty, WAVEFORMATEX{}), nullptr);
    DSBUFFERDESC desc;
    desc.lBufferBytes = 100;
    WAVEFORMATEX stereo;
    stereo.nChannels = 2;
    EXPECT_EQ(device->CreateSoundBuffer(desc, stereo), nullptr);
    auto buffer = device->CreateSoundBuffer(desc, WAVEFORMATEX{});
    ASSERT_TRUE(buffer);
    buffer->WriteBuffer(0, 0, nullptr, DSBLOCK_ENTIREBUFFER); // ignored, no crash
    buffer->Play(DSBPLAY_LOOPING);
    EXPECT_TRUE(silent(render(200))); // 128 everywhere: silence
}

TEST(PcmBufferRate, PlaysAtItsOwnRateOnADeviceAtAnother)
{
    TestEngine engine;
    AudioControl control(*engine);
    control.InitBASS(0, 48000, false, false);
    DirectX7 dx(*engine);
    DSBUFFERDESC desc;
    desc.lBufferBytes = 4410; // 100 Hz at 44100: 44 periods per loop... one period each 441
    auto buffer = dx.DirectSoundCreate("")->CreateSoundBuffer(desc, WAVEFORMATEX{});
    const auto block = toneBlock(4410, 441, 120);
    buffer->WriteBuffer(0, 0, block.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    std::vector<float> out(48000 * 2);
    engine->mixer().render(out.data(), 48000);
    int crossings = 0;
    for (std::size_t i = 1; i < 48000; ++i)
        if (out[2 * (i - 1)] < 0.0f && out[2 * i] >= 0.0f)
            ++crossings;
    EXPECT_NEAR(crossings, 100, 1);

    // A 4 kHz tone, 11 samples a period at its own rate, stays a clean sine at the device's:
    // what it plays lies within the 8-bit step of the ideal wave (a straight line between
    // samples would stray four times as far).
    std::vector<std::uint8_t> high(4410);
    for (std::size_t i = 0; i < high.size(); ++i)
        high[i] = static_cast<std::uint8_t>(
            128 +
            std::lround(120 * std::sin(2.0 * M_PI * 4000.0 * static_cast<double>(i) / 44100)));
    auto tone = dx.DirectSoundCreate("")->CreateSoundBuffer(desc, WAVEFORMATEX{});
    buffer.reset();
    engine->mixer().render(out.data(), 4800); // the old tone fades out
    tone->WriteBuffer(0, 0, high.data(), DSBLOCK_ENTIREBUFFER);
    tone->Play(DSBPLAY_LOOPING);
    engine->mixer().render(out.data(), 4800);
    float worst = 0.0f;
    for (std::size_t j = 0; j < 4800; ++j) {
        const double ideal =
            120.0 / 128.0 * std::sin(2.0 * M_PI * 4000.0 * static_cast<double>(j) / 48000);
        worst = std::max(worst, static_cast<float>(std::fabs(out[2 * j] - ideal)));
    }
    EXPECT_LT(worst, 0.012f);
    tone.reset();
    control.TerminateBASS();
}
