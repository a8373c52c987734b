// SPDX-License-Identifier: GPL-3.0-or-later
// The PulseAudio stream and the engine on it, through a real server of the test's own.

#include "AudioTestSupport.h"
#include "PulseServerFixture.h"
#include "audio/host/PulseAudioDevice.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

using namespace audiotest;

namespace {

// A 441 Hz sine that runs on across refills; counts what it rendered.
struct SineSource {
    std::atomic<long> frames{0};
    static void render(void* self, float* out, int count)
    {
        auto* source = static_cast<SineSource*>(self);
        const long first = source->frames.load(std::memory_order_relaxed);
        for (int i = 0; i < count; ++i) {
            const auto value =
                0.5f * static_cast<float>(std::sin(2.0 * M_PI * 441.0 * (first + i) / 44100.0));
            out[2 * i] = out[2 * i + 1] = value;
        }
        source->frames.store(first + count, std::memory_order_relaxed);
    }
};

// The same sine, heard only while `sounding` is set; silence otherwise, counted.
struct GatedSine : SineSource {
    std::atomic<bool> sounding{false};
    std::atomic<long> silentFrames{0};
    static void render(void* self, float* out, int count)
    {
        auto* source = static_cast<GatedSine*>(self);
        if (source->sounding.load()) {
            SineSource::render(self, out, count);
        } else {
            std::fill(out, out + 2 * count, 0.0f);
            source->silentFrames.fetch_add(count, std::memory_order_relaxed);
        }
    }
};

// Waits until the server has played `frames` more frames to its sink (the recorder hears its
// monitor): time in which a playing stream would have been asked to refill several times over.
bool serverPlaysOn(const PulseMonitorRecorder& recorder, std::size_t frames)
{
    const std::size_t from = recorder.frames();
    return eventually([&] { return recorder.frames() > from + frames; });
}

// The first recorded frame from `from` on that is clearly loud, as frames after `from`.
std::size_t framesUntilLoud(const PulseMonitorRecorder& recorder, std::size_t from)
{
    const std::size_t end = recorder.frames();
    std::size_t loud = from;
    while (loud < end && std::fabs(recorder.data()[2 * loud]) < 0.1f)
        ++loud;
    return loud - from;
}

using PulseDeviceTest = PulseServerTest;
using PulseDeviceOnPipeWireTest = PipeWirePulseTest;

} // namespace

TEST_F(PulseDeviceTest, PlaysItsRefillsOnTheServerAndGrowsWhilePlaying)
{
    SineSource sine;
    PulseAudioDevice device;
    ASSERT_TRUE(device.open(44100, DefaultBufferPlan(), &SineSource::render, &sine));
    EXPECT_EQ(device.plan(), DefaultBufferPlan());
    // A sine of peak 0.5 has a mean level of 1 / pi.
    ASSERT_TRUE(eventually([&] { return std::fabs(recorder.recentLevel(4410) - 0.318f) < 0.02f; }));

    const BufferPlan larger = *LargerBufferPlan(DefaultBufferPlan());
    ASSERT_TRUE(device.resizeWhilePlaying(larger));
    EXPECT_EQ(device.plan(), larger);
    const long before = sine.frames.load();
    ASSERT_TRUE(eventually([&] { return sine.frames.load() > before + 44100; }));
    EXPECT_NEAR(recorder.recentLevel(4410), 0.318f, 0.02f);
    EXPECT_FALSE(device.lost());

    device.close();
    const long closed = sine.frames.load();
    ASSERT_TRUE(serverPlaysOn(recorder, 4 * static_cast<std::size_t>(larger.totalFrames())));
    EXPECT_EQ(sine.frames.load(), closed); // no refill after close
}

// PipeWire's PulseAudio service refills in quanta of its graph, larger than the default period
// and not what the stream asked for: it must play on seamlessly all the same.
TEST_F(PulseDeviceOnPipeWireTest, PlaysItsRefillsSeamlesslyInTheServersQuanta)
{
    SineSource sine;
    PulseAudioDevice device;
    ASSERT_TRUE(device.open(44100, DefaultBufferPlan(), &SineSource::render, &sine));
    EXPECT_EQ(device.rate(), 48000); // the server's own: nothing resamples on the way
    ASSERT_TRUE(eventually([&] { return std::fabs(recorder.recentLevel(4410) - 0.318f) < 0.02f; }));
    const std::size_t from = recorder.frames();
    ASSERT_TRUE(serverPlaysOn(recorder, 44100));
    // The sine runs on through every refill: it crosses zero, but is never silent for eight frames.
    const std::size_t to = recorder.frames();
    std::size_t run = 0, longest = 0;
    for (std::size_t i = from; i < to; ++i) {
        const bool silent = std::fabs(recorder.data()[2 * i]) < 1e-4f;
        run = silent ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_LT(longest, 8u);
    EXPECT_FALSE(device.lost());
}

TEST_F(PulseDeviceTest, AnIdleStreamStopsRefillingAndAWakeIsHeardAtOnce)
{
    GatedSine source;
    PulseAudioDevice device;
    ASSERT_TRUE(device.open(44100, DefaultBufferPlan(), &GatedSine::render, &source));

    // Silence alone does not park while the engine is busy (a pad may be playing a quiet bar):
    // half a second more of it than an idle engine parks after.
    ASSERT_TRUE(eventually([&] { return source.silentFrames.load() > 44100 * 3 / 2; }));
    EXPECT_FALSE(device.parked());

    device.setIdle(true);
    ASSERT_TRUE(eventually([&] { return device.parked(); }));
    const std::uint64_t refills = device.refills();
    const std::uint64_t underruns = device.reportedUnderruns();
    ASSERT_TRUE(serverPlaysOn(recorder, 44100 * 3 / 10));
    EXPECT_EQ(device.refills(), refills);             // nothing wakes the stream while it rests
    EXPECT_EQ(device.reportedUnderruns(), underruns); // the server's running dry is not one

    // A wake renders what the server asked for on the waking thread, the new sound first.
    const std::size_t pressed = recorder.frames();
    source.sounding = true;
    device.wake();
    EXPECT_FALSE(device.parked());
    EXPECT_GE(source.frames.load(), DefaultBufferPlan().periodFrames);
    ASSERT_TRUE(eventually([&] { return recorder.frames() > pressed + 44100 / 2; }));
    // Heard within the buffer and the monitor's own delay (a resting stream has no silence
    // queued ahead of the sound).
    EXPECT_LT(framesUntilLoud(recorder, pressed), 4410u);
    // And it plays on: the stream refills again as it did.
    const long rendered = source.frames.load();
    ASSERT_TRUE(eventually([&] { return source.frames.load() > rendered + 44100; }));
    EXPECT_NEAR(recorder.recentLevel(4410), 0.318f, 0.02f);
    EXPECT_FALSE(device.parked());
    device.close();
}

TEST_F(PulseDeviceTest, NoServerMeansNoDevice)
{
    server.stop();
    SineSource sine;
    PulseAudioDevice device;
    EXPECT_FALSE(device.open(44100, DefaultBufferPlan(), &SineSource::render, &sine));
    EXPECT_EQ(sine.frames.load(), 0);
}

TEST_F(PulseDeviceTest, TheEngineChoosesTheServerSurvivesItsLossAndComesBack)
{
    const char* old = std::getenv("SDL_AUDIODRIVER");
    const std::string oldDriver = old ? old : "";
    unsetenv("SDL_AUDIODRIVER"); // as on a desktop: the server is found, not named
    LevelLoopEngine player;
    // SDL's fallback must not find the server itself through ALSA's PulseAudio plugin: this
    // machine's only way to the server is the engine's own.
    const std::string alsaConfig = player.dir.file("asound.conf");
    std::ofstream{alsaConfig};
    setenv("ALSA_CONFIG_PATH", alsaConfig.c_str(), 1);
    ASSERT_FALSE(player.path.empty());
    player.start();
    EXPECT_STREQ(player.engine->host().deviceName(), "pulseaudio");
    player.playLoop();
    EXPECT_TRUE(eventually([&] { return std::fabs(recorder.recentLevel(4410) - 0.25f) < 0.01f; }));

    // The server ends: the pads go silent but keep working; SDL has no device on this machine.
    server.stop();
    EXPECT_TRUE(eventually([&] { return player.device() != "pulseaudio"; }));
    EXPECT_TRUE(player.control.SampleIsActive());

    // A server comes back: the loop is heard through it again, without a restart.
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(recorder.start(30));
    EXPECT_TRUE(player.reaches("pulseaudio")) << player.device();
    EXPECT_TRUE(eventually([&] { return std::fabs(recorder.recentLevel(4410) - 0.25f) < 0.01f; }));

    // At rest the stream parks; the next press wakes it and is heard at once, and plays on.
    player.control.StopSample();
    EXPECT_TRUE(eventually([&] { return player.engine->host().deviceParked(); }));
    const std::size_t pressed = recorder.frames();
    player.control.PlaySample(true);
    EXPECT_FALSE(player.engine->host().deviceParked());
    ASSERT_TRUE(eventually([&] { return recorder.frames() > pressed + 44100; }));
    EXPECT_LT(framesUntilLoud(recorder, pressed), 4410u);
    EXPECT_NEAR(recorder.recentLevel(4410), 0.25f, 0.01f);

    player.control.TerminateBASS();
    unsetenv("ALSA_CONFIG_PATH");
    if (!oldDriver.empty())
        setenv("SDL_AUDIODRIVER", oldDriver.c_str(), 1);
}
