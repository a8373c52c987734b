// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <vector>

namespace sounds {

// In-place radix-2 FFT; data.size() must be a power of two. The forward transform uses
// exp(-i...), the inverse exp(+i...) and divides by the length, so inverse(forward(x)) == x.
void fft(std::vector<std::complex<double>>& data, bool inverse = false);

bool isPowerOfTwo(std::size_t n);

} // namespace sounds
