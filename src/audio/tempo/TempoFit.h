// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <optional>

// A loop's tempo as a musician counts it: `bars` whole bars of 4/4 at `bpm` fill the loop.
struct LoopTempo {
    double bpm = 0.0;
    int bars = 0;
};

// The tempo a loop of `loopSeconds` is meant to be at, from what a beat tracker heard
// (`detectedBpm`). Trackers often hear half, double, or two or three thirds of the tempo, so
// every such reading folded into 70..180 BPM is tried; a reading counts when the loop is a whole
// number of 4/4 bars at it within 1 % (of the tempo). Of those, an octave of the detected tempo
// wins over the other readings, and the fewest octaves away over more (then the nearest to the
// detected tempo); its tempo is made exact: bars * 240 / loopSeconds.
// When no reading fits, the nearest whole number of bars at the detected tempo (folded into
// 70..180) is taken, as long as that comes to 50..250 BPM. Nothing for empty or absurd input.
std::optional<LoopTempo> FitLoopTempo(double detectedBpm, double loopSeconds);

// The tempo at which `bars` bars of 4/4 last `loopSeconds`.
LoopTempo TempoForBars(int bars, double loopSeconds);

// The whole number of 4/4 bars nearest to `loopSeconds` at `bpm`, at least 1.
int BarsAtTempo(double bpm, double loopSeconds);

// A tempo tapped by hand. Taps more than 2 s apart start a new count; the tempo is read from the
// median interval of the last 8 taps, so one stray tap does not throw it. Two taps already give a
// reading; a display may prefer to wait for a third.
class TapTempo {
public:
    // A tap at `seconds` on any steady clock.
    void tap(double seconds);
    std::optional<double> bpm() const;
    void reset();

    static constexpr double kRestartGapSeconds = 2.0;
    static constexpr std::size_t kTapsKept = 8;

private:
    std::deque<double> m_taps;
};
