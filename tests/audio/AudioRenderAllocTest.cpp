// SPDX-License-Identifier: GPL-3.0-or-later
// The render function must neither allocate nor free: this binary replaces the global operator
// new and delete with counting versions, armed only on the rendering thread around render.

#include "AudioTestSupport.h"
#include "audio/DirectSound.h"
#include "audio/mixer/Mixer.h"
#include "audio/mixer/Voice.h"
#include "audio/sounds/SampleBuffer.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local bool t_armed = false;
std::atomic<int> g_allocations{0};
std::atomic<int> g_frees{0};

void* allocate(std::size_t size)
{
    if (t_armed)
        g_allocations.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void release(void* p)
{
    if (t_armed && p)
        g_frees.fetch_add(1);
    std::free(p);
}

void* allocateAligned(std::size_t size, std::align_val_t align)
{
    if (t_armed)
        g_allocations.fetch_add(1);
    const auto alignment = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void* operator new(std::size_t size, std::align_val_t align)
{
    return allocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align)
{
    return allocateAligned(size, align);
}
void operator delete(void* p) noexcept
{
    release(p);
}
void operator delete[](void* p) noexcept
{
    release(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    release(p);
}

using namespace audiotest;

TEST_F(OfflineEngineTest, RenderWithEveryKindOfVoiceAllocatesNothing)
{
    const std::string sample = sound("sample.wav", sine(3000, 1, 441.0, kRate, 0.5f));
    const std::string stream = sound("stream.mp3", sine(20000, 2, 220.0, kRate, 0.5f), 2, kMp3);
    const std::string big = sound("big.wav", sine(30000, 1, 300.0, 48000, 0.5f), 1, kWav16, 48000);
    engine().setSampleSizeLimit(100000);

    AudioControl tuner(engine());
    control.OpenSample(sample);
    control.PlaySample(true);
    control.OpenStream(stream);
    control.PlayStream(true);
    tuner.OpenSample(big); // too large to hold: a resampled stream in the sample slot
    ASSERT_TRUE(tuner.sampleIsStreamed());
    tuner.PlaySample(true);
    AudioControl once(engine());
    once.OpenSample(sample);
    once.PlaySample(false);
    DirectX7 dx(engine());
    DSBUFFERDESC desc;
    desc.lBufferBytes = 4101;
    auto buffer = dx.DirectSoundCreate("")->CreateSoundBuffer(desc, WAVEFORMATEX{});
    std::vector<std::uint8_t> bytes(4101, 200);
    buffer->WriteBuffer(0, 0, bytes.data(), DSBLOCK_ENTIREBUFFER);
    buffer->Play(DSBPLAY_LOOPING);
    render(512); // every voice has started

    // Commands of every kind are pending when render runs: gains, a rewrite, stops.
    control.SampleVol(40);
    tuner.SamplePan(-30);
    bytes.assign(4101, 60);
    buffer->WriteBuffer(0, 0, bytes.data(), DSBLOCK_ENTIREBUFFER);
    once.StopSample();
    // The sample loop hands over to its next file at its cycle end, inside a block.
    control.QueueAtLoopEnd(sample);

    std::vector<float> out(2 * 4096);
    int allocations = 0;
    int frees = 0;
    for (int block = 0; block < 40; ++block) {
        if (block == 20) {
            control.StopStream(); // a fading stream voice, then one to retire
            buffer.reset();
        }
        g_allocations = 0;
        g_frees = 0;
        t_armed = true;
        engine().mixer().render(out.data(), block % 2 ? 256 : 4096);
        t_armed = false;
        allocations += g_allocations;
        frees += g_frees;
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(frees, 0);
    EXPECT_TRUE(control.SampleIsActive());
    EXPECT_FALSE(control.HasQueued());
    EXPECT_TRUE(tuner.SampleIsActive());
}

TEST(MixerTimeAllocations, TheGridTheMetronomeAndATempoChangeAllocateNothingInRender)
{
    constexpr int kRate = 44100;
    const double beat = kRate * 60.0 / 137.0;
    const auto loop = [](double cycle, bool anchors) {
        const auto frames = static_cast<std::size_t>(std::ceil(cycle));
        auto data = std::make_unique<float[]>(frames * 2);
        std::fill(data.get(), data.get() + frames * 2, 0.25f);
        auto voice = std::make_unique<SampleVoice>(
            std::make_shared<SampleBuffer>(std::move(data), frames), true, cycle);
        voice->anchorsGrid = anchors;
        return voice;
    };
    Mixer mixer;
    mixer.start(kRate, true);
    mixer.setTempo(beat, 4);
    mixer.setCountIn(true);
    mixer.setMetronome(true, 0.8f);
    Voice* playing = mixer.startVoice(loop(4 * beat, true));
    std::vector<float> out(2 * 4096);
    std::vector<float> clicks(2 * 4096);
    int allocations = 0;
    int frees = 0;
    const auto renderArmed = [&](int frames, bool withClicks) {
        g_allocations = 0;
        g_frees = 0;
        t_armed = true;
        mixer.render(out.data(), frames, withClicks ? clicks.data() : nullptr);
        t_armed = false;
        allocations += g_allocations;
        frees += g_frees;
    };
    // The count-in, the loop's start on its bar line, then a switch on the next beat, a tempo
    // change and a swap at the bar line, each applied inside render.
    for (int block = 0; block < 120; ++block) {
        if (block == 40)
            playing = mixer.startVoiceAfter(loop(8 * beat, false), playing, Mixer::SwitchAt::Beat);
        if (block == 60)
            mixer.setTempo(beat * 1.1, 3);
        if (block == 80)
            mixer.swapAtBar(loop(8 * beat * 1.2, false), playing, beat * 1.2);
        if (block == 100)
            mixer.setTempo(0.0);
        renderArmed(block % 2 ? 333 : 4096, block % 3 != 0);
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(frees, 0);
    EXPECT_EQ(mixer.beatFrames(), 0.0);
    EXPECT_GT(mixer.framesRendered(), 0);
}
