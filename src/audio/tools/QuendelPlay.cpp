// SPDX-License-Identifier: GPL-3.0-or-later
// quendel-play FILE [--loop] [--stream]: plays one file through the engine, for listening.
// Without a sound card, SDL's disk driver records what the device would get:
//   SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw quendel-play FILE

#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {
std::atomic<bool> g_interrupted{false};
void onSignal(int)
{
    g_interrupted = true;
}
} // namespace

int main(int argc, char** argv)
{
    std::string path;
    bool loop = false;
    bool stream = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--loop") == 0)
            loop = true;
        else if (std::strcmp(argv[i], "--stream") == 0)
            stream = true;
        else if (path.empty())
            path = argv[i];
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: quendel-play FILE [--loop] [--stream]\n");
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    AudioEngine engine;
    AudioControl control(engine);
    control.DeviceToUse(1);
    control.InitBASS(0, 44100, false, false);
    control.BufferLenInSeconds(1.0);
    control.SampleChanToModify(1);
    if (!engine.host().deviceOpen())
        std::fprintf(stderr, "quendel-play: no audio device, playing silently\n");

    auto active = [&] { return stream ? control.StreamIsActive() : control.SampleIsActive(); };
    if (stream) {
        control.OpenStream(path);
        control.PlayStream(loop);
    } else {
        control.OpenSample(path);
        control.PlaySample(loop);
    }
    if (!active()) {
        std::fprintf(stderr, "quendel-play: cannot play %s\n", path.c_str());
        control.TerminateBASS();
        return 1;
    }
    while (active() && !g_interrupted)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (stream)
        control.StopStream();
    else
        control.StopSample();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let the stop fade out
    control.TerminateBASS();
    return 0;
}
