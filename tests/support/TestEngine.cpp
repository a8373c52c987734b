// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEngine.h"

#include <cstdlib>

TestEngine::TestEngine() : TestEngine(AudioEngine::Options{true, {}}) {}

TestEngine::TestEngine(AudioEngine::Options options) : m_engine(std::move(options)) {}

TestEngine::~TestEngine()
{
    m_engine.stop();
    for (const auto& [name, value] : m_savedEnv) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

void TestEngine::setEnv(const char* name, std::optional<std::string> value)
{
    if (!m_savedEnv.contains(name)) {
        const char* old = std::getenv(name);
        m_savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

std::vector<float> Render(AudioEngine& engine, int frames)
{
    std::vector<float> out(static_cast<std::size_t>(frames) * 2, 123.0f);
    engine.mixer().render(out.data(), frames);
    return out;
}
