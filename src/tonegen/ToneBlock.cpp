// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneBlock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>

namespace ToneBlock {
namespace {

constexpr double kPi = 3.14159265358979;

// sin(2 pi k / 44100) for every k, in single precision. A sine at a whole frequency f repeats
// after 44100 samples, and sample i lies at phase (i x f) mod 44100 of it, so a block needs no
// sine call of its own: a marker drag rebuilds a block on every mouse move.
const std::array<float, kSampleRate>& sineTable()
{
    static const std::unique_ptr<std::array<float, kSampleRate>> table = [] {
        auto values = std::make_unique<std::array<float, kSampleRate>>();
        for (int k = 0; k < kSampleRate; ++k)
            (*values)[static_cast<std::size_t>(k)] =
                static_cast<float>(std::sin(2.0 * k * kPi / kSampleRate));
        return values;
    }();
    return *table;
}

} // namespace

int SeamlessLength(int frequency)
{
    if (frequency <= 0 || frequency > kMaxFrequency)
        return 0;
    // i x f / 44100 periods fit into i samples: a whole number first when i x f is a multiple of
    // 44100, that is when i is a multiple of 44100 / gcd(f, 44100).
    return kSampleRate / std::gcd(frequency, kSampleRate);
}

int Length(int frequency)
{
    const int seamless = SeamlessLength(frequency);
    if (seamless == 0)
        return 0;
    const int repeats = (kTargetLength + seamless - 1) / seamless;
    return seamless * repeats;
}

void Fill(std::vector<std::uint8_t>& block, int frequency, float volume, float amplitude)
{
    FillLength(block, Length(frequency), frequency, volume, amplitude);
}

void FillLength(std::vector<std::uint8_t>& block, int length, int frequency, float volume,
                float amplitude)
{
    if (frequency <= 0 || frequency > kMaxFrequency)
        length = 0;
    block.resize(static_cast<std::size_t>(std::max(length, 0)));
    if (block.empty())
        return;
    const std::array<float, kSampleRate>& table = sineTable();
    const int step = frequency % kSampleRate;
    int phase = 0;
    for (std::uint8_t& byte : block) {
        // The same steps in the same precision as the level arithmetic: the sine and its scaling
        // in single precision, the last factor in double.
        const float level = table[static_cast<std::size_t>(phase)] * amplitude * volume;
        const double value = static_cast<double>(level + 1.0f) * 127.5;
        byte = static_cast<std::uint8_t>(std::clamp(std::lrint(value), 0L, 255L));
        phase += step;
        if (phase >= kSampleRate)
            phase -= kSampleRate;
    }
}

} // namespace ToneBlock
