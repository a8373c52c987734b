// SPDX-License-Identifier: GPL-3.0-or-later
#include "BandPitch.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace pitch {

namespace {

constexpr double kReferenceA4 = 440.0;
// Readings further apart than this do not follow on from each other (the detector reads every
// 10 ms; a pause in the input leaves a hole).
constexpr double kMostGapSeconds = 0.05;

// The value where the weights, summed from the lowest value up, reach half; between two values
// when they meet exactly there.
double weightedMedian(std::vector<std::pair<double, double>> valueWeights)
{
    std::sort(valueWeights.begin(), valueWeights.end());
    double total = 0.0;
    for (const auto& [value, weight] : valueWeights)
        total += weight;
    double below = 0.0;
    for (std::size_t i = 0; i < valueWeights.size(); ++i) {
        below += valueWeights[i].second;
        if (below > total / 2 * (1 + 1e-12))
            return valueWeights[i].first;
        if (below >= total / 2 * (1 - 1e-12))
            return i + 1 < valueWeights.size()
                       ? (valueWeights[i].first + valueWeights[i + 1].first) / 2
                       : valueWeights[i].first;
    }
    return valueWeights.empty() ? 0.0 : valueWeights.back().first;
}

double fold(double cents)
{
    // -50..+50 around the nearest note; exactly half way reads as the lower note's +50.
    const double folded = std::remainder(cents, 100.0);
    return folded == -50.0 ? 50.0 : folded;
}

} // namespace

double BandPitch::foldedCents(double frequency)
{
    if (!(frequency > 0.0) || !std::isfinite(frequency))
        return 0.0;
    return fold(1200.0 * std::log2(frequency / kReferenceA4));
}

double BandPitch::a4For(double cents)
{
    return kReferenceA4 * std::exp2(cents / 1200.0);
}

void BandPitch::reset()
{
    m_run.clear();
    m_notes.clear();
}

void BandPitch::breakRun()
{
    closeRun();
}

void BandPitch::add(const PitchReading& reading, double seconds)
{
    if (!reading.hasPitch || !(reading.frequency > 0.0) || !std::isfinite(reading.frequency) ||
        !(reading.clarity >= kMinClarity) || !std::isfinite(seconds)) {
        closeRun();
        return;
    }
    const double cents = 1200.0 * std::log2(reading.frequency / kReferenceA4);
    if (!m_run.empty() &&
        (std::abs(cents - m_run.back().cents) > kStepCents ||
         seconds - m_run.back().seconds > kMostGapSeconds || seconds < m_run.back().seconds))
        closeRun();
    m_run.push_back({seconds, cents});
}

std::optional<StableNote> BandPitch::steadyPart() const
{
    const std::size_t n = m_run.size();
    if (n < 2)
        return std::nullopt;
    std::vector<std::pair<double, double>> cents;
    cents.reserve(n);
    for (const Heard& heard : m_run)
        cents.emplace_back(heard.cents, 1.0);
    const double median = weightedMedian(cents);
    double sum = 0.0;
    int steady = 0;
    for (const Heard& heard : m_run)
        if (std::abs(heard.cents - median) <= kSteadyCents) {
            sum += heard.cents;
            ++steady;
        }
    // Each reading stands for the time between two readings.
    const double spacing =
        (m_run.back().seconds - m_run.front().seconds) / static_cast<double>(n - 1);
    const double seconds = steady * spacing;
    if (seconds < kStableSeconds - 1e-9)
        return std::nullopt;
    return StableNote{fold(sum / steady), seconds};
}

void BandPitch::closeRun()
{
    if (const std::optional<StableNote> note = steadyPart())
        m_notes.push_back(*note);
    m_run.clear();
}

std::vector<StableNote> BandPitch::notes() const
{
    std::vector<StableNote> notes = m_notes;
    if (const std::optional<StableNote> sounding = steadyPart())
        notes.push_back(*sounding);
    return notes;
}

std::optional<BandEstimate> BandPitch::estimate() const
{
    return estimateOf(notes());
}

BandEstimate BandPitch::measure(const std::vector<StableNote>& notes)
{
    BandEstimate band;
    band.notes = static_cast<int>(notes.size());
    if (notes.empty())
        return band;
    // The centre on the circle of cents (100 cents round), so notes on both sides of the fold
    // meet, then every note unwrapped to within 50 cents of it.
    constexpr double kRadiansPerCent = 2 * std::numbers::pi / 100.0;
    double x = 0.0;
    double y = 0.0;
    std::vector<std::pair<double, double>> unwrapped;
    unwrapped.reserve(notes.size());
    for (const StableNote& note : notes) {
        const double weight = std::clamp(note.seconds, 1e-3, kLongestWeightSeconds);
        x += weight * std::cos(note.cents * kRadiansPerCent);
        y += weight * std::sin(note.cents * kRadiansPerCent);
        unwrapped.emplace_back(note.cents, weight);
    }
    const double centre = std::atan2(y, x) / kRadiansPerCent;
    for (auto& [cents, weight] : unwrapped)
        cents = centre + std::remainder(cents - centre, 100.0);

    const double median = weightedMedian(unwrapped);
    std::vector<std::pair<double, double>> deviations;
    double sum = 0.0;
    double weights = 0.0;
    for (const auto& [cents, weight] : unwrapped) {
        deviations.emplace_back(std::abs(cents - median), weight);
        if (std::abs(cents - median) <= kInlierCents) {
            sum += weight * cents;
            weights += weight;
        }
    }
    // Two middle notes far apart leave no note near their midpoint: the median stands.
    band.cents = fold(weights > 0.0 ? sum / weights : median);
    band.a4 = a4For(band.cents);
    band.spreadCents = weightedMedian(deviations);
    return band;
}

std::optional<BandEstimate> BandPitch::estimateOf(const std::vector<StableNote>& notes)
{
    const BandEstimate band = measure(notes);
    if (band.notes < kMinNotes || band.spreadCents > kMaxSpreadCents)
        return std::nullopt;
    return band;
}

} // namespace pitch
