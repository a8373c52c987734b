// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sounds {

// A small seeded random source (xoshiro256**, seeded through splitmix64). Its sequence is fixed
// by the seed alone, on every compiler and library, so the generated sounds are the same bytes
// on every build.
class NoiseGenerator {
public:
    explicit NoiseGenerator(std::uint64_t seed);

    std::uint64_t next();
    // Uniform in [0, 1).
    double uniform();
    // Uniform in [-1, 1).
    double bipolar() { return 2.0 * uniform() - 1.0; }
    // Standard normal (mean 0, deviation 1).
    double gaussian();

private:
    std::uint64_t m_state[4];
    double m_spareGaussian = 0.0;
    bool m_hasSpare = false;
};

} // namespace sounds
