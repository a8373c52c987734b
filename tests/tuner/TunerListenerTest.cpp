// SPDX-License-Identifier: GPL-3.0-or-later
// The tuner's listening side, fed through the offline input, through SDL's disk driver reading
// a file, and through the JACK client's "in" on a private jackd while a pad loop plays.

#include "tuner/TunerListener.h"
#include "audio/AudioControl.h"
#include "audio/AudioEngine.h"
#include "audio/AudioTestSupport.h"
#include "audio/capture/SdlAudioInput.h"
#include "support/OfflineAudioInput.h"
#include "support/PrivateJackServer.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <fstream>

using State = TunerListener::State;

namespace {

// 110 Hz lowered by 7.3 cents: the A string a little flat.
const double kFlatA = 110.0 * std::pow(2.0, -7.3 / 1200.0);

// A plucked-string-like tone: the fundamental with two weaker harmonics.
struct Tone {
    double hz = kFlatA;
    float level = 0.5f;
    float dc = 0.0f;
    bool clip = false;
    double phase = 0.0;
    float next(int rate)
    {
        const double w = 2.0 * M_PI * phase;
        const double wave = std::sin(w) + 0.5 * std::sin(2 * w) + 0.25 * std::sin(3 * w);
        phase = std::fmod(phase + hz / rate, 1.0);
        float value = level * static_cast<float>(wave / 1.4) + dc;
        return clip ? std::clamp(value, -1.0f, 1.0f) : value;
    }
};

// What the listener owns in place of a device: the test keeps the device itself, so it can tell
// whether the listener closed it.
class Handle final : public AudioInput {
public:
    explicit Handle(OfflineAudioInput& device) : m_device(device) {}
    ~Handle() override { m_device.close(); }
    bool open(Sink sink, void* context) override { return m_device.open(sink, context); }
    void close() override { m_device.close(); }
    bool lost() const override { return m_device.lost(); }
    int rate() const override { return m_device.rate(); }
    const char* name() const override { return m_device.name(); }

private:
    OfflineAudioInput& m_device;
};

class TunerListenerTest : public ::testing::Test {
protected:
    // The inputs the listener opens: offline ones the test feeds.
    std::unique_ptr<AudioInput> openInput(AudioInput::Sink sink, void* context)
    {
        if (noDevice)
            return nullptr;
        devices.push_back(std::make_unique<OfflineAudioInput>(rate));
        input = devices.back().get();
        ++opened;
        return OpenedInput(std::make_unique<Handle>(*input), sink, context);
    }

    // Feeds `seconds` of the tone (or silence) in 10 ms blocks, with the timer's step after
    // every second block, as the input's thread and the UI's timer would take turns.
    void feed(double seconds, Tone* tone)
    {
        const int block = rate / 100;
        std::vector<float> frames(static_cast<std::size_t>(block));
        for (int n = 0; n < static_cast<int>(seconds * 100); ++n) {
            for (float& f : frames)
                f = tone ? tone->next(rate) : 0.0f;
            input->feed(frames.data(), block);
            if (n % 2 == 1)
                listener.poll();
        }
    }

    int rate = 48000;
    bool noDevice = false;
    std::vector<std::unique_ptr<OfflineAudioInput>> devices;
    OfflineAudioInput* input = nullptr;
    int opened = 0;
    TunerListener listener{
        [this](AudioInput::Sink sink, void* context) { return openInput(sink, context); }};
};

} // namespace

TEST_F(TunerListenerTest, AFlatAReadsAsTheAStringWithItsCentsAtEveryRateClippedAndOffset)
{
    for (int r : {8000, 44100, 48000, 192000}) {
        rate = r;
        listener.start();
        ASSERT_EQ(listener.inputRate(), r);
        // Driven into clipping with a DC offset, and a broken driver's samples among them.
        Tone tone{.level = 2.5f, .dc = 0.3f, .clip = true};
        feed(0.3, &tone);
        const float broken[4] = {NAN, INFINITY, -INFINITY, 1e30f};
        input->feed(broken, 4);
        feed(0.5, &tone);
        ASSERT_EQ(listener.state(), State::Pitch) << r << " Hz";
        EXPECT_EQ(listener.held().target.string, 1) << r << " Hz"; // A2, the fifth string
        EXPECT_EQ(listener.held().target.note, 45);
        EXPECT_NEAR(listener.held().target.cents, -7.3, 0.1) << r << " Hz";
        EXPECT_NEAR(listener.held().frequency, kFlatA, 0.01) << r << " Hz";
        listener.stop();
        EXPECT_EQ(listener.state(), State::Off);
        EXPECT_FALSE(input->isOpen()) << "stopping closes the input at once";
    }
}

TEST_F(TunerListenerTest, SilenceParksAndASteadyToneSignalsNoChange)
{
    QSignalSpy changes(&listener, &TunerListener::changed);
    listener.start();
    EXPECT_EQ(listener.state(), State::Parked);
    Tone tone;
    feed(1.0, &tone);
    ASSERT_EQ(listener.state(), State::Pitch);
    const auto settled = changes.count();
    feed(1.0, &tone);
    EXPECT_EQ(changes.count(), settled) << "nothing the face shows moved";

    feed(0.5, nullptr);
    EXPECT_EQ(listener.state(), State::Parked);
    EXPECT_GT(changes.count(), settled);
}

TEST_F(TunerListenerTest, APauseDropsWhatIsHeardAndReadingStartsAfreshAfterIt)
{
    listener.start();
    Tone a;
    feed(0.5, &a);
    ASSERT_EQ(listener.state(), State::Pitch);

    listener.setPaused(true);
    EXPECT_EQ(listener.state(), State::Paused);
    Tone reference{.hz = 329.63};
    feed(1.0, &reference);
    EXPECT_EQ(listener.state(), State::Paused);

    // The reference tone heard during the pause leaves nothing behind.
    listener.setPaused(false);
    EXPECT_EQ(listener.state(), State::Parked);
    Tone lowE{.hz = 82.41};
    feed(0.5, &lowE);
    ASSERT_EQ(listener.state(), State::Pitch);
    EXPECT_EQ(listener.held().target.string, 0);
}

TEST_F(TunerListenerTest, AMissingFailingOrLostInputReadsNoInputAndIsOpenedAgain)
{
    noDevice = true;
    listener.start();
    EXPECT_EQ(listener.state(), State::NoInput);
    // The device comes: the listener's own timer opens it, about once a second.
    noDevice = false;
    QTRY_COMPARE_WITH_TIMEOUT(listener.state(), State::Parked, 5000);
    Tone tone;
    feed(0.5, &tone);
    ASSERT_EQ(listener.state(), State::Pitch);

    input->setLost(true);
    listener.poll();
    EXPECT_EQ(listener.state(), State::NoInput);
    const int before = opened;
    QTRY_VERIFY_WITH_TIMEOUT(opened > before, 5000);
    EXPECT_EQ(listener.state(), State::Parked);
    feed(0.5, &tone);
    EXPECT_EQ(listener.state(), State::Pitch);

    // A rate the detector cannot read is no input either.
    listener.stop();
    rate = 4000;
    listener.start();
    EXPECT_EQ(listener.state(), State::NoInput);
}

TEST_F(TunerListenerTest, AHeldUpUiThreadLosesOnlyThePastNotTheReading)
{
    listener.start();
    Tone tone;
    std::vector<float> frames(static_cast<std::size_t>(rate) * 5);
    for (float& f : frames)
        f = tone.next(rate);
    input->feed(frames.data(), static_cast<int>(frames.size())); // five seconds, no timer
    EXPECT_GT(listener.droppedFrames(), 0u);
    listener.poll();
    feed(0.5, &tone);
    ASSERT_EQ(listener.state(), State::Pitch);
    EXPECT_NEAR(listener.held().target.cents, -7.3, 0.1);
}

TEST(TunerListenerSdl, TheDiskDriverReadsAFlatAFromAFileAsFlatByItsCents)
{
    // SDL's disk driver captures raw frames in exactly the format asked for.
    audiotest::TempDir dir;
    const std::string path = dir.file("guitar.raw");
    {
        std::ofstream raw(path, std::ios::binary);
        Tone tone{.hz = 436.0};
        for (int i = 0; i < SdlAudioInput::kPreferredRate * 6; ++i) {
            const float value = tone.next(SdlAudioInput::kPreferredRate);
            raw.write(reinterpret_cast<const char*>(&value), sizeof value);
        }
    }
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", path.c_str(), 1);
    unsetenv("QUENDEL_AUDIO");
    CaptureTap noDeviceInput;
    TunerListener listener([&noDeviceInput](AudioInput::Sink sink, void* context) {
        return OpenBestAudioInput(sink, context, noDeviceInput);
    });
    listener.setTuning(pitch::Tuning(pitch::TuningKind::Chromatic));
    listener.start();
    ASSERT_STREQ(listener.inputName(), "sdl");
    EXPECT_EQ(listener.inputRate(), SdlAudioInput::kPreferredRate);
    const double flat = 1200.0 * std::log2(436.0 / 440.0); // about -15.8
    QTRY_VERIFY_WITH_TIMEOUT(listener.state() == State::Pitch &&
                                 std::fabs(listener.held().target.cents - flat) < 0.1,
                             20000);
    EXPECT_EQ(listener.held().target.note, 69);
    listener.stop();
}

TEST(TunerListenerJack, AToneIntoInReadsRightWhileAPadLoopPlaysOnFrameForFrame)
{
    if (!PrivateJackServer::installed())
        GTEST_SKIP() << "jackd is not installed (scripts/setup installs jackd2)";
    PrivateJackServer server;
    ASSERT_TRUE(server.start(48000, 256));
    JackTestClient probe;
    ASSERT_TRUE(probe.open(48000 * 60));
    setenv("QUENDEL_AUDIO", "jack", 1);

    // A pad loop whose every frame tells its place (1..1000 over and over, seam included).
    audiotest::TempDir dir;
    const std::string path = dir.file("counting.wav");
    std::vector<float> loop(48000);
    for (std::size_t n = 0; n < loop.size(); ++n)
        loop[n] = static_cast<float>(n % 1000 + 1) / 1024.0f;
    ASSERT_TRUE(WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000, loop));
    TestEngine engine(AudioEngine::Options{});
    AudioControl control(*engine);
    control.InitBASS(0, 48000, false, false);
    ASSERT_STREQ(engine->host().deviceName(), "jack");
    control.OpenSample(path);
    control.PlaySample(true);
    ASSERT_TRUE(probe.connect("Quendel:out_left", probe.port("in_left")));

    TunerListener listener([&engine](AudioInput::Sink sink, void* context) {
        return engine->openInput(sink, context);
    });
    listener.start();
    ASSERT_STREQ(listener.inputName(), "jack");
    probe.playTone(kFlatA, 0.4f);
    ASSERT_TRUE(probe.connect(probe.port("out"), "Quendel:in"));
    QTRY_VERIFY_WITH_TIMEOUT(listener.state() == State::Pitch &&
                                 std::fabs(listener.held().target.cents + 7.3) < 0.1,
                             10000);
    EXPECT_EQ(listener.held().target.string, 1);
    // Listening on for a while as the loop plays.
    QTRY_VERIFY_WITH_TIMEOUT(probe.frames() > 48000 * 4, 20000);
    const std::size_t recorded = probe.frames();
    // A period the server itself skipped (an xrun on a loaded machine) is not the loop's fault.
    const std::uint64_t xruns = engine->host().underruns();
    listener.stop();
    control.TerminateBASS();
    unsetenv("QUENDEL_AUDIO");

    const float* l = probe.left();
    std::size_t first = 0;
    while (first < recorded && l[first] == 0.0f)
        ++first;
    ASSERT_LT(first + 48000, recorded);
    std::uint64_t breaks = 0;
    for (std::size_t i = first; i + 1 < recorded; ++i)
        breaks += std::lround(l[i + 1] * 1024.0f) != std::lround(l[i] * 1024.0f) % 1000 + 1;
    EXPECT_LE(breaks, xruns) << "frames out of order with no xrun to explain them";
}
