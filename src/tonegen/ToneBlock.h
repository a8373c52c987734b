#pragma once

#include <cstdint>
#include <vector>

// The tone generator's sound: a block of 8-bit unsigned mono PCM at 44100 Hz (128 is silence)
// holding a sine, about 4096 samples long, that the sound buffer loops.
namespace ToneBlock {

inline constexpr int kSampleRate = 44100;
inline constexpr int kTargetLength = 4096;

// Samples per period, held in single precision as the length arithmetic expects (44.1 for
// 1000 Hz is 44.0999985).
float SamplesPerPeriod(int frequency);

// The block length for a frequency: as many whole periods as fit into 4096 samples counted with
// the rounded period (250 Hz: 23 periods of 176 samples), times the true period, rounded (4057).
// Below 11 Hz not one period fits and the block is one period long (1 Hz: 44100). 0 when the
// frequency makes no block: 0 or below, or so high that a period rounds to no sample at all.
int Length(int frequency);

// Fills block with the sine of the given frequency at volume x amplitude (each 0 to 1): byte i is
// (sin(2 pi i f / 44100) x amplitude x volume + 1) x 127.5, rounded half to even, so volume 0
// gives all 128 and full scale spans 0 to 255. The block gets Length(frequency) bytes; it keeps
// its storage, so refilling a block of the same length allocates nothing.
void Fill(std::vector<std::uint8_t>& block, int frequency, float volume, float amplitude);

} // namespace ToneBlock
