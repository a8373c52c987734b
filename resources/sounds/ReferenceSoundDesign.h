// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sounds {

constexpr int kSampleRate = 44100;

// The pitch of a note in equal temperament with A4 = 440 Hz (MIDI numbering: 69 is A4).
double notePitch(int midiNote);

// One reference sound: its resource name and its samples, ready for 16-bit PCM.
struct ReferenceSound {
    std::string name;
    std::vector<std::int16_t> samples;
};

// A tuner string: its resource name, its note and how long its reference tone lasts.
struct TunerString {
    const char* name;
    int midiNote;
    double seconds;
};

// The six open strings in standard tuning, low to high. The B string is named "H", as German
// musicians call it; the high E string is "E2".
const std::vector<TunerString>& tunerStrings();

// A single plucked note of `frequency` lasting `seconds`, its ringing at -17 dBFS RMS and its
// peak at most -3 dBFS, fading to exact silence over its last tenth of a second.
std::vector<double> stringTone(double frequency, double seconds, std::uint64_t seed);

// An open E major chord (E2 B2 E3 G#3 B3 E4) strummed downward, about 2.6 s.
std::vector<double> strummedChord();

// Exactly periodic pink noise of `frames` samples (a power of two): the file loops without a
// seam. Peak at -3 dBFS.
std::vector<double> pinkNoise(int frames, std::uint64_t seed);

// The polarity test signal: a short train of positive-going clicks, about 0.17 s. A click that
// pushes the cone outward sounds distinctly different from one that pulls it in, so a listener
// hears whether a speaker is wired the right way round.
std::vector<double> polarityClicks();

// One second of white noise at -20 dBFS RMS.
std::vector<double> whiteNoise(std::uint64_t seed);

// Scales [-1, 1] to 16-bit, rounding to nearest and clamping to [-32767, 32767], so that every
// sample can also be negated exactly.
std::vector<std::int16_t> toPcm16(const std::vector<double>& samples);

// All eleven reference sounds, in the order the program carries them.
std::vector<ReferenceSound> referenceSounds();

} // namespace sounds
