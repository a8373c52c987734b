// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pitch/Decimator.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitch {

// What the detector hears at one moment.
struct PitchReading {
    bool hasPitch = false;  // false for silence, noise, or a tone outside the range
    double frequency = 0.0; // Hz, when hasPitch
    double clarity = 0.0;   // 0 (no periodicity) to 1 (a perfectly repeating wave)
    std::int64_t frame = 0; // input frames fed when this reading was made
};

// A streaming pitch detector for the listening tuner, 40 Hz to 1.5 kHz.
//
// Feed it mono blocks of any size; every hop (10 ms of input) it analyses the latest audio and
// updates reading(). The input is low-passed and decimated to about 10 kHz, DC is blocked, then:
//  - a normalised square difference over the last 60 ms finds the period coarsely. The first
//    strong peak (within 90 % of the highest) is taken, not the highest, so a low E whose second
//    harmonic is stronger than its fundamental is not read an octave high;
//  - the period is refined on the last 200 ms (24 periods, up to 600 ms, for the lowest notes) by
//  correlating
//    against the wave several periods later, interpolating the correlation between samples with a
//    windowed sinc and normalising by the energy at both ends (a decaying pluck reads unbiased).
//    The lag grows by steps so each step only has to correct the one before.
// After construction feed() never allocates, locks or throws.
class PitchDetector {
public:
    static constexpr int kMinSampleRate = 8000;
    static constexpr int kMaxSampleRate = 192000;
    static constexpr double kLowestFrequency = 40.0;
    static constexpr double kHighestFrequency = 1500.0;

    // A rate outside kMinSampleRate..kMaxSampleRate gives a detector that never hears a pitch.
    explicit PitchDetector(int sampleRate);

    bool isRateSupported() const { return m_supported; }
    int sampleRate() const { return m_sampleRate; }
    // Input frames between two analyses.
    int hopFrames() const { return m_hop * m_decimator.factor(); }

    void feed(const float* samples, std::size_t count);
    const PitchReading& reading() const { return m_reading; }
    // Goes up by one with every analysis, so a caller polling reading() sees a new one.
    std::uint64_t readingCount() const { return m_readingCount; }

    // Forgets everything heard (when listening starts again).
    void reset();

private:
    void pushAnalysisSample(float value);
    void analyse();
    double coarsePeriod(const float* x, int length, double& clarity);
    double refinePeriod(const float* x, int span, double period);
    double weighReference(const float* reference, int length);
    void correlate(const float* reference, int length, int firstLag, int lastLag);
    double similarityPeak(const float* reference, int length, int firstLag, int lastLag,
                          double predicted, double gridStep) const;
    double interpolatedCorrelation(double lag, int firstLag) const;

    int m_sampleRate = 0;
    bool m_supported = false;
    Decimator m_decimator;
    double m_rate = 0.0; // analysis rate after decimation

    // DC blocker state.
    double m_dcCoefficient = 0.0;
    double m_dcIn = 0.0;
    double m_dcOut = 0.0;

    int m_hop = 0;          // analysis samples between analyses
    int m_coarseWindow = 0; // analysis samples
    int m_minLag = 0;
    int m_maxLag = 0;
    int m_maxSpan = 0;
    int m_capacity = 0;

    std::vector<float> m_history; // stored twice over so the latest samples are contiguous
    int m_write = 0;
    int m_filled = 0;
    int m_sinceHop = 0;
    int m_pitchedRun = 0; // analysis samples since the current note was first heard
    double m_lastPeriod = 0.0;

    // Scratch for the analysis, sized at construction.
    struct KeyMaximum {
        double lag = 0.0;
        double height = 0.0;
    };
    std::vector<double> m_nsdf;
    std::vector<KeyMaximum> m_keys;
    std::vector<double> m_weighted;
    std::vector<double> m_weights;
    std::vector<double> m_correlation;
    std::vector<double> m_kernel; // windowed sinc, sampled finely over [0, kInterpolationTaps]

    std::int64_t m_frames = 0;
    std::uint64_t m_readingCount = 0;
    PitchReading m_reading;
};

} // namespace pitch
