// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioEngine.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The audio engine of one test, and everything the test changed around it. It owns the engine
// (offline unless the test gives it a device of its own), and remembers each environment
// variable the test sets through it (the back end, SDL's driver, a server's address), putting
// them back when it goes, also after a failed assertion ended the test early. The engine is
// stopped before that, so no device or housekeeping outlives the test.
class TestEngine {
public:
    // Offline: no device, the test pulls audio with Render.
    TestEngine();
    explicit TestEngine(AudioEngine::Options options);
    ~TestEngine();
    TestEngine(const TestEngine&) = delete;
    TestEngine& operator=(const TestEngine&) = delete;

    AudioEngine& operator*() { return m_engine; }
    AudioEngine* operator->() { return &m_engine; }
    AudioEngine& get() { return m_engine; }

    // Sets (or, with nullopt, removes) an environment variable for the test's length.
    void setEnv(const char* name, std::optional<std::string> value);

private:
    std::map<std::string, std::optional<std::string>> m_savedEnv;
    AudioEngine m_engine;
};

// Interleaved stereo from an offline engine: what the device would get.
std::vector<float> Render(AudioEngine& engine, int frames);
