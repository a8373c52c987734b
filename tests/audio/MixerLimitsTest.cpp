// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer at its limits: a batch larger than its command queue, more voices than it mixes, more
// to hand back than its return queue holds, and a queued voice stopped before its start.

#include "AudioTestSupport.h"
#include "audio/mixer/Mixer.h"
#include "audio/mixer/Voice.h"
#include "support/FakeDevice.h"

#include <mutex>
#include <unordered_set>

using namespace audiotest;

namespace {

// The test's own voices and blocks alive now, whichever thread frees them.
class Census {
public:
    void add(const Retired* object)
    {
        std::lock_guard lock(m_mutex);
        m_alive.insert(object);
    }
    void remove(const Retired* object)
    {
        std::lock_guard lock(m_mutex);
        m_alive.erase(object);
    }
    std::size_t count()
    {
        std::lock_guard lock(m_mutex);
        return m_alive.size();
    }
    std::vector<const Retired*> alive()
    {
        std::lock_guard lock(m_mutex);
        return {m_alive.begin(), m_alive.end()};
    }

private:
    std::mutex m_mutex;
    std::unordered_set<const Retired*> m_alive;
};

// A loop of `cycle` frames at one level on both sides; it ends on its cycle's last frame when
// asked to, as a looped file does.
class LevelVoice final : public Voice {
public:
    LevelVoice(Census& census, float level, long cycle = 1000)
        : Voice(Kind::Sample), m_census(census), m_level(level), m_cycle(cycle)
    {
        m_census.add(this);
    }
    ~LevelVoice() override { m_census.remove(this); }
    long produce(float* out, long frames) override
    {
        long done = 0;
        for (; done < frames; ++done, ++m_position) {
            if (m_position == m_cycle) {
                if (endAtCycleEnd) {
                    markFinished();
                    break;
                }
                m_position = 0;
            }
            out[2 * done] = out[2 * done + 1] = m_level;
        }
        return done;
    }

private:
    Census& m_census;
    float m_level;
    long m_cycle;
    long m_position = 0;
};

class CountedBlock final : public PcmBlock {
public:
    explicit CountedBlock(Census& census) : m_census(census) { m_census.add(this); }
    ~CountedBlock() override { m_census.remove(this); }

private:
    Census& m_census;
};

// The engine offline, or on a fake device whose thread the test is.
class MixerTest : public ::testing::Test {
protected:
    explicit MixerTest(bool onDevice)
        : m_onDevice(onDevice),
          engine(onDevice ? FakeDeviceOptions(state) : AudioEngine::Options{true, {}})
    {
    }
    void SetUp() override { engine->start(44100); }
    Mixer& mixer() { return engine->mixer(); }
    bool onDevice() const { return m_onDevice; }
    // The next block the device plays (offline: the next the engine renders).
    std::vector<float> block(int frames = 256)
    {
        return onDevice() ? state.pull(frames) : Render(*engine, frames);
    }
    // Blocks until one ends on `left`/`right`; false when none does within the bounded wait.
    bool heardUntil(float left, float right)
    {
        return eventually([&] {
            const auto b = block();
            return b.size() >= 2 && b[b.size() - 2] == left && b.back() == right;
        });
    }
    // Voices and blocks freed by whoever frees them: the host's housekeeping, or this thread.
    bool freedDownTo(std::size_t count)
    {
        return eventually([&] {
            block();
            mixer().collectGarbage();
            return census.count() == count;
        });
    }

    bool m_onDevice;
    Census census;
    FakeDeviceState state;
    TestEngine engine;
};

class MixerLimits : public MixerTest, public ::testing::WithParamInterface<bool> {
protected:
    MixerLimits() : MixerTest(GetParam()) {}
};

class MixerLimitsOffline : public MixerTest {
protected:
    MixerLimitsOffline() : MixerTest(false) {}
};

} // namespace

TEST_P(MixerLimits, ABatchLargerThanTheCommandQueueArrivesWholeAndInOrder)
{
    int scheduled = 0;
    mixer().setCommitScheduler([&] { ++scheduled; });
    Voice* voice = mixer().startVoice(std::make_unique<LevelVoice>(census, 0.5f));
    mixer().commitPending();
    ASSERT_TRUE(heardUntil(0.5f, 0.5f));

    // One UI event: the volume moved thousands of times while as many silent voices started
    // and stopped (a stop overtaking its start would free a voice before it is used).
    scheduled = 0;
    for (std::size_t i = 0; i < Mixer::kCommandQueueSize; ++i) {
        mixer().setGain(voice, static_cast<float>(i % 7) / 7.0f, 1.0f);
        mixer().stopVoice(mixer().startVoice(std::make_unique<LevelVoice>(census, 0.0f)));
    }
    mixer().setGain(voice, 0.5f, 0.25f);
    EXPECT_EQ(scheduled, 1);
    mixer().commitPending();

    EXPECT_TRUE(heardUntil(0.25f, 0.125f)) << "the last volume set is the one heard";
    const auto after = block(1024);
    ASSERT_FALSE(after.empty());
    for (std::size_t i = 0; i < after.size(); i += 2)
        ASSERT_TRUE(after[i] == 0.25f && after[i + 1] == 0.125f) << "frame " << i / 2;
    EXPECT_TRUE(freedDownTo(1));
    mixer().stopVoice(voice);
    mixer().commitPending();
    EXPECT_TRUE(freedDownTo(0));
}

INSTANTIATE_TEST_SUITE_P(Driven, MixerLimits, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "OnADevice" : "Offline"; });

TEST_F(MixerLimitsOffline, OneVoiceMoreThanTheMixerHoldsShowsFinishedAndTheOthersPlay)
{
    std::vector<Voice*> voices;
    for (int i = 0; i <= Mixer::kMaxVoices; ++i)
        voices.push_back(mixer().startVoice(std::make_unique<LevelVoice>(census, 1.0f / 256)));
    const auto out = block();
    for (float sample : out)
        ASSERT_EQ(sample, Mixer::kMaxVoices / 256.0f);
    for (int i = 0; i < Mixer::kMaxVoices; ++i)
        EXPECT_FALSE(voices[static_cast<std::size_t>(i)]->finished()) << i;
    EXPECT_TRUE(voices.back()->finished());
    for (Voice* voice : voices)
        mixer().stopVoice(voice);
    EXPECT_TRUE(freedDownTo(0));
}

TEST_F(MixerLimitsOffline, WhatAFullReturnQueueCannotTakeIsCountedAndNothingElseIsLost)
{
    // Blocks a looped file cannot take go straight back; more of them than the return queue
    // holds, applied over a few blocks with nobody freeing in between.
    Voice* voice = mixer().startVoice(std::make_unique<LevelVoice>(census, 0.5f));
    constexpr std::size_t kExtra = 100;
    for (std::size_t i = 0; i < Mixer::kReturnQueueSize + kExtra; ++i)
        mixer().replacePcm(voice, std::make_unique<CountedBlock>(census));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(block()[0], 0.5f);
    EXPECT_EQ(mixer().lostRetired(), kExtra);

    mixer().stopVoice(voice);
    EXPECT_TRUE(freedDownTo(kExtra)) << "all but the ones the mixer could not hand back";
    for (const Retired* lost : census.alive())
        delete lost; // the mixer let go of them: nobody else will
}

TEST_F(MixerLimitsOffline, AQueuedVoiceStoppedBeforeItsStartNeverSoundsAndIsFreed)
{
    for (int lead : {0, 300}) { // stopped in the same batch, or a block later
        SCOPED_TRACE(lead);
        Voice* playing = mixer().startVoice(std::make_unique<LevelVoice>(census, 0.25f));
        block(100);
        Voice* queued =
            mixer().startVoiceAfter(std::make_unique<LevelVoice>(census, 0.5f), playing);
        if (lead > 0)
            block(lead);
        mixer().stopVoice(queued);
        const auto out = block(3000); // past two cycle ends
        for (float sample : out)
            ASSERT_EQ(sample, 0.25f);
        EXPECT_FALSE(playing->finished());
        EXPECT_TRUE(freedDownTo(1));
        mixer().stopVoice(playing);
        EXPECT_TRUE(freedDownTo(0));
    }
}
