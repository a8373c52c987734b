// SPDX-License-Identifier: GPL-3.0-or-later
// Takes cut from the input on the mixer's own clock, rendered offline: the input is fed before
// each block, as a JACK client hears its "in" port in the same period it renders.
#include "audio/mixer/BeatGrid.h"
#include "audio/mixer/Mixer.h"
#include "audio/mixer/Voice.h"
#include "audio/sounds/SampleBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 256;

// An offline mixer with an input: `input(position)` is what the input hears at each position.
class TakeRig {
public:
    explicit TakeRig(std::function<float(std::int64_t)> input) : m_input(std::move(input))
    {
        mixer.start(kRate, true);
    }
    ~TakeRig() { mixer.stop(); }

    // Renders `frames` (whole blocks), the input heard first in each.
    void render(std::int64_t frames)
    {
        std::vector<float> heard(kBlock);
        std::vector<float> out(2 * kBlock);
        for (std::int64_t done = 0; done < frames; done += kBlock) {
            for (int i = 0; i < kBlock; ++i)
                heard[static_cast<std::size_t>(i)] = m_input(m_position + i);
            TakeRecorder::Hear(&mixer.recorder(), heard.data(), kBlock);
            mixer.render(out.data(), kBlock);
            rendered.insert(rendered.end(), out.begin(), out.end());
            m_position += kBlock;
        }
    }
    // Everything the take's ring holds.
    std::vector<float> take()
    {
        std::vector<float> frames(ring.readable());
        ring.read(frames.data(), frames.size());
        return frames;
    }

    Mixer mixer;
    MonoRing ring{static_cast<std::size_t>(kRate) * 20};
    std::vector<float> rendered; // interleaved stereo

private:
    std::function<float(std::int64_t)> m_input;
    std::int64_t m_position = 0;
};

std::vector<std::int64_t> clicksIn(const std::vector<float>& mono)
{
    std::vector<std::int64_t> clicks;
    for (std::size_t i = 0; i < mono.size(); ++i)
        if (mono[i] > 0.5f)
            clicks.push_back(static_cast<std::int64_t>(i));
    return clicks;
}

} // namespace

TEST(TakeRecorder, ATakeLastsItsBarsFromTheBarLineAsPlayedAfterTheRoundTrip)
{
    // 97 BPM: a beat of 29690.7 frames, so the bar lines fall on frames the grid rounds.
    const double beat = 60.0 / 97.0 * kRate;
    constexpr std::int64_t kRoundTrip = 300;
    // The musician plays a click on every beat the grid gives; it comes back a round trip late.
    BeatGrid lines;
    lines.start(0, beat, 4);
    std::vector<std::int64_t> beats;
    for (int i = 0; i < 40; ++i) {
        beats.push_back(lines.nextLine());
        lines.pass();
    }
    TakeRig rig([&](std::int64_t position) {
        return std::find(beats.begin(), beats.end(), position - kRoundTrip) != beats.end() ? 1.0f
                                                                                           : 0.0f;
    });
    rig.mixer.setTempo(beat, 4);
    Mixer::TakeRequest request;
    request.bars = 2;
    request.countIn = true;
    request.roundTrip = kRoundTrip;
    request.target = &rig.ring;
    rig.mixer.recordTake(request);
    rig.render(static_cast<std::int64_t>(5 * 4 * beat));

    const TakeRecorder::Progress progress = rig.mixer.recorder().progress();
    ASSERT_EQ(progress.state, TakeRecorder::State::Done);
    // After a bar of count-in, two bars, ending where the grid's twelfth line falls.
    EXPECT_EQ(progress.start, beats[4]);
    EXPECT_EQ(progress.end, beats[12]);
    const std::vector<float> take = rig.take();
    ASSERT_EQ(static_cast<std::int64_t>(take.size()), beats[12] - beats[4]);
    const std::vector<std::int64_t> clicks = clicksIn(take);
    ASSERT_EQ(clicks.size(), 8u);
    for (std::size_t i = 0; i < clicks.size(); ++i)
        EXPECT_EQ(clicks[i], beats[4 + i] - beats[4]) << "beat " << i;
    // The count-in clicked on the bar before the take, with the metronome never switched on.
    float loudest = 0.0f;
    for (std::int64_t i = 0; i < beats[4]; ++i)
        loudest = std::max(loudest, rig.rendered[static_cast<std::size_t>(2 * i)]);
    EXPECT_GT(loudest, 0.1f);
}

TEST(TakeRecorder, AnOpenTakeEndsOnTheNextBarLineAndWithoutATempoWhereItIsTold)
{
    TakeRig rig(
        [](std::int64_t position) { return static_cast<float>(position % 1000) / 1000.0f; });
    rig.mixer.setTempo(12000.0, 4); // 240 BPM: a bar of 48000 frames
    Mixer::TakeRequest request;
    request.target = &rig.ring;
    rig.mixer.recordTake(request);
    rig.render(60000);
    rig.mixer.endTake();
    rig.render(60000);
    TakeRecorder::Progress progress = rig.mixer.recorder().progress();
    ASSERT_EQ(progress.state, TakeRecorder::State::Done);
    EXPECT_EQ(progress.start, 0);
    EXPECT_EQ(progress.end, 96000); // the bar line after the press
    const std::vector<float> take = rig.take();
    ASSERT_EQ(take.size(), 96000u);
    EXPECT_FLOAT_EQ(take[1234], 0.234f);

    // No tempo: the take starts at once and ends where the musician's length puts it.
    TakeRig free([](std::int64_t position) { return position == 700 ? 1.0f : 0.0f; });
    free.mixer.recordTake(request = Mixer::TakeRequest{0, false, 200, &free.ring});
    free.render(kBlock * 4);
    progress = free.mixer.recorder().progress();
    ASSERT_EQ(progress.state, TakeRecorder::State::Recording);
    free.mixer.endTake(progress.start + 20000);
    free.render(30000);
    progress = free.mixer.recorder().progress();
    EXPECT_EQ(progress.end - progress.start, 20000);
    const std::vector<float> freeTake = free.take();
    ASSERT_EQ(freeTake.size(), 20000u);
    EXPECT_EQ(clicksIn(freeTake), std::vector<std::int64_t>{500});
}

TEST(TakeRecorder, AnOverdubTakesTheLoopsNextCycleFromItsFirstFrame)
{
    constexpr std::size_t kLoop = 10000;
    // The input: a click 100 frames into every cycle of the loop (which starts at frame 0).
    TakeRig rig([](std::int64_t position) { return position % kLoop == 100 ? 1.0f : 0.0f; });
    auto data = std::make_unique<float[]>(kLoop * 2);
    auto buffer = std::make_shared<const SampleBuffer>(std::move(data), kLoop);
    Voice* loop = rig.mixer.startVoice(std::make_unique<SampleVoice>(buffer, true));
    rig.render(kBlock * 20); // 5120 frames into the first cycle
    Mixer::TakeRequest request;
    request.target = &rig.ring;
    request.over = loop;
    request.overFrames = kLoop;
    rig.mixer.recordTake(request);
    rig.render(30000);
    const TakeRecorder::Progress progress = rig.mixer.recorder().progress();
    ASSERT_EQ(progress.state, TakeRecorder::State::Done);
    EXPECT_EQ(progress.start, 10000);
    const std::vector<float> take = rig.take();
    ASSERT_EQ(take.size(), kLoop);
    EXPECT_EQ(clicksIn(take), std::vector<std::int64_t>{100});

    // Over a loop that has stopped meanwhile there is nothing to overdub.
    rig.mixer.stopVoice(loop);
    rig.render(kBlock * 2);
    rig.mixer.recordTake(request);
    rig.render(kBlock);
    EXPECT_EQ(rig.mixer.recorder().progress().state, TakeRecorder::State::Cancelled);
}

TEST(TakeRecorder, TheRoundTripIsMeasuredThroughALoopbackAndMonitoringIsHeardAtOnce)
{
    // A loopback cable: the input hears the left output 517 frames later.
    constexpr std::int64_t kDelay = 517;
    TakeRig* rigSeen = nullptr;
    TakeRig rig([&](std::int64_t position) {
        const std::int64_t from = position - kDelay;
        if (from < 0 || static_cast<std::size_t>(2 * from) >= rigSeen->rendered.size())
            return 0.0f;
        return rigSeen->rendered[static_cast<std::size_t>(2 * from)];
    });
    rigSeen = &rig;
    rig.mixer.measureRoundTrip();
    rig.render(kBlock * 8);
    TakeRecorder::Progress progress = rig.mixer.recorder().progress();
    ASSERT_EQ(progress.state, TakeRecorder::State::Measured);
    EXPECT_EQ(progress.roundTrip, kDelay);

    // Nothing comes back through no cable.
    TakeRig deaf([](std::int64_t) { return 0.0f; });
    deaf.mixer.measureRoundTrip();
    deaf.render(kRate + 2 * kBlock);
    EXPECT_EQ(deaf.mixer.recorder().progress().state, TakeRecorder::State::NoEcho);

    // Monitored, the input is in the very block it was heard in; off, it is not heard at all.
    TakeRig monitored([](std::int64_t position) { return position == 300 ? 0.5f : 0.0f; });
    monitored.render(kBlock);
    monitored.mixer.recorder().setMonitor(true);
    monitored.render(kBlock);
    EXPECT_FLOAT_EQ(monitored.rendered[2 * 300], 0.5f);
    EXPECT_FLOAT_EQ(monitored.rendered[2 * 300 + 1], 0.5f);
    monitored.mixer.recorder().setMonitor(false);
    monitored.render(kBlock);
    for (std::size_t i = 0; i < monitored.rendered.size(); ++i)
        if (i / 2 != 300) {
            ASSERT_EQ(monitored.rendered[i], 0.0f) << i;
        }
}
