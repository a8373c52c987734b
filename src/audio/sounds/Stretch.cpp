// SPDX-License-Identifier: GPL-3.0-or-later
#include "Stretch.h"

#include "SampleBuffer.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <vector>

namespace {

constexpr double kLeastRatio = 0.5;
constexpr double kMostRatio = 2.0;
constexpr double kLeastPitch = 0.25; // two octaves either way
constexpr double kMostPitch = 4.0;
// The loop's wrap-around context on each side: longer than the finer engine's longest window,
// so the frames around the cut are stretched exactly as those in the middle of a playing loop.
constexpr double kContextSeconds = 0.5;
constexpr std::size_t kBlock = 4096;

// The stretcher's input: the source as it plays. For a loop, `before` frames of its end come
// first and the loop repeats after its end for as long as asked; once played, silence follows.
class PlayedSource {
public:
    PlayedSource(const SampleBuffer& source, std::size_t before, bool loop)
        : m_data(source.data()), m_frames(source.frames()), m_before(before), m_loop(loop)
    {
    }

    // De-interleaves `count` frames from stream position `from` into `left` and `right`.
    void read(std::size_t from, std::size_t count, float* left, float* right) const
    {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = from + i;
            std::size_t frame = 0;
            if (m_loop) {
                // before is below frames * k for some k: step back by whole loops.
                const std::size_t back = (m_before / m_frames + 1) * m_frames;
                frame = (at + back - m_before) % m_frames;
            } else if (at < m_frames) {
                frame = at;
            } else {
                left[i] = right[i] = 0.0f;
                continue;
            }
            left[i] = m_data[2 * frame];
            right[i] = m_data[2 * frame + 1];
        }
    }

private:
    const float* m_data;
    std::size_t m_frames;
    std::size_t m_before;
    bool m_loop;
};

bool cancelled(const std::atomic<bool>* cancel)
{
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

} // namespace

std::shared_ptr<const SampleBuffer> RenderStretched(const SampleBuffer& source, double cycleFrames,
                                                    double pitchScale, bool loop,
                                                    const std::atomic<bool>* cancel, int rate)
{
    using RubberBand::RubberBandStretcher;
    const std::size_t frames = source.frames();
    if (frames == 0 || source.data() == nullptr || cancelled(cancel))
        return nullptr;
    if (rate < 8000 || rate > 384000)
        rate = kStretchDefaultRate;
    double ratio = cycleFrames / static_cast<double>(frames);
    if (!std::isfinite(ratio) || ratio <= 0.0)
        ratio = 1.0;
    ratio = std::clamp(ratio, kLeastRatio, kMostRatio);
    const double cycle = std::isfinite(cycleFrames) && ratio == cycleFrames / frames
                             ? cycleFrames
                             : ratio * static_cast<double>(frames);
    if (!std::isfinite(pitchScale) || pitchScale <= 0.0)
        pitchScale = 1.0;
    pitchScale = std::clamp(pitchScale, kLeastPitch, kMostPitch);
    const auto length = static_cast<std::size_t>(std::ceil(cycle - 1e-9));
    if (pitchScale == 1.0 && std::abs(cycle - static_cast<double>(frames)) < 1.0) {
        // Already as long as its cycle to the frame (a take recorded at this tempo): it plays as
        // recorded, every sample as it was, its cycles carrying the fraction of a frame.
        auto data = std::make_unique<float[]>(length * 2);
        std::fill_n(data.get(), length * 2, 0.0f);
        std::copy_n(source.data(), std::min(length, frames) * 2, data.get());
        return std::make_shared<const SampleBuffer>(std::move(data), length);
    }

    // A loop is fed with context on both sides; where its start lands in the output is where the
    // result begins. The key frames pin the loop's start and end to exact output frames, so the
    // stretcher cannot drift within the loop and the cut falls on the loop's own period.
    const std::size_t context = loop ? static_cast<std::size_t>(kContextSeconds * rate) : 0;
    const std::size_t input = loop ? context + frames + context : frames;
    const auto start = static_cast<std::size_t>(std::llround(static_cast<double>(context) * ratio));
    const auto end =
        static_cast<std::size_t>(std::llround(static_cast<double>(context) * ratio + cycle));

    RubberBandStretcher stretcher(
        static_cast<std::size_t>(rate), 2,
        RubberBandStretcher::OptionProcessOffline | RubberBandStretcher::OptionEngineFiner |
            RubberBandStretcher::OptionChannelsTogether | RubberBandStretcher::OptionThreadingNever,
        ratio, pitchScale);
    stretcher.setExpectedInputDuration(input);
    stretcher.setMaxProcessSize(kBlock);
    if (loop)
        stretcher.setKeyFrameMap({{context, start}, {context + frames, end}});

    const PlayedSource played(source, context, loop);
    std::vector<float> left(kBlock), right(kBlock);
    float* channels[2] = {left.data(), right.data()};
    for (std::size_t at = 0; at < input; at += kBlock) {
        if (cancelled(cancel))
            return nullptr;
        const std::size_t count = std::min(kBlock, input - at);
        played.read(at, count, left.data(), right.data());
        stretcher.study(channels, count, at + count == input);
    }

    auto data = std::make_unique<float[]>(length * 2);
    std::fill_n(data.get(), length * 2, 0.0f);
    std::size_t produced = 0; // output frames retrieved so far
    const auto collect = [&] {
        int available = 0;
        while ((available = stretcher.available()) > 0) {
            const std::size_t got =
                stretcher.retrieve(channels, std::min(kBlock, static_cast<std::size_t>(available)));
            for (std::size_t i = 0; i < got; ++i) {
                const std::size_t at = produced + i;
                if (at >= start && at - start < length) {
                    data[2 * (at - start)] = left[i];
                    data[2 * (at - start) + 1] = right[i];
                }
            }
            produced += got;
            if (got == 0)
                break;
        }
    };
    for (std::size_t at = 0; at < input && produced < start + length; at += kBlock) {
        if (cancelled(cancel))
            return nullptr;
        const std::size_t count = std::min(kBlock, input - at);
        played.read(at, count, left.data(), right.data());
        stretcher.process(channels, count, at + count == input);
        collect();
    }
    if (cancelled(cancel))
        return nullptr;
    return std::make_shared<const SampleBuffer>(std::move(data), length);
}
