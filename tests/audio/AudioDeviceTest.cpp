#include "AudioTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace audiotest;

namespace {

// Starts the engine for real (device and housekeeping) with the given SDL driver.
class DeviceEngineTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("SDL_AUDIODRIVER");
        m_oldDriver = old ? old : "";
        setenv("SDL_AUDIODRIVER", GetParam(), 1);
        AudioEngine::setOfflineForTests(false);
    }
    void TearDown() override
    {
        control.TerminateBASS();
        AudioEngine::setOfflineForTests(true);
        if (m_oldDriver.empty())
            unsetenv("SDL_AUDIODRIVER");
        else
            setenv("SDL_AUDIODRIVER", m_oldDriver.c_str(), 1);
    }

    AudioControl control;
    TempDir dir;

private:
    std::string m_oldDriver;
};

} // namespace

TEST_P(DeviceEngineTest, OncePlayedFileEndsAndStoppedVoicesAreFreedWithOrWithoutADevice)
{
    const std::string path = dir.file("short.wav");
    ASSERT_TRUE(writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                           sine(4410, 1, 441.0, 44100, 0.5f)));
    control.InitBASS(0, 44100, false, false);
    ASSERT_TRUE(AudioEngine::instance().isRunning());
    EXPECT_EQ(AudioEngine::instance().deviceOpen(), std::string(GetParam()) == "dummy");
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
