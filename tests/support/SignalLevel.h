// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>

// Mean absolute level of the last `count` of the first `end` frames of one channel, its samples
// `stride` floats apart (1 for a channel of its own, 2 for the left of interleaved stereo).
inline float RecentLevel(const float* samples, std::size_t stride, std::size_t end,
                         std::size_t count)
{
    const std::size_t begin = end > count ? end - count : 0;
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i)
        sum += std::fabs(samples[stride * i]);
    return end > begin ? static_cast<float>(sum / static_cast<double>(end - begin)) : 0.0f;
}
