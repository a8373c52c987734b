// SPDX-License-Identifier: GPL-3.0-or-later
#include "PitchMeasurement.h"

#include <cmath>
#include <numbers>

std::complex<double> windowedPhasor(const std::vector<double>& samples, double sampleRate,
                                    double frequency, int start, int window)
{
    const double step = 2.0 * std::numbers::pi * frequency / sampleRate;
    std::complex<double> sum = 0.0;
    for (int m = 0; m < window; ++m) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * m / window);
        const double angle = -step * (start + m);
        sum += hann * samples[static_cast<std::size_t>(start + m)] *
               std::complex<double>(std::cos(angle), std::sin(angle));
    }
    return sum;
}

double measureFundamental(const std::vector<double>& samples, double sampleRate, double low,
                          double high, int first, int second, int window)
{
    // Coarse: the strongest point on a grid a tenth of a bin fine, refined by a parabola through
    // its neighbours' log magnitudes.
    const double gridStep = sampleRate / window / 10.0;
    const int points = static_cast<int>((high - low) / gridStep) + 1;
    std::vector<double> level(static_cast<std::size_t>(points));
    int best = 0;
    for (int i = 0; i < points; ++i) {
        level[i] = std::log(
            std::abs(windowedPhasor(samples, sampleRate, low + i * gridStep, first, window)) +
            1e-300);
        if (level[i] > level[best])
            best = i;
    }
    double estimate = low + best * gridStep;
    if (best > 0 && best + 1 < points) {
        const double a = level[best - 1], b = level[best], c = level[best + 1];
        const double denominator = a - 2.0 * b + c;
        if (denominator < 0.0)
            estimate += 0.5 * (a - c) / denominator * gridStep;
    }

    // Fine: the phase advance between the two windows, measured at the current estimate, is
    // 2 pi (f - estimate) (second - first) / fs. Twice, so the second pass works at the tone.
    const double span = (second - first) / sampleRate;
    for (int pass = 0; pass < 2; ++pass) {
        const std::complex<double> early =
            windowedPhasor(samples, sampleRate, estimate, first, window);
        const std::complex<double> late =
            windowedPhasor(samples, sampleRate, estimate, second, window);
        estimate += std::arg(late * std::conj(early)) / (2.0 * std::numbers::pi * span);
    }
    return estimate;
}

double centsBetween(double frequency, double reference)
{
    return 1200.0 * std::log2(frequency / reference);
}
