#pragma once

#include <cstdlib>

// What every test program runs with unless the caller chose otherwise: the offscreen platform for
// windows (test discovery at build time has no display) and SDL's dummy driver, which opens a
// device that keeps no time, so a test that starts the engine for real never needs a sound card.
inline void SetTestEnvironmentDefaults()
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("SDL_AUDIODRIVER") == nullptr)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
}
