// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>

// What every test program runs with unless the caller chose otherwise: the offscreen platform for
// windows (test discovery at build time has no display) and SDL's dummy driver, which opens a
// device that keeps no time, so a test that starts the engine for real never needs a sound card;
// and sound servers that are not there.
inline void SetTestEnvironmentDefaults()
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("SDL_AUDIODRIVER") == nullptr)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    // A desktop's own sound servers stay out of the tests: a test that wants a server starts a
    // private one, which points these at itself.
    if (std::getenv("PULSE_SERVER") == nullptr)
        setenv("PULSE_SERVER", "unix:/nonexistent/quendel-tests-have-no-server", 1);
    if (std::getenv("JACK_DEFAULT_SERVER") == nullptr)
        setenv("JACK_DEFAULT_SERVER", "quendel-tests-have-no-server", 1);
}
