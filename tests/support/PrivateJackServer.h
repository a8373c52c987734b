// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <jack/types.h>
#include <string>
#include <sys/types.h>
#include <vector>

// A JACK server of a test's (or a measurement's) own: jackd on its dummy driver under a private
// server name, which JACK_DEFAULT_SERVER points every client of this process at. It never
// touches a server that already runs and needs no sound card or real-time rights.
class PrivateJackServer {
public:
    PrivateJackServer();
    ~PrivateJackServer(); // ends the server
    PrivateJackServer(const PrivateJackServer&) = delete;
    PrivateJackServer& operator=(const PrivateJackServer&) = delete;

    // Whether jackd is on the PATH at all (scripts/setup installs it).
    static bool installed();
    // Starts the server again under the same name; false when it is not up within five seconds.
    bool start(int rate = 48000, int periodFrames = 256);
    void stop();
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
    pid_t m_pid = 0;
};

// A client that listens and plays along: audio inputs "in_left" and "in_right" recorded into
// memory, the audio output "out" that plays a tone when asked, "midi_in" remembered, and
// "midi_out" that sends what the test queues. Everything
// happens in its process callback, which keeps the server's frame clock for measurements.
class JackTestClient {
public:
    explicit JackTestClient(const char* name = "QuendelProbe") : m_name(name) {}
    ~JackTestClient() { close(); }
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    // Opens and activates the client, recording at most `recordFrames` frames.
    bool open(std::size_t recordFrames);
    void close();
    jack_client_t* client() const { return m_client; }
    std::string port(const char* shortName) const { return m_name + ":" + shortName; }
    bool connect(const std::string& from, const std::string& to);

    // Recorded frames so far; left and right hold at least that many.
    std::size_t frames() const { return m_frames.load(std::memory_order_acquire); }
    const float* left() const { return m_left.data(); }
    const float* right() const { return m_right.data(); }
    // Cycles the server ran late (a client, this one or another, did not finish in time) since
    // the open: a period heard then may be missing or repeated.
    int xruns() const { return m_xruns.load(); }
    // Mean absolute level of the left input over the last `frames` recorded frames.
    float recentLevel(std::size_t frames) const;

    // Sends a message (up to 3 bytes) at the first frame of the next period; returns at once.
    void sendMidi(std::vector<std::uint8_t> message);
    // The server's frame at which the last queued message went out; -1 before it did.
    long long sentFrame() const { return m_sentFrame.load(std::memory_order_acquire); }
    std::vector<std::vector<std::uint8_t>> receivedMidi() const;

    // Plays a sine of `hz` at `level` on "out" from the next period (0 Hz: silence).
    void playTone(double hz, float level);

    // From now on, watches the left input for its first frame that is not silent.
    void awaitSound();
    // The server's frame of that first sounding frame; -1 until there is one.
    long long soundFrame() const { return m_soundFrame.load(std::memory_order_acquire); }

private:
    static int process(jack_nframes_t frames, void* self);

    std::string m_name;
    jack_client_t* m_client = nullptr;
    std::atomic<bool> m_gone{false};
    std::atomic<int> m_xruns{0};
    jack_port_t* m_inputs[2] = {nullptr, nullptr};
    jack_port_t* m_midiIn = nullptr;
    jack_port_t* m_midiOut = nullptr;
    jack_port_t* m_output = nullptr;
    std::atomic<double> m_toneHz{0.0};
    std::atomic<float> m_toneLevel{0.0f};
    double m_tonePhase = 0.0; // process thread only
    std::vector<float> m_left, m_right;
    std::atomic<std::size_t> m_frames{0};
    std::array<std::uint8_t, 3> m_outgoing{};
    std::atomic<std::size_t> m_outgoingSize{0}; // nonzero: a message waits to go out
    std::atomic<long long> m_sentFrame{-1};
    static constexpr std::size_t kMaxReceived = 64;
    std::array<std::array<std::uint8_t, 4>, kMaxReceived> m_received{};
    std::atomic<std::size_t> m_receivedCount{0};
    std::atomic<bool> m_awaitSound{false};
    std::atomic<long long> m_soundFrame{-1};
};
