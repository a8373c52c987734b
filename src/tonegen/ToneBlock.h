// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

// The tone generator's sound: a block of 8-bit unsigned mono PCM at 44100 Hz (128 is silence)
// holding a sine, about 4096 samples long, that the sound buffer loops. The block always holds a
// whole number of periods, so the loop point falls where the next period would begin and the
// looped tone has no seam.
namespace ToneBlock {

inline constexpr int kSampleRate = 44100;
inline constexpr int kTargetLength = 4096;
// Above twice the sample rate a period is shorter than half a sample: no tone to speak of.
inline constexpr int kMaxFrequency = 2 * kSampleRate;

// The shortest length that holds whole periods of a whole frequency: 44100 / gcd(f, 44100)
// samples (1000 Hz: 441 samples, 10 periods; 997 Hz: 44100 samples, one second).
int SeamlessLength(int frequency);

// The block length for a frequency: the shortest whole number of periods that is at least 4096
// samples long (1000 Hz: 4410 samples, 100 periods), or one seamless length when that alone is
// longer (997 Hz: 44100; 1 Hz: 44100, one period). Never more than 44100 samples. 0 when the
// frequency makes no block: 0 or below, or above kMaxFrequency.
int Length(int frequency);

// Fills block with the sine of the given frequency at volume x amplitude (each 0 to 1): byte i is
// (sin(2 pi i f / 44100) x amplitude x volume + 1) x 127.5, rounded half to even, so volume 0
// gives all 128 and full scale spans 0 to 255. The block gets Length(frequency) bytes; it keeps
// its storage, so refilling a block of the same length allocates nothing.
void Fill(std::vector<std::uint8_t>& block, int frequency, float volume, float amplitude);

// The same bytes for a block of a length of the caller's choosing (for comparing loop lengths).
void FillLength(std::vector<std::uint8_t>& block, int length, int frequency, float volume,
                float amplitude);

} // namespace ToneBlock
