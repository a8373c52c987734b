// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pitch/PitchDetector.h"

#include <cstdint>
#include <vector>

// Test sounds for the pitch detector, rendered offline, and a way to listen to them.
namespace pitchtest {

// A steady tone: partials[k] is the amplitude of harmonic k + 1. Phases differ per harmonic so
// the wave is not symmetric.
std::vector<float> harmonicTone(double frequency, const std::vector<double>& partials,
                                double seconds, int rate);

// A plucked note after `silence` seconds of nothing: harmonics decaying exponentially, the
// higher ones faster, with a short attack that is not periodic.
std::vector<float> pluckedNote(double frequency, const std::vector<double>& partials,
                               double silence, double seconds, int rate);

// Adds white noise whose power lies decibels below the signal's over its whole length.
void addWhiteNoise(std::vector<float>& signal, double decibelsBelow, std::uint64_t seed);
std::vector<float> whiteNoise(double rms, double seconds, int rate, std::uint64_t seed);

// One of the tuner's own reference sounds (":/WAVE/E", ...), as floats at 44.1 kHz.
std::vector<float> referenceSound(const char* name);

// Every reading the detector makes while hearing signal fed in blocks of `block` frames.
std::vector<pitch::PitchReading> listen(pitch::PitchDetector& detector,
                                        const std::vector<float>& signal, std::size_t block = 64);

// Cents between two frequencies.
double cents(double frequency, double reference);

} // namespace pitchtest
