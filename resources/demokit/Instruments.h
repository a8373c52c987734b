// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace demokit {

// The kit's instruments. Each returns one hit or note from its onset on, peaking near 1 (before
// the arrangement sets its level), and ending in exact silence, so a sound cut at its end never
// clicks. Noisy sounds take a seed: every hit of a hat is a slightly different hit, as played,
// but the same on every build.

std::vector<double> kick();
std::vector<double> snare(std::uint64_t seed);
std::vector<double> clap(std::uint64_t seed);
// A closed or open hi-hat: metallic partials and air, dying away over `decaySeconds`.
std::vector<double> hat(double decaySeconds, std::uint64_t seed);
std::vector<double> shaker(std::uint64_t seed);
// A hand drum tuned to `hertz`.
std::vector<double> conga(double hertz, std::uint64_t seed);
std::vector<double> clave();

// A synth bass note held for `seconds`: sub sine and a sawtooth under a closing filter.
std::vector<double> bassNote(double hertz, double seconds);

struct StereoSound {
    std::vector<double> left;
    std::vector<double> right;
};

// One voice of the chord pad held for `seconds`, with its slow swell and long release: detuned
// sawtooth pairs, differently detuned on each side for width. Unfiltered; the pad's filter runs
// over the whole part.
StereoSound padNote(double hertz, double seconds, std::uint64_t seed);

// A short plucked note for the arpeggio: a bright synth pluck over a plucked string.
std::vector<double> pluckNote(double hertz, std::uint64_t seed);

// Shortens a ringing sound to `frames` with a quick fade, as a closing hi-hat chokes an open one.
void choke(std::vector<double>& sound, int frames);

} // namespace demokit
