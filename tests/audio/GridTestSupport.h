// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A mixer rendering offline on the test's thread, and loops whose every frame tells where it
// came from: the left sample is the buffer frame's index plus one, the right the loop's tag.

#include "audio/mixer/Mixer.h"
#include "audio/mixer/Voice.h"
#include "audio/sounds/SampleBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace gridtest {

inline constexpr int kRate = 44100;
// 93 and 137 beats a minute: beats of 28451.6129... and 19313.8686... frames.
inline constexpr double kBeat93 = kRate * 60.0 / 93.0;
inline constexpr double kBeat137 = kRate * 60.0 / 137.0;

inline std::shared_ptr<const SampleBuffer> markedBuffer(std::size_t frames, float tag)
{
    auto data = std::make_unique<float[]>(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        data[2 * i] = static_cast<float>(i + 1);
        data[2 * i + 1] = tag;
    }
    return std::make_shared<SampleBuffer>(std::move(data), frames);
}

// A marked loop whose cycle lasts `cycle` frames (the buffer holds ceil(cycle)).
inline std::unique_ptr<SampleVoice> markedLoop(double cycle, float tag, bool anchors = false)
{
    auto voice = std::make_unique<SampleVoice>(
        markedBuffer(static_cast<std::size_t>(std::ceil(cycle)), tag), true, cycle);
    voice->anchorsGrid = anchors;
    return voice;
}

// Where a line of the grid, `line` beats from an origin at frame `origin`, falls.
inline std::int64_t gridFrame(double beat, std::int64_t line, std::int64_t origin = 0)
{
    return origin + static_cast<std::int64_t>(std::floor(static_cast<double>(line) * beat));
}

class OfflineMixer : public ::testing::Test {
protected:
    void SetUp() override { mixer.start(kRate, true); }
    void TearDown() override { mixer.stop(); }

    // The next `frames` frames, rendered in blocks of an odd size so that lines fall inside
    // blocks; the clicks go to `clicks` when given.
    std::vector<float> render(std::int64_t frames, std::vector<float>* clicks = nullptr)
    {
        std::vector<float> out(static_cast<std::size_t>(frames) * 2);
        if (clicks)
            clicks->assign(out.size(), 1.0f); // render must overwrite it
        for (std::int64_t done = 0; done < frames;) {
            const int block = static_cast<int>(std::min<std::int64_t>(777, frames - done));
            const auto at = static_cast<std::size_t>(done) * 2;
            mixer.render(out.data() + at, block, clicks ? clicks->data() + at : nullptr);
            done += block;
        }
        return out;
    }

    Mixer mixer;
};

// The frames (counted from `base`) where the loop tagged `tag` plays its buffer's first frame.
inline std::vector<std::int64_t> cycleStarts(const std::vector<float>& out, float tag,
                                             std::int64_t base = 0)
{
    std::vector<std::int64_t> starts;
    for (std::size_t i = 0; i < out.size() / 2; ++i)
        if (out[2 * i] == 1.0f && out[2 * i + 1] == tag)
            starts.push_back(base + static_cast<std::int64_t>(i));
    return starts;
}

// The frames where a click begins: its first sample is zero (a sine from its start), the next
// is not, and the fifty before were silent.
inline std::vector<std::int64_t> clickOnsets(const std::vector<float>& clicks,
                                             std::int64_t base = 0)
{
    std::vector<std::int64_t> onsets;
    const std::size_t frames = clicks.size() / 2;
    for (std::size_t f = 0; f + 1 < frames; ++f) {
        if (clicks[2 * f + 2] == 0.0f)
            continue;
        bool quiet = true;
        for (std::size_t k = 0; k <= std::min<std::size_t>(f, 50) && quiet; ++k)
            quiet = clicks[2 * (f - k)] == 0.0f;
        if (quiet)
            onsets.push_back(base + static_cast<std::int64_t>(f));
    }
    return onsets;
}

} // namespace gridtest
