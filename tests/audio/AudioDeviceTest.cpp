// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioTestSupport.h"
#include "audio/host/OutputChoice.h"
#include "audio/host/SdlAudioDevice.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace audiotest;

namespace {

// Starts the engine for real (device and housekeeping) with the given SDL driver.
class DeviceEngineTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { engine.setEnv("SDL_AUDIODRIVER", GetParam()); }

    TestEngine engine{AudioEngine::Options{}};
    AudioControl control{*engine};
    TempDir dir;
};

} // namespace

TEST_P(DeviceEngineTest, OncePlayedFileEndsAndStoppedVoicesAreFreedWithOrWithoutADevice)
{
    const std::string path = dir.file("short.wav");
    ASSERT_TRUE(WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                           sine(4410, 1, 441.0, 44100, 0.5f)));
    control.InitBASS(0, 44100, false, false);
    ASSERT_TRUE(engine->isRunning());
    EXPECT_EQ(engine->host().deviceOpen(), std::string(GetParam()) == "dummy");
    control.OpenSample(path);
    control.PlaySample(false);
    EXPECT_TRUE(control.SampleIsActive());
    EXPECT_TRUE(eventually([&] { return !control.SampleIsActive(); }));

    control.OpenStream(path);
    control.PlayStream(true);
    EXPECT_TRUE(control.StreamIsActive());
    control.StopStream();
    EXPECT_FALSE(control.StreamIsActive());
}

INSTANTIATE_TEST_SUITE_P(Drivers, DeviceEngineTest, ::testing::Values("dummy", "no-such-driver"));

TEST(OutputChoiceTest, StoredTextReadsBackAndWhatCannotBeReadMeansTheDefault)
{
    for (const char* text : {"default", "JACK", "PulseAudio", "SDL", "SDL: USB Audio CODEC"})
        EXPECT_EQ(OutputChoice::fromText(text).text(), text);
    // Hand edits: case and blanks do not matter, and the device's own name keeps its case.
    EXPECT_EQ(OutputChoice::fromText("  jack ").backend, OutputChoice::Backend::Jack);
    EXPECT_EQ(OutputChoice::fromText("sdl:  Scarlett 2i2 ").sdlDevice, "Scarlett 2i2");
    for (const char* nonsense : {"", "ASIO", "SDL:", "SDL:   ", "JACKJACK", "\xff\xfe"})
        EXPECT_EQ(OutputChoice::fromText(nonsense), OutputChoice{}) << nonsense;
}

TEST(OutputChoiceTest, AnOutputThatIsNotThereMeansTheUsualOrderWithoutAWord)
{
    // With SDL's dummy driver (the tests' default) the usual order ends at it.
    unsetenv("QUENDEL_AUDIO");
    float sink = 0.0f;
    auto render = [](void* self, float*, int) { *static_cast<float*>(self) += 1.0f; };
    for (const char* text : {"SDL: no such device", "JACK", "PulseAudio"}) {
        auto device = OpenBestAudioDevice(44100, DefaultBufferPlan(), render, &sink,
                                          OutputChoice::fromText(text));
        ASSERT_NE(device, nullptr) << text;
        EXPECT_STREQ(device->name(), "sdl") << text;
    }
    // What SDL names can be opened by that name.
    const std::vector<std::string> names = SdlOutputDevices();
    ASSERT_FALSE(names.empty());
    SdlAudioDevice named(names.front());
    EXPECT_TRUE(named.open(44100, DefaultBufferPlan(), render, &sink));
    named.close();
    SdlAudioDevice missing("no such device");
    EXPECT_FALSE(missing.open(44100, DefaultBufferPlan(), render, &sink));
}
