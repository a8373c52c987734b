// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioEngine.h"
#include "deck/PadDeck.h"

#include <optional>

// The program as a whole: it makes the audio engine and the pad deck that plays through it once,
// and hands the deck to the bar, which hands the engine on to the tool windows, MIDI and the
// output menu. Nothing reaches the engine any other way, so a test builds just the parts it
// uses, with an engine of its own.
class Application {
public:
    Application() = default;
    // The windows go before the engine they play through.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The start procedure, then the bar. Returns the exit code when the start ends the program
    // (a second copy: 0; missing skin images: 1), or nothing once the bar shows.
    std::optional<int> start();

private:
    AudioEngine m_engine;
    PadDeck m_deck{m_engine};
};
