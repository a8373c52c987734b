// SPDX-License-Identifier: GPL-3.0-or-later
// SDL's own PulseAudio driver on a server of the test's own: what a desktop without our native
// client plays through, and what happens to it when the server restarts.

#include "AudioTestSupport.h"
#include "PulseServerFixture.h"

#include <cstdlib>

using namespace audiotest;

// SDL's PulseAudio driver leaves some of libpulse's blocks behind when its server dies; nothing
// else in this program talks to libpulse but the test's own recorder.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:pa_xmalloc\n";
}

namespace {

using SdlOnPulseTest = PulseServerTest;

} // namespace

TEST_F(SdlOnPulseTest, ARestartedServerIsHeardAgainWithThePadStillPlaying)
{
    // SDL's own PulseAudio driver, pinned, on the test's server: what a desktop without our
    // native client would play through.
    setenv("QUENDEL_AUDIO", "sdl", 1);
    const char* old = std::getenv("SDL_AUDIODRIVER");
    const std::string oldDriver = old ? old : "";
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    LevelLoopEngine player;
    ASSERT_FALSE(player.path.empty());
    player.start();
    ASSERT_STREQ(player.engine->host().deviceName(), "sdl");
    player.playLoop();
    EXPECT_TRUE(eventually([&] { return std::fabs(recorder.recentLevel(4410) - 0.25f) < 0.01f; }));

    recorder.stop();
    server.stop();
    EXPECT_TRUE(player.reaches(""));
    EXPECT_TRUE(player.control.SampleIsActive());

    ASSERT_TRUE(server.start());
    ASSERT_TRUE(recorder.start(30));
    EXPECT_TRUE(player.reaches("sdl"));
    EXPECT_TRUE(eventually([&] { return std::fabs(recorder.recentLevel(4410) - 0.25f) < 0.01f; }));
    EXPECT_TRUE(player.control.SampleIsActive());

    player.control.TerminateBASS();
    unsetenv("QUENDEL_AUDIO");
    setenv("SDL_AUDIODRIVER", oldDriver.c_str(), 1);
}
