// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <vector>

// Precise measurement of a tone's fundamental, for checking that the tuner's references are in
// tune to a small fraction of a cent.
//
// A coarse peak search of the windowed spectrum between low and high Hz finds the fundamental to
// a fraction of a hertz; the phase it advances between a window at `first` and one at `second`
// (sample indices, each `window` samples long) then gives it to a few thousandths of a cent. For
// a partial that decays exponentially both windows see the same envelope shape, so the decay
// adds no bias.
double measureFundamental(const std::vector<double>& samples, double sampleRate, double low,
                          double high, int first, int second, int window);

// Hann-windowed correlation of samples[start, start + window) with exp(-i 2 pi f t), t counted
// from the start of the file.
std::complex<double> windowedPhasor(const std::vector<double>& samples, double sampleRate,
                                    double frequency, int start, int window);

double centsBetween(double frequency, double reference);
