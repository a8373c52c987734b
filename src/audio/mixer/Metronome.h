// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Voice.h"

#include <memory>
#include <vector>

// The two clicks of the metronome at one rate, as mono samples at full level: a short decaying
// sine burst, higher and louder on the first beat of a bar. Made on the UI thread (they allocate)
// and handed to the audio thread, which gives them back, like a voice, when they are replaced.
class ClickSound : public Retired {
public:
    static std::unique_ptr<ClickSound> make(int sampleRate);

    std::vector<float> accent;
    std::vector<float> beat;
};

// The metronome's player on the audio thread: a click starts at a grid line and plays out over
// the next frames, whatever renders them; a new click cuts the one before. Neither allocates nor
// waits.
class Metronome {
public:
    // Takes `sound` (may be null: no clicks) and returns the one to give back.
    ClickSound* setSound(ClickSound* sound);
    ClickSound* sound() const { return m_sound; }

    // A click from the next frame rendered on.
    void trigger(bool accent);
    void silence() { m_playing = nullptr; }
    bool sounding() const { return m_playing != nullptr; }
    // Adds `frames` stereo frames of the click playing, at `level`, to `out`.
    void render(float* out, int frames, float level);

private:
    ClickSound* m_sound = nullptr;
    const std::vector<float>* m_playing = nullptr;
    std::size_t m_position = 0;
};
