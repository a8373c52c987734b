// SPDX-License-Identifier: GPL-3.0-or-later
#include "PitchDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pitch {

namespace {
constexpr double kTargetAnalysisRate = 10000.0; // Hz; decimate down to no less than this
constexpr double kHopSeconds = 0.010;
constexpr double kCoarseWindowSeconds = 0.060;
constexpr double kSpanSeconds = 0.200;    // refinement span for most notes
constexpr double kMaxSpanSeconds = 0.600; // the lowest notes get more periods
constexpr double kSpanPeriods = 24.0;
constexpr double kSearchLowest = 38.0; // a little beyond the promised range, so its ends read
constexpr double kSearchHighest = 1600.0;
constexpr double kDcCutoff = 5.0;          // Hz
constexpr double kSilenceLevel = 3.162e-4; // -70 dBFS RMS
constexpr double kStartClarity = 0.80;     // a new note must be this clear to be read ...
constexpr double kKeepClarity = 0.70;      // ... and may fade to this before it is dropped
constexpr double kKeyMaximumShare = 0.90;  // first peak within this share of the highest wins
constexpr double kNewNoteChange = 0.03;    // a period change beyond this starts a new note
constexpr int kInterpolationTaps = 8;      // windowed-sinc half-length in analysis samples
constexpr int kKernelResolution = 512;     // kernel table points per sample
constexpr double kSearchSamples = 1.5;     // least half-width of the search around a lag
constexpr double kSearchShare = 0.025;     // ... and its share of the period for low notes
constexpr int kGridPoints = 12;            // grid points on each side of the predicted lag
constexpr int kLagGrowth = 4;

// Sum of a[i] * b[i]. Eight running sums let the compiler keep them in vector registers
// without reordering a single sum (the analysis is built without fast-math).
template <typename T, typename U> T dot(const T* a, const U* b, int count)
{
    T sums[8] = {};
    int i = 0;
    for (; i + 8 <= count; i += 8)
        for (int k = 0; k < 8; ++k)
            sums[k] += a[i + k] * static_cast<T>(b[i + k]);
    T total = 0;
    for (; i < count; ++i)
        total += a[i] * static_cast<T>(b[i]);
    for (T partial : sums)
        total += partial;
    return total;
}

float sanitised(float value)
{
    // A broken input (NaN, infinities, wild values) must not poison the filters' state.
    if (!std::isfinite(value))
        return 0.0f;
    return std::clamp(value, -16.0f, 16.0f);
}

// The point predicted + k * step (|k| <= kGridPoints) where f is highest; predicted itself wins
// a tie.
template <typename F> double gridMaximum(const F& f, double predicted, double step)
{
    double best = predicted;
    double bestValue = f(predicted);
    for (int k = -kGridPoints; k <= kGridPoints; ++k) {
        const double value = f(predicted + k * step);
        if (value > bestValue) {
            bestValue = value;
            best = predicted + k * step;
        }
    }
    return best;
}

// Golden-section search for the maximum of f between a and b: the middle of the last bracket.
template <typename F> double goldenMaximum(const F& f, double a, double b)
{
    constexpr double kGolden = 0.6180339887498949;
    double p = b - kGolden * (b - a);
    double q = a + kGolden * (b - a);
    double fp = f(p);
    double fq = f(q);
    for (int i = 0; i < 32; ++i) {
        if (fp > fq) {
            b = q;
            q = p;
            fq = fp;
            p = b - kGolden * (b - a);
            fp = f(p);
        } else {
            a = p;
            p = q;
            fp = fq;
            q = a + kGolden * (b - a);
            fq = f(q);
        }
    }
    return 0.5 * (a + b);
}
} // namespace

PitchDetector::PitchDetector(int sampleRate)
    : m_sampleRate(sampleRate),
      m_supported(sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate),
      m_decimator(m_supported ? static_cast<int>(sampleRate / kTargetAnalysisRate) : 1)
{
    const int effectiveRate = m_supported ? sampleRate : kMinSampleRate;
    m_rate = static_cast<double>(effectiveRate) / m_decimator.factor();
    m_dcCoefficient = 1.0 - 2.0 * std::numbers::pi * kDcCutoff / m_rate;
    m_hop = static_cast<int>(std::lround(kHopSeconds * m_rate));
    m_coarseWindow = static_cast<int>(std::ceil(kCoarseWindowSeconds * m_rate));
    m_minLag = std::max(2, static_cast<int>(std::floor(m_rate / kSearchHighest)));
    m_maxLag = static_cast<int>(std::ceil(m_rate / kSearchLowest));
    m_maxSpan = static_cast<int>(std::ceil(kMaxSpanSeconds * m_rate));
    m_capacity = m_maxSpan + m_hop;
    m_history.assign(static_cast<std::size_t>(2 * m_capacity), 0.0f);
    m_nsdf.assign(static_cast<std::size_t>(m_maxLag + 3), 0.0);
    m_keys.assign(static_cast<std::size_t>(m_maxLag / 2 + 4), KeyMaximum{});
    m_weighted.assign(static_cast<std::size_t>(m_maxSpan), 0.0);
    m_weights.assign(static_cast<std::size_t>(m_maxSpan), 0.0);
    const double widestSearch = std::max(kSearchSamples, kSearchShare * (m_maxLag + 2));
    m_correlation.assign(
        static_cast<std::size_t>(2 * std::ceil(widestSearch) + 2 * kInterpolationTaps + 8), 0.0);

    m_kernel.resize(static_cast<std::size_t>(kInterpolationTaps * kKernelResolution + 2));
    for (std::size_t i = 0; i < m_kernel.size(); ++i) {
        const double u = static_cast<double>(i) / kKernelResolution;
        if (u >= kInterpolationTaps) {
            m_kernel[i] = 0.0;
            continue;
        }
        const double sinc =
            u == 0.0 ? 1.0 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
        const double phase = std::numbers::pi * u / kInterpolationTaps;
        m_kernel[i] = sinc * (0.42 + 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase));
    }
}

void PitchDetector::feed(const float* samples, std::size_t count)
{
    if (!m_supported || samples == nullptr)
        return;
    for (std::size_t i = 0; i < count; ++i) {
        ++m_frames;
        float decimated = 0.0f;
        if (m_decimator.push(sanitised(samples[i]), decimated))
            pushAnalysisSample(decimated);
    }
}

void PitchDetector::reset()
{
    m_decimator.reset();
    std::fill(m_history.begin(), m_history.end(), 0.0f);
    m_dcIn = m_dcOut = 0.0;
    m_write = m_filled = m_sinceHop = m_pitchedRun = 0;
    m_lastPeriod = 0.0;
    m_frames = 0;
    m_reading = PitchReading{};
}

void PitchDetector::pushAnalysisSample(float value)
{
    // A one-pole DC blocker: an offset on the input would otherwise lift every correlation.
    m_dcOut = value - m_dcIn + m_dcCoefficient * m_dcOut;
    m_dcIn = value;
    const float blocked = static_cast<float>(m_dcOut);
    m_history[static_cast<std::size_t>(m_write)] = blocked;
    m_history[static_cast<std::size_t>(m_write + m_capacity)] = blocked;
    m_write = (m_write + 1) % m_capacity;
    m_filled = std::min(m_filled + 1, m_capacity);
    if (++m_sinceHop >= m_hop) {
        m_sinceHop = 0;
        analyse();
    }
}

void PitchDetector::analyse()
{
    ++m_readingCount;
    PitchReading reading;
    reading.frame = m_frames;
    const auto latest = [this](int length) {
        return m_history.data() + m_write + m_capacity - length;
    };

    double period = -1.0;
    if (m_filled >= m_coarseWindow) {
        const float* x = latest(m_coarseWindow);
        double energy = 0.0;
        for (int i = 0; i < m_coarseWindow; ++i)
            energy += static_cast<double>(x[i]) * x[i];
        if (energy / m_coarseWindow >= kSilenceLevel * kSilenceLevel)
            period = coarsePeriod(x, m_coarseWindow, reading.clarity);
    }
    const double threshold = m_lastPeriod > 0.0 ? kKeepClarity : kStartClarity;
    if (period <= 0.0 || reading.clarity < threshold) {
        m_pitchedRun = 0;
        m_lastPeriod = 0.0;
        m_reading = reading;
        return;
    }
    if (m_lastPeriod > 0.0 && std::abs(period / m_lastPeriod - 1.0) > kNewNoteChange)
        m_pitchedRun = 0;

    const int wanted = static_cast<int>(std::ceil(
        std::clamp(kSpanPeriods * period, kSpanSeconds * m_rate, kMaxSpanSeconds * m_rate)));
    const int span = std::min({wanted, m_coarseWindow + m_pitchedRun, m_filled, m_maxSpan});
    const double refined = refinePeriod(latest(span), span, period);
    m_pitchedRun += m_hop;
    m_lastPeriod = refined;

    const double frequency = m_rate / refined;
    if (frequency >= kSearchLowest && frequency <= kSearchHighest) {
        reading.hasPitch = true;
        reading.frequency = frequency;
    }
    m_reading = reading;
}

// McLeod's normalised square difference over one window: 1 where the wave repeats exactly at
// that lag. Returns the period in analysis samples (parabola through the chosen peak), or -1.
double PitchDetector::coarsePeriod(const float* x, int length, double& clarity)
{
    const int lastLag = std::min(m_maxLag + 1, length - 2);
    double squares = 0.0;
    for (int j = 0; j < length; ++j)
        squares += static_cast<double>(x[j]) * x[j];
    double m = 2.0 * squares;
    m_nsdf[0] = 1.0;
    for (int lag = 1; lag <= lastLag; ++lag) {
        // m(lag) drops the samples that no longer overlap at this lag.
        m -= static_cast<double>(x[lag - 1]) * x[lag - 1] +
             static_cast<double>(x[length - lag]) * x[length - lag];
        const float r = dot(x, x + lag, length - lag);
        m_nsdf[static_cast<std::size_t>(lag)] = m > 0.0 ? 2.0 * r / m : 0.0;
    }

    // Key maxima: the top of each positive lobe after the first zero crossing, placed and
    // measured by a parabola through its three highest samples (at 8 kHz a 1.5 kHz period is
    // barely five samples long, so the sample heights alone would mislead).
    int lag = 1;
    while (lag <= lastLag && m_nsdf[static_cast<std::size_t>(lag)] > 0.0)
        ++lag;
    int keys = 0;
    double highest = 0.0;
    int bestLag = -1;
    for (int l = lag; l <= lastLag; ++l) {
        const double value = m_nsdf[static_cast<std::size_t>(l)];
        if (value > 0.0 && (bestLag < 0 || value > m_nsdf[static_cast<std::size_t>(bestLag)]))
            bestLag = l;
        const bool lobeEnds = value <= 0.0 || l == lastLag;
        if (!lobeEnds || bestLag < 0)
            continue;
        if (bestLag < lastLag && keys < static_cast<int>(m_keys.size())) {
            const double left = m_nsdf[static_cast<std::size_t>(bestLag - 1)];
            const double centre = m_nsdf[static_cast<std::size_t>(bestLag)];
            const double right = m_nsdf[static_cast<std::size_t>(bestLag + 1)];
            const double curvature = left - 2.0 * centre + right;
            const double shift =
                curvature < 0.0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
            const double height = centre - 0.25 * (left - right) * shift;
            m_keys[static_cast<std::size_t>(keys++)] = KeyMaximum{bestLag + shift, height};
            highest = std::max(highest, height);
        }
        bestLag = -1;
    }
    for (int k = 0; k < keys; ++k) {
        const KeyMaximum& key = m_keys[static_cast<std::size_t>(k)];
        if (key.height >= kKeyMaximumShare * highest) {
            // A tone above the range repeats at a lag below the shortest one looked for: its
            // period multiples would otherwise be read as a lower note.
            if (key.lag < m_minLag)
                break;
            clarity = std::min(1.0, key.height);
            return key.lag;
        }
    }
    clarity = 0.0;
    return -1.0;
}

// The correlation between samples at lag, sinc-interpolated from the integer lags held in
// m_correlation (m_correlation[0] is at firstLag). Dividing by the kernel's own sum keeps a
// smooth correlation from rippling with the fractional position, which would bend the peak.
double PitchDetector::interpolatedCorrelation(double lag, int firstLag) const
{
    const int base = static_cast<int>(std::floor(lag));
    const double fraction = lag - base;
    double sum = 0.0;
    double weight = 0.0;
    for (int k = -kInterpolationTaps + 1; k <= kInterpolationTaps; ++k) {
        const double position = std::abs(fraction - k) * kKernelResolution;
        const auto index = static_cast<std::size_t>(position);
        const double between = position - static_cast<double>(index);
        const double h = m_kernel[index] + between * (m_kernel[index + 1] - m_kernel[index]);
        sum += h * m_correlation[static_cast<std::size_t>(base + k - firstLag)];
        weight += h;
    }
    return weight != 0.0 ? sum / weight : 0.0;
}

// Refines the coarse period on the span x[0, span): a Hann-weighted reference segment at the
// start is correlated with the wave m periods later, m growing by steps up to about half the
// span. The normalisation by the geometric mean of both segments' energies cancels an
// exponential decay exactly.
double PitchDetector::refinePeriod(const float* x, int span, double period)
{
    constexpr int kLead = kInterpolationTaps + 3; // room for lags just below zero
    int finalMultiple = std::max(1, static_cast<int>(0.5 * span / period));
    // The coarse period can be a few tenths of a sample off under noise; the room left beyond
    // the longest lag allows for that, so the last, most precise step is never cut.
    // Under noise a low note's broad peak moves by a sizeable share of a sample at the first
    // steps, so the search around each predicted lag widens with the period.
    const double halfWidth = std::max(kSearchSamples, kSearchShare * period);
    const double gridStep = halfWidth / kGridPoints;
    const auto segmentFor = [&](int multiple) {
        return span - kLead - static_cast<int>(multiple * period * 1.02 + halfWidth) -
               kInterpolationTaps - 6;
    };
    while (finalMultiple > 1 && segmentFor(finalMultiple) < 2 * period)
        --finalMultiple;
    const int length = segmentFor(finalMultiple);
    if (length < period || length < 16)
        return period;

    const float* reference = x + kLead;
    if (weighReference(reference, length) <= 0.0)
        return period;

    double estimate = period;
    for (int multiple = 1;; multiple = std::min(finalMultiple, multiple * kLagGrowth)) {
        const double predicted = multiple * estimate;
        // Lags the grid and the golden section can reach, plus the kernel's reach.
        const int firstLag =
            static_cast<int>(std::floor(predicted - halfWidth - gridStep)) - kInterpolationTaps + 1;
        const int lastLag =
            static_cast<int>(std::floor(predicted + halfWidth + gridStep)) + kInterpolationTaps;
        if (kLead + firstLag < 0 || kLead + lastLag + length > span)
            break; // the estimate wandered off (a note that changed mid-span): keep the last one
        correlate(reference, length, firstLag, lastLag);
        estimate =
            similarityPeak(reference, length, firstLag, lastLag, predicted, gridStep) / multiple;
        if (multiple == finalMultiple)
            break;
    }
    return estimate;
}

// Fills the Hann weights of the reference segment reference[0, length) and its weighted samples;
// returns the segment's weighted energy.
double PitchDetector::weighReference(const float* reference, int length)
{
    const double step = std::numbers::pi / length;
    double c = std::cos(0.5 * step);
    double s = std::sin(0.5 * step);
    const double cs = std::cos(step);
    const double sn = std::sin(step);
    double energy = 0.0;
    for (int j = 0; j < length; ++j) {
        const double w = s * s; // Hann weight sin^2(pi (j + 1/2) / length)
        m_weights[static_cast<std::size_t>(j)] = w;
        m_weighted[static_cast<std::size_t>(j)] = w * reference[j];
        energy += w * reference[j] * reference[j];
        const double next = c * cs - s * sn;
        s = s * cs + c * sn;
        c = next;
    }
    return energy;
}

// The weighted reference's correlation with the wave at every integer lag firstLag..lastLag,
// into m_correlation.
void PitchDetector::correlate(const float* reference, int length, int firstLag, int lastLag)
{
    for (int lag = firstLag; lag <= lastLag; ++lag) {
        m_correlation[static_cast<std::size_t>(lag - firstLag)] =
            dot(m_weighted.data(), reference + lag, length);
    }
}

// The lag near predicted where the reference and the wave are most alike: the correlation
// between samples, divided by the root of the wave's energy there (taken as decaying
// exponentially between the two ends of the lags held), searched on a grid around predicted and
// then between the best grid point's neighbours.
double PitchDetector::similarityPeak(const float* reference, int length, int firstLag, int lastLag,
                                     double predicted, double gridStep) const
{
    const auto energyAt = [&](int lag) {
        double e = 0.0;
        for (int j = 0; j < length; ++j)
            e += m_weights[static_cast<std::size_t>(j)] * reference[j + lag] * reference[j + lag];
        return e;
    };
    const double firstEnergy = energyAt(firstLag);
    const double lastEnergy = energyAt(lastLag);
    const bool decayKnown = firstEnergy > 0.0 && lastEnergy > 0.0;
    const double logFirst = decayKnown ? std::log(firstEnergy) : 0.0;
    const double logSlope =
        decayKnown ? (std::log(lastEnergy) - logFirst) / (lastLag - firstLag) : 0.0;
    const auto similarity = [&](double lag) {
        // Only the lag dependence matters for the peak: the reference energy is constant.
        const double logEnergy = decayKnown ? logFirst + logSlope * (lag - firstLag) : 0.0;
        return interpolatedCorrelation(lag, firstLag) * std::exp(-0.5 * logEnergy);
    };
    const double best = gridMaximum(similarity, predicted, gridStep);
    return goldenMaximum(similarity, best - gridStep, best + gridStep);
}

} // namespace pitch
