// SPDX-License-Identifier: GPL-3.0-or-later
// Pads at another tempo and key: a stretched sine keeps its pitch, a shifted one moves by exactly
// the interval, the result has the cycle's length and loops without a click; and the stretched
// sounds render on their worker, drop what is no longer wanted and follow a changed file.

#include "audio/sounds/Stretch.h"
#include "AudioTestSupport.h"
#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/StretchedSounds.h"

#include <atomic>
#include <cmath>
#include <fstream>

using namespace audiotest;

namespace {

constexpr int kRate = 44100;
constexpr std::size_t kBarFrames = 88200; // one bar at 120 BPM

SampleBuffer stereoSine(std::size_t frames, double hz, float level = 0.5f)
{
    const std::vector<float> samples = sine(frames, 2, hz, kRate, level);
    auto data = std::make_unique<float[]>(samples.size());
    std::copy(samples.begin(), samples.end(), data.get());
    return SampleBuffer(std::move(data), frames);
}

// The frequency of a steady sine over frames [from, to) of the left channel: upward zero
// crossings, placed between frames by interpolation, counted over the time they span.
double frequencyOf(const SampleBuffer& sound, std::size_t from, std::size_t to)
{
    const float* left = sound.data();
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        const float a = left[2 * (i - 1)], b = left[2 * i];
        if (a < 0.0f && b >= 0.0f) {
            const double at = static_cast<double>(i - 1) + a / (a - b);
            if (first < 0.0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * kRate / (last - first);
}

double cents(double frequency, double expected)
{
    return 1200.0 * std::log2(frequency / expected);
}

std::vector<float> framesOf(const SampleBuffer& sound)
{
    return {sound.data(), sound.data() + sound.frames() * 2};
}

// A bar of 440 Hz (880 whole cycles) from 120 to 100 BPM: 1056 whole cycles in the new bar, so a
// loop that keeps the pitch must also meet itself at the seam.
TEST(Stretch, SlowerLoopKeepsItsPitchItsLengthAndHasNoClickAtTheSeam)
{
    const SampleBuffer bar = stereoSine(kBarFrames, 440.0);
    const double cycle = kBarFrames * 1.2;
    const auto slower = RenderStretched(bar, cycle, 1.0, true, nullptr, kRate);
    ASSERT_TRUE(slower);
    ASSERT_EQ(slower->frames(), 105840u);
    const std::size_t frames = slower->frames();
    EXPECT_NEAR(cents(frequencyOf(*slower, 0, frames), 440.0), 0.0, 1.0);

    const std::vector<float> out = framesOf(*slower);
    for (int channel = 0; channel < 2; ++channel) {
        const float inside = largestStep(out, channel);
        const float seam = std::fabs(out[static_cast<std::size_t>(channel)] -
                                     out[2 * (frames - 1) + static_cast<std::size_t>(channel)]);
        EXPECT_LE(seam, inside) << "channel " << channel;
        EXPECT_GT(inside, 0.03f); // it sounds: a 440 Hz sine at half scale steps by 0.031
    }
}

TEST(Stretch, SevenSemitonesUpIsAFifthToTheCentAtTheSameLength)
{
    const SampleBuffer bar = stereoSine(kBarFrames, 440.0);
    const double fifth = std::pow(2.0, 7.0 / 12.0);
    for (const bool loop : {true, false}) {
        const auto shifted = RenderStretched(bar, kBarFrames, fifth, loop, nullptr, kRate);
        ASSERT_TRUE(shifted);
        ASSERT_EQ(shifted->frames(), kBarFrames);
        // Away from the ends, where a sound played once begins and ends.
        const double frequency = frequencyOf(*shifted, kRate / 4, kBarFrames - kRate / 4);
        EXPECT_NEAR(frequency / 440.0, 1.4983, 0.0001);
        EXPECT_NEAR(cents(frequency, 440.0 * fifth), 0.0, 1.0) << (loop ? "loop" : "once");
    }
}

TEST(Stretch, FractionalCyclesClampedRatiosBadInputAndCancelling)
{
    const SampleBuffer tone = stereoSine(20000, 500.0);
    EXPECT_EQ(RenderStretched(tone, 24000.4, 1.0, true)->frames(), 24001u);
    EXPECT_EQ(RenderStretched(tone, 24000.0, 1.0, false)->frames(), 24000u);
    // Held to half and double the length.
    EXPECT_EQ(RenderStretched(tone, 200000.0, 1.0, true)->frames(), 40000u);
    EXPECT_EQ(RenderStretched(tone, 10.0, 1.0, true)->frames(), 10000u);
    // Nonsense ratios and pitches play as recorded.
    EXPECT_EQ(RenderStretched(tone, std::nan(""), std::nan(""), true)->frames(), 20000u);
    EXPECT_EQ(RenderStretched(tone, -5.0, -1.0, false)->frames(), 20000u);
    // A loop far shorter than the stretcher's window still renders.
    EXPECT_EQ(RenderStretched(stereoSine(64, 689.0625), 80.0, 1.0, true)->frames(), 80u);
    EXPECT_FALSE(RenderStretched(SampleBuffer(), 1000.0, 1.0, true));
    const std::atomic<bool> cancel{true};
    EXPECT_FALSE(RenderStretched(tone, 24000.0, 1.0, true, &cancel));
}

class StretchedSoundsTest : public OfflineEngineTest {
protected:
    StretchedSounds& stretched() { return engine().stretched(); }

    // Rendering is slow under the sanitizers: a generous bound, only a hang fails.
    bool settled()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (stretched().busy() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !stretched().busy();
    }

    std::string tone(const std::string& name, double seconds, float level)
    {
        return sound(name, sine(static_cast<std::size_t>(seconds * kRate), 1, 441.0, kRate, level));
    }

    static float peak(const SampleBuffer& sound)
    {
        float most = 0.0f;
        for (std::size_t i = 0; i < sound.frames() * 2; ++i)
            most = std::max(most, std::fabs(sound.data()[i]));
        return most;
    }
};

TEST_F(StretchedSoundsTest, RendersOnItsWorkerAndDropsWhatIsNoLongerWanted)
{
    std::atomic<int> finished{0};
    stretched().setReadyListener([&] { ++finished; });
    const std::string path = tone("loop.wav", 1.0, 0.5f);
    const SoundRender slower{path, 55125.5, 1.0};
    const SoundRender asRecorded{path, 0.0, 1.0};
    stretched().keepRendered({slower, asRecorded});
    ASSERT_TRUE(settled());

    const StretchedSounds::Found found = stretched().find(slower);
    ASSERT_EQ(found.state, StretchedSounds::State::Ready);
    EXPECT_EQ(found.sound->frames(), 55126u);
    EXPECT_NEAR(peak(*found.sound), 0.5f, 0.05f);
    EXPECT_EQ(stretched().bytesHeld(), found.sound->bytesHeld());
    EXPECT_EQ(finished, 2);
    // As recorded, the render is the ready sound itself: one buffer for both.
    const StretchedSounds::Found same = stretched().find(asRecorded);
    ASSERT_EQ(same.state, StretchedSounds::State::Ready);
    EXPECT_EQ(same.sound, engine().sounds().find(path).sound);

    // No longer wanted: dropped, while a voice that plays it keeps its buffer whole.
    stretched().keepRendered({asRecorded});
    EXPECT_EQ(stretched().find(slower).state, StretchedSounds::State::NotReady);
    EXPECT_EQ(stretched().bytesHeld(), 0u);
    EXPECT_EQ(found.sound->frames(), 55126u);
    EXPECT_NEAR(peak(*found.sound), 0.5f, 0.05f);

    // A new rate drops every render; the wanted ones come back at it.
    engine().stop();
    engine().start(48000);
    EXPECT_EQ(stretched().find(asRecorded).state, StretchedSounds::State::NotReady);
    ASSERT_TRUE(settled());
    ASSERT_EQ(stretched().find(asRecorded).state, StretchedSounds::State::Ready);
    EXPECT_NEAR(static_cast<double>(stretched().find(asRecorded).sound->frames()), 48000.0, 2.0);
}

TEST_F(StretchedSoundsTest, FileChangedOnDiskIsRenderedAgain)
{
    const std::string path = tone("changing.wav", 1.0, 0.5f);
    const SoundRender faster{path, 40000.0, std::pow(2.0, 2.0 / 12.0)};
    stretched().keepRendered({faster});
    ASSERT_TRUE(settled());
    ASSERT_EQ(stretched().find(faster).state, StretchedSounds::State::Ready);

    tone("changing.wav", 1.5, 0.25f); // rewritten in place, longer and quieter
    EXPECT_EQ(stretched().find(faster).state, StretchedSounds::State::NotReady);
    ASSERT_TRUE(settled());
    const StretchedSounds::Found found = stretched().find(faster);
    ASSERT_EQ(found.state, StretchedSounds::State::Ready);
    EXPECT_EQ(found.sound->frames(), 40000u);
    EXPECT_NEAR(peak(*found.sound), 0.25f, 0.03f);
}

TEST_F(StretchedSoundsTest, MissingCorruptOrTooLargeFilesAreNotRenderable)
{
    const std::string missing = dir.file("missing.wav");
    const std::string corrupt = dir.file("corrupt.wav");
    std::ofstream(corrupt) << "RIFF, but not a sound at all";
    const std::string large = tone("large.wav", 2.0, 0.5f);
    engine().setSampleSizeLimit(44100 * 8); // one second of stereo floats
    const std::vector<SoundRender> renders{
        {missing, 1000.0, 1.0}, {corrupt, 1000.0, 1.0}, {large, 100000.0, 1.0}};
    stretched().keepRendered(renders);
    ASSERT_TRUE(settled());
    for (const SoundRender& render : renders) {
        const StretchedSounds::Found found = stretched().find(render);
        EXPECT_EQ(found.state, StretchedSounds::State::NotRenderable) << render.path;
        EXPECT_FALSE(found.sound);
    }
    EXPECT_EQ(stretched().bytesHeld(), 0u);
}

} // namespace
