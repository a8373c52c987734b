// SPDX-License-Identifier: GPL-3.0-or-later
// The input side of the back ends: the mix-down to mono, and the tap a device hands its input
// to. (The JACK client's "in", heard while a pad loop plays, is tested with the tuner's
// listener.)

#include "audio/capture/JackPortInput.h"
#include "audio/capture/SdlAudioInput.h"
#include "io/CaptureTap.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

// Keeps what a sink heard, without allocating on the device's thread.
struct Heard {
    std::vector<float> frames = std::vector<float>(4096);
    std::atomic<std::size_t> count{0};
    std::atomic<int> calls{0};
    static void sink(void* self, const float* mono, int n)
    {
        auto& heard = *static_cast<Heard*>(self);
        heard.calls.fetch_add(1);
        const std::size_t first = heard.count.load(std::memory_order_relaxed);
        const std::size_t take =
            std::min<std::size_t>(static_cast<std::size_t>(n), heard.frames.size() - first);
        std::copy_n(mono, take, heard.frames.begin() + static_cast<std::ptrdiff_t>(first));
        heard.count.store(first + take, std::memory_order_release);
    }
};

} // namespace

TEST(MixToMono, AveragesEveryChannelCountAndCopiesMono)
{
    struct Case {
        int channels;
        std::vector<float> interleaved;
        std::vector<float> mono;
    };
    const std::vector<Case> cases = {
        {1, {0.5f, -1.0f, 0.25f}, {0.5f, -1.0f, 0.25f}},
        {2, {1.0f, 0.0f, -0.5f, -0.5f, 1.0f, 1.0f}, {0.5f, -0.5f, 1.0f}},
        // A 5.1 interface with the guitar on one input only: heard, and never above full scale.
        {6, {0.6f, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1}, {0.1f, 1.0f}},
    };
    for (const Case& c : cases) {
        std::vector<float> mono(c.mono.size(), 9.0f);
        MixToMono(c.interleaved.data(), c.channels, static_cast<int>(mono.size()), mono.data());
        for (std::size_t i = 0; i < mono.size(); ++i)
            EXPECT_FLOAT_EQ(mono[i], c.mono[i]) << c.channels << " channels, frame " << i;
    }
}

TEST(CaptureTap, HandsFramesOnlyToTheAttachedSinkAndLosesItsListenerWithTheSource)
{
    CaptureTap tap;
    Heard heard;
    const float frames[3] = {0.1f, 0.2f, 0.3f};
    tap.deliver(frames, 3); // nobody listens: nothing happens

    JackPortInput input(tap);
    EXPECT_FALSE(input.open(&Heard::sink, &heard)) << "no device feeds the tap";

    tap.setSource(44100);
    ASSERT_TRUE(input.open(&Heard::sink, &heard));
    EXPECT_EQ(input.rate(), 44100);
    tap.deliver(frames, 3);
    EXPECT_EQ(heard.count.load(), 3u);
    EXPECT_FLOAT_EQ(heard.frames[2], 0.3f);

    // Another listener's leaving does not take this one's sink away.
    tap.detach(&tap);
    EXPECT_FALSE(input.lost());

    // The device closes and another opens at the same rate: the input is lost all the same.
    tap.setSource(0);
    tap.setSource(44100);
    EXPECT_TRUE(input.lost());
    input.close();
    tap.deliver(frames, 3);
    EXPECT_EQ(heard.count.load(), 3u);
}

TEST(CaptureTap, NoDeliveryRunsInsideASinkOnceItIsDetached)
{
    CaptureTap tap;
    tap.setSource(48000);
    std::atomic<bool> done{false};
    std::thread device([&] {
        const std::array<float, 64> block{};
        while (!done.load())
            tap.deliver(block.data(), static_cast<int>(block.size()));
    });
    for (int round = 0; round < 200; ++round) {
        Heard heard;
        JackPortInput input(tap);
        ASSERT_TRUE(input.open(&Heard::sink, &heard));
        while (heard.calls.load() == 0)
            std::this_thread::yield();
        input.close();
        const int calls = heard.calls.load();
        std::this_thread::yield();
        ASSERT_EQ(heard.calls.load(), calls) << "round " << round;
    }
    done = true;
    device.join();
}

TEST(CaptureTap, TheTunerAndTheRecorderBothHearTheInput)
{
    CaptureTap tap;
    tap.setSource(48000);
    Heard tuner;
    Heard recorder;
    JackPortInput tunerInput(tap);
    JackPortInput recorderInput(tap);
    ASSERT_TRUE(tunerInput.open(&Heard::sink, &tuner));
    ASSERT_TRUE(recorderInput.open(&Heard::sink, &recorder));
    const float frames[2] = {0.25f, 0.5f};
    tap.deliver(frames, 2);
    EXPECT_EQ(tuner.count.load(), 2u);
    EXPECT_EQ(recorder.count.load(), 2u);

    // One leaving leaves the other listening; a third takes the first place that is free.
    tunerInput.close();
    tap.deliver(frames, 2);
    EXPECT_EQ(tuner.count.load(), 2u);
    EXPECT_EQ(recorder.count.load(), 4u);
    Heard third;
    JackPortInput thirdInput(tap);
    ASSERT_TRUE(thirdInput.open(&Heard::sink, &third));
    tap.deliver(frames, 2);
    EXPECT_EQ(recorder.count.load(), 6u);
    EXPECT_EQ(third.count.load(), 2u);
}
