// SPDX-License-Identifier: GPL-3.0-or-later
// Quendel as a JACK client, on a private jackd with the dummy driver (48 kHz, 256 frames), heard
// and played to by a client of the test's own.

#include "AudioTestSupport.h"
#include "audio/host/JackAudioDevice.h"
#include "audio/mixer/Mixer.h"
#include "support/PrivateJackServer.h"

#include <algorithm>
#include <jack/jack.h>

using namespace audiotest;

namespace {

// Frame n holds code (n % 1000 + 1) / 1024 on the left and its negative on the right: every
// frame tells its position, so a gap, a repeat or swapped sides show.
struct CountingSource {
    std::atomic<long> frames{0};
    static void render(void* self, float* out, int count)
    {
        auto* source = static_cast<CountingSource*>(self);
        const long first = source->frames.load(std::memory_order_relaxed);
        for (int i = 0; i < count; ++i) {
            const auto value = static_cast<float>((first + i) % 1000 + 1) / 1024.0f;
            out[2 * i] = value;
            out[2 * i + 1] = -value;
        }
        source->frames.store(first + count, std::memory_order_relaxed);
    }
};

// Incoming MIDI, kept without allocating on JACK's thread.
struct MidiLog {
    std::array<std::array<std::uint8_t, 3>, 16> messages{};
    std::atomic<std::size_t> count{0};
    void receive(const std::uint8_t* bytes, std::size_t size)
    {
        const std::size_t slot = count.load(std::memory_order_relaxed);
        if (slot >= messages.size() || size != 3)
            return;
        std::copy_n(bytes, 3, messages[slot].begin());
        count.store(slot + 1, std::memory_order_release);
    }
    bool holds(std::array<std::uint8_t, 3> message) const
    {
        const std::size_t n = count.load(std::memory_order_acquire);
        return std::find(messages.begin(), messages.begin() + static_cast<long>(n), message) !=
               messages.begin() + static_cast<long>(n);
    }
};

bool holds(const std::vector<std::vector<std::uint8_t>>& got, std::vector<std::uint8_t> message)
{
    return std::find(got.begin(), got.end(), message) != got.end();
}

std::vector<std::string> quendelPorts(jack_client_t* client)
{
    std::vector<std::string> names;
    if (const char** ports = jack_get_ports(client, "^Quendel:", nullptr, 0)) {
        for (const char** port = ports; *port; ++port)
            names.emplace_back(*port);
        jack_free(static_cast<void*>(ports));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class JackDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateJackServer::installed())
            GTEST_SKIP() << "jackd is not installed (scripts/setup installs jackd2)";
        ASSERT_TRUE(server.start(48000, 256));
        ASSERT_TRUE(probe.open(48000 * 30));
    }
    bool listenTo(const char* client)
    {
        const std::string from = std::string(client) + ":";
        return probe.connect(from + JackAudioDevice::kLeftPort, probe.port("in_left")) &&
               probe.connect(from + JackAudioDevice::kRightPort, probe.port("in_right")) &&
               probe.connect(probe.port("midi_out"), from + JackAudioDevice::kMidiInPort) &&
               probe.connect(from + JackAudioDevice::kMidiOutPort, probe.port("midi_in"));
    }

    PrivateJackServer server;
    // The two sides are joined one after the other, so one may be heard some periods before the
    // other (more on a busy machine): a comparison of the sides starts where both are heard.
    std::size_t bothHeard()
    {
        std::size_t frame = 0;
        while (frame < probe.frames() &&
               (probe.left()[frame] == 0.0f || probe.right()[frame] == 0.0f))
            ++frame;
        return frame;
    }

    JackTestClient probe;
};

} // namespace

TEST_F(JackDeviceTest, TheClientShowsItsPortsAndPlaysWhatItRendersOnThemFrameForFrame)
{
    CountingSource source;
    JackAudioDevice device;
    ASSERT_TRUE(device.open(44100, DefaultBufferPlan(), &CountingSource::render, &source));
    EXPECT_STREQ(device.clientName(), "Quendel");
    EXPECT_EQ(device.rate(), 48000); // the server's, not the one asked for
    EXPECT_EQ(device.plan(), (BufferPlan{256, 2}));
    EXPECT_EQ(quendelPorts(probe.client()),
              (std::vector<std::string>{"Quendel:click_1", "Quendel:click_2", "Quendel:in",
                                        "Quendel:midi_in", "Quendel:midi_out", "Quendel:out_left",
                                        "Quendel:out_right"}));
    jack_port_t* left = jack_port_by_name(probe.client(), "Quendel:out_left");
    jack_port_t* right = jack_port_by_name(probe.client(), "Quendel:out_right");
    EXPECT_TRUE(jack_port_connected_to(left, "system:playback_1"));
    EXPECT_TRUE(jack_port_connected_to(right, "system:playback_2"));
    EXPECT_STREQ(jack_port_type(jack_port_by_name(probe.client(), "Quendel:midi_in")),
                 JACK_DEFAULT_MIDI_TYPE);

    ASSERT_TRUE(listenTo("Quendel"));
    const float* l = probe.left();
    const float* r = probe.right();
    // The check starts where both sides are heard, and takes 20 periods.
    ASSERT_TRUE(eventually([&] { return bothHeard() + 256 * 20 < probe.frames(); }));
    const std::size_t first = bothHeard();
    // A busy machine may make the server run a cycle late; the period it plays then may be
    // missing or repeated, but within a period every frame follows the last.
    const bool late = probe.xruns() > 0;
    for (std::size_t i = first; i + 1 < probe.frames(); ++i) {
        ASSERT_EQ(r[i], -l[i]) << "frame " << i;
        if (late && (i + 1) % 256 == 0)
            continue;
        const long code = std::lround(l[i] * 1024.0f) % 1000 + 1;
        ASSERT_EQ(std::lround(l[i + 1] * 1024.0f), code) << "frame " << i;
    }
}

TEST_F(JackDeviceTest, TheClickPortsCarryTheMetronomeAlone)
{
    setenv("QUENDEL_AUDIO", "jack", 1);
    LevelLoopEngine player;
    player.start();
    ASSERT_STREQ(player.engine->host().deviceName(), "jack");
    Mixer& mixer = player.engine->mixer();
    mixer.setTempo(4800.0, 4); // ten beats a second at the server's 48 kHz
    mixer.setMetronome(true, 1.0f);
    mixer.commitPending();
    player.playLoop(); // heard on the main outputs only
    ASSERT_TRUE(probe.connect("Quendel:click_1", probe.port("in_left")));
    ASSERT_TRUE(probe.connect("Quendel:click_2", probe.port("in_right")));
    // The accented click peaks near full level; the loop's 0.25 never reaches these ports.
    const auto peak = [&] {
        float largest = 0.0f;
        for (std::size_t i = 0; i < probe.frames(); ++i)
            largest = std::max(largest, std::fabs(probe.left()[i]));
        return largest;
    };
    EXPECT_TRUE(
        eventually([&] { return probe.frames() >= bothHeard() + 48000 / 2 && peak() > 0.8f; }));
    std::size_t heard = 0;
    for (std::size_t i = bothHeard(); i < probe.frames(); ++i) {
        ASSERT_EQ(probe.left()[i], probe.right()[i]) << i;
        if (std::fabs(std::fabs(probe.left()[i]) - 0.25f) < 1e-6f)
            ++heard;
    }
    EXPECT_LT(heard, probe.frames() / 100) << "the loop is not on the click ports";
    player.control.TerminateBASS();
    unsetenv("QUENDEL_AUDIO");
}

TEST_F(JackDeviceTest, NoServerMeansNoClientAtOnce)
{
    probe.close();
    server.stop();
    CountingSource source;
    JackAudioDevice device;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.open(48000, DefaultBufferPlan(), &CountingSource::render, &source));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(device.midi()->connected());
}

TEST_F(JackDeviceTest, TheEngineTakesTheServersRateCarriesMidiAndComesBackAfterTheServer)
{
    setenv("QUENDEL_AUDIO", "jack", 1);
    MidiLog log;
    LevelLoopEngine player;
    ASSERT_FALSE(player.path.empty());
    player.engine->host().midi().setReceiver(
        [&log](const std::uint8_t* bytes, std::size_t size) { log.receive(bytes, size); });
    player.start();
    ASSERT_STREQ(player.engine->host().deviceName(), "jack");
    EXPECT_EQ(player.engine->sampleRate(), 48000);
    EXPECT_TRUE(player.engine->host().midi().connected());
    player.playLoop();
    ASSERT_TRUE(listenTo("Quendel"));
    EXPECT_TRUE(eventually([&] { return std::fabs(probe.recentLevel(4800) - 0.25f) < 0.01f; }));

    probe.sendMidi({0x90, 60, 100});
    EXPECT_TRUE(eventually([&] { return log.holds({0x90, 60, 100}); }));
    const std::uint8_t light[] = {0x90, 36, 127};
    player.engine->host().midi().send(light, sizeof light);
    EXPECT_TRUE(eventually([&] { return holds(probe.receivedMidi(), {0x90, 36, 127}); }));

    // The server ends: the device is lost, MIDI falls silent, the pad plays on unheard.
    probe.close();
    server.stop();
    EXPECT_TRUE(player.reaches(""));
    EXPECT_FALSE(player.engine->host().midi().connected());
    EXPECT_TRUE(player.control.SampleIsActive());

    // It comes back at another rate: the loop is heard again at its level, through the same
    // MIDI transport, while the engine keeps its own rate.
    ASSERT_TRUE(server.start(44100, 256));
    ASSERT_TRUE(probe.open(44100 * 30));
    EXPECT_TRUE(player.reaches("jack"));
    ASSERT_TRUE(eventually([&] { return listenTo("Quendel"); }));
    EXPECT_TRUE(eventually([&] { return std::fabs(probe.recentLevel(4410) - 0.25f) < 0.01f; }));
    EXPECT_EQ(player.engine->sampleRate(), 48000);
    probe.sendMidi({0x80, 60, 0});
    EXPECT_TRUE(eventually([&] { return log.holds({0x80, 60, 0}); }));

    player.control.TerminateBASS();
    player.engine->host().midi().setReceiver({});
    unsetenv("QUENDEL_AUDIO");
}

TEST_F(JackDeviceTest, TheChosenOutputTakesTheSoundAtOnceAndALostServerGetsItBack)
{
    // No pin: the engine chooses as on a musician's machine, where SDL (here its dummy driver)
    // stands in while JACK is away.
    unsetenv("QUENDEL_AUDIO");
    LevelLoopEngine player;
    ASSERT_FALSE(player.path.empty());
    player.engine->host().setOutputChoice(OutputChoice::fromText("SDL"));
    player.start();
    EXPECT_STREQ(player.engine->host().deviceName(), "sdl")
        << "the chosen output comes before the usual order";
    player.playLoop();

    // Chosen while it plays, JACK takes the sound at once, and the loop plays on there.
    player.engine->host().setOutputChoice(OutputChoice::fromText("JACK"));
    ASSERT_TRUE(player.reaches("jack"));
    ASSERT_TRUE(eventually([&] { return listenTo("Quendel"); }));
    EXPECT_TRUE(eventually([&] { return std::fabs(probe.recentLevel(4800) - 0.25f) < 0.01f; }));

    // The server ends: SDL stands in, the pad playing on.
    probe.close();
    server.stop();
    EXPECT_TRUE(player.reaches("sdl"));
    EXPECT_TRUE(player.control.SampleIsActive());

    // It returns: the sound goes back to it within two seconds, as it was.
    ASSERT_TRUE(server.start(48000, 256));
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.reaches("jack"));
    const auto returned = std::chrono::steady_clock::now() - back;
    std::printf("back on JACK %lld ms after the server\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(returned).count()));
    ASSERT_TRUE(probe.open(48000 * 30));
    ASSERT_TRUE(eventually([&] { return listenTo("Quendel"); }));
    EXPECT_TRUE(eventually([&] { return std::fabs(probe.recentLevel(4800) - 0.25f) < 0.01f; }));
    EXPECT_TRUE(player.control.SampleIsActive());

    player.control.TerminateBASS();
    player.engine->host().setOutputChoice({});
}

TEST_F(JackDeviceTest, EitherReportOfALostServerBringsTheSoundBack)
{
    // JACK's own library reports a lost server one way, PipeWire's the other; a real server here
    // only takes the first, so the test reports it each way itself.
    setenv("QUENDEL_AUDIO", "jack", 1);
    std::atomic<int> opened{0};
    std::atomic<JackAudioDevice*> latest{nullptr};
    LevelLoopEngine player(
        AudioEngine::Options{false, [&](int rate, const BufferPlan& plan,
                                        AudioDevice::RenderCallback render, void* context) {
                                 auto device = std::make_unique<JackAudioDevice>();
                                 if (!device->open(rate, plan, render, context))
                                     return std::unique_ptr<AudioDevice>();
                                 latest.store(device.get());
                                 opened.fetch_add(1);
                                 return std::unique_ptr<AudioDevice>(std::move(device));
                             }});
    ASSERT_FALSE(player.path.empty());
    player.start();
    ASSERT_EQ(opened.load(), 1);
    player.playLoop();

    const std::array<std::pair<const char*, std::function<void(JackAudioDevice*)>>, 2> reports{{
        {"jack_on_shutdown", [](JackAudioDevice* device) { JackAudioDevice::shutdown(device); }},
        {"jack_on_info_shutdown",
         [](JackAudioDevice* device) {
             JackAudioDevice::infoShutdown(JackServerError, "server lost", device);
         }},
    }};
    for (const auto& [way, report] : reports) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(eventually([&] { return listenTo("Quendel"); }));
        EXPECT_TRUE(eventually([&] { return std::fabs(probe.recentLevel(4800) - 0.25f) < 0.01f; }));
        const int before = opened.load();
        JackAudioDevice* lost = latest.load();
        report(lost);
        // The engine closes the lost client and opens a new one, and the loop plays on there.
        ASSERT_TRUE(eventually([&] { return opened.load() > before; }));
        EXPECT_TRUE(player.control.SampleIsActive());
    }
    ASSERT_TRUE(eventually([&] { return listenTo("Quendel"); }));
    EXPECT_TRUE(eventually([&] { return std::fabs(probe.recentLevel(4800) - 0.25f) < 0.01f; }));

    player.control.TerminateBASS();
    unsetenv("QUENDEL_AUDIO");
}

TEST_F(JackDeviceTest, BothReportsOfOneLossAreOneLoss)
{
    CountingSource source;
    JackAudioDevice device;
    ASSERT_TRUE(device.open(48000, DefaultBufferPlan(), &CountingSource::render, &source));
    ASSERT_FALSE(device.lost());
    JackAudioDevice::infoShutdown(JackServerError, "server lost", &device);
    JackAudioDevice::shutdown(&device);
    EXPECT_TRUE(device.lost());
    EXPECT_FALSE(device.midi()->connected());
    device.close();
    // Opened again, the device is whole.
    ASSERT_TRUE(device.open(48000, DefaultBufferPlan(), &CountingSource::render, &source));
    EXPECT_FALSE(device.lost());
    EXPECT_TRUE(device.midi()->connected());
}
