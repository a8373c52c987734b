// SPDX-License-Identifier: GPL-3.0-or-later
#include "Metronome.h"

#include <algorithm>
#include <cmath>

namespace {
std::vector<float> burst(int sampleRate, double hz, float level)
{
    // 25 ms of sine decaying with a 6 ms time constant; the last 2 ms lead it down to zero, so
    // the click ends without a step of its own.
    const auto rate = static_cast<double>(std::max(sampleRate, 1));
    const auto frames = static_cast<std::size_t>(std::max(1.0, std::round(rate * 0.025)));
    const double tail = std::max(1.0, rate * 0.002);
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double left = static_cast<double>(frames - i);
        const double end = std::min(1.0, left / tail);
        samples[i] =
            static_cast<float>(level * std::sin(2.0 * M_PI * hz * t) * std::exp(-t / 0.006) * end);
    }
    return samples;
}
} // namespace

std::unique_ptr<ClickSound> ClickSound::make(int sampleRate)
{
    auto sound = std::make_unique<ClickSound>();
    sound->accent = burst(sampleRate, 1760.0, 1.0f);
    sound->beat = burst(sampleRate, 1320.0, 0.6f);
    return sound;
}

ClickSound* Metronome::setSound(ClickSound* sound)
{
    ClickSound* old = m_sound;
    m_sound = sound;
    m_playing = nullptr; // the old samples go back to the UI thread
    return old;
}

void Metronome::trigger(bool accent)
{
    if (!m_sound)
        return;
    m_playing = accent ? &m_sound->accent : &m_sound->beat;
    m_position = 0;
}

void Metronome::render(float* out, int frames, float level)
{
    if (!m_playing || frames <= 0)
        return;
    const std::vector<float>& samples = *m_playing;
    const auto count = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(frames), samples.size() - m_position));
    for (int i = 0; i < count; ++i) {
        const float value = samples[m_position + static_cast<std::size_t>(i)] * level;
        out[2 * i] += value;
        out[2 * i + 1] += value;
    }
    m_position += static_cast<std::size_t>(count);
    if (m_position >= samples.size())
        m_playing = nullptr;
}
