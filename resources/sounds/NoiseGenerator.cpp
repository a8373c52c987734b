// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoiseGenerator.h"

#include <cmath>
#include <numbers>

namespace sounds {

namespace {
std::uint64_t splitMix64(std::uint64_t& x)
{
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t rotateLeft(std::uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}
} // namespace

NoiseGenerator::NoiseGenerator(std::uint64_t seed)
{
    for (auto& word : m_state)
        word = splitMix64(seed);
}

std::uint64_t NoiseGenerator::next()
{
    const std::uint64_t result = rotateLeft(m_state[1] * 5, 7) * 9;
    const std::uint64_t t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = rotateLeft(m_state[3], 45);
    return result;
}

double NoiseGenerator::uniform()
{
    // The top 53 bits fill a double's mantissa exactly.
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

double NoiseGenerator::gaussian()
{
    if (m_hasSpare) {
        m_hasSpare = false;
        return m_spareGaussian;
    }
    // Box-Muller; 1 - uniform() lies in (0, 1], so the logarithm is finite.
    const double radius = std::sqrt(-2.0 * std::log(1.0 - uniform()));
    const double angle = 2.0 * std::numbers::pi * uniform();
    m_spareGaussian = radius * std::sin(angle);
    m_hasSpare = true;
    return radius * std::cos(angle);
}

} // namespace sounds
