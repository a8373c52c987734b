// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateJackServer.h"
#include "SignalLevel.h"

#include "PrivatePulseServer.h" // SpawnProgram

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

PrivateJackServer::PrivateJackServer() : m_name("quendel-test-" + std::to_string(getpid())) {}

PrivateJackServer::~PrivateJackServer()
{
    stop();
}

bool PrivateJackServer::installed()
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (access((folder + "/jackd").c_str(), X_OK) == 0)
            return true;
    return false;
}

bool PrivateJackServer::start(int rate, int periodFrames)
{
    stop();
    // The waits below ask a server that is not up yet; libjack would say so on stderr each time.
    jack_set_error_function([](const char*) {});
    setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
    const std::string rateText = std::to_string(rate);
    const std::string periodText = std::to_string(periodFrames);
    const char* argv[] = {"jackd", "--no-realtime",  "-n", m_name.c_str(),     "-d",   "dummy",
                          "-r",    rateText.c_str(), "-p", periodText.c_str(), nullptr};
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    m_pid = SpawnProgram(argv, -1, quiet);
    if (quiet >= 0)
        ::close(quiet);
    for (int i = 0; i < 100; ++i) {
        jack_status_t status{};
        if (jack_client_t* probe = jack_client_open("QuendelWait", JackNoStartServer, &status)) {
            jack_client_close(probe);
            return true;
        }
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = 0;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    return false;
}

void PrivateJackServer::stop()
{
    if (m_pid <= 0)
        return;
    // SIGTERM lets the server tell its clients and clean its shared memory, so the same name
    // can start again at once.
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 100 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(m_pid, nullptr, WNOHANG) == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = 0;
}

bool JackTestClient::open(std::size_t recordFrames)
{
    close();
    m_left.assign(recordFrames, 0.0f);
    m_right.assign(recordFrames, 0.0f);
    m_frames = 0;
    m_receivedCount = 0;
    jack_status_t status{};
    m_client = jack_client_open(m_name.c_str(), JackNoStartServer, &status);
    if (!m_client)
        return false;
    m_name = jack_get_client_name(m_client);
    m_inputs[0] =
        jack_port_register(m_client, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    m_inputs[1] =
        jack_port_register(m_client, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    m_midiIn = jack_port_register(m_client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_midiOut =
        jack_port_register(m_client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    m_output = jack_port_register(m_client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (!m_inputs[0] || !m_inputs[1] || !m_midiIn || !m_midiOut || !m_output ||
        jack_set_process_callback(m_client, &process, this) != 0 ||
        jack_set_xrun_callback(
            m_client,
            [](void* self) {
                static_cast<JackTestClient*>(self)->m_xruns.fetch_add(1);
                return 0;
            },
            this) != 0) {
        close();
        return false;
    }
    m_gone = false;
    jack_on_shutdown(
        m_client, [](void* self) { static_cast<JackTestClient*>(self)->m_gone = true; }, this);
    if (jack_activate(m_client) != 0) {
        close();
        return false;
    }
    return true;
}

void JackTestClient::close()
{
    if (!m_client)
        return;
    // libjack reads the server's shared memory to deactivate: not once the server has gone.
    if (!m_gone)
        jack_deactivate(m_client);
    jack_client_close(m_client);
    m_client = nullptr;
}

bool JackTestClient::connect(const std::string& from, const std::string& to)
{
    if (!m_client)
        return false;
    const int result = jack_connect(m_client, from.c_str(), to.c_str());
    return result == 0 || result == EEXIST;
}

float JackTestClient::recentLevel(std::size_t count) const
{
    return RecentLevel(m_left.data(), 1, frames(), count);
}

void JackTestClient::sendMidi(std::vector<std::uint8_t> message)
{
    m_sentFrame.store(-1);
    const std::size_t size = std::min<std::size_t>(message.size(), m_outgoing.size());
    std::copy_n(message.begin(), size, m_outgoing.begin());
    m_outgoingSize.store(size, std::memory_order_release);
}

std::vector<std::vector<std::uint8_t>> JackTestClient::receivedMidi() const
{
    std::vector<std::vector<std::uint8_t>> messages;
    const std::size_t count =
        std::min(m_receivedCount.load(std::memory_order_acquire), kMaxReceived);
    for (std::size_t i = 0; i < count; ++i)
        messages.emplace_back(m_received[i].begin() + 1,
                              m_received[i].begin() + 1 + m_received[i][0]);
    return messages;
}

void JackTestClient::playTone(double hz, float level)
{
    m_toneLevel.store(level, std::memory_order_relaxed);
    m_toneHz.store(hz, std::memory_order_release);
}

void JackTestClient::awaitSound()
{
    m_soundFrame.store(-1);
    m_awaitSound.store(true, std::memory_order_release);
}

int JackTestClient::process(jack_nframes_t frames, void* self)
{
    auto& probe = *static_cast<JackTestClient*>(self);
    const long long now = jack_last_frame_time(probe.m_client);
    const auto* left = static_cast<const float*>(jack_port_get_buffer(probe.m_inputs[0], frames));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(probe.m_inputs[1], frames));
    const std::size_t first = probe.m_frames.load(std::memory_order_relaxed);
    const std::size_t room = probe.m_left.size() - first;
    const std::size_t take = std::min<std::size_t>(frames, room);
    std::copy_n(left, take, probe.m_left.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy_n(right, take, probe.m_right.begin() + static_cast<std::ptrdiff_t>(first));
    probe.m_frames.store(first + take, std::memory_order_release);
    if (probe.m_awaitSound.load(std::memory_order_acquire))
        for (jack_nframes_t i = 0; i < frames; ++i)
            if (left[i] != 0.0f) {
                probe.m_soundFrame.store(now + i, std::memory_order_release);
                probe.m_awaitSound.store(false, std::memory_order_relaxed);
                break;
            }

    auto* tone = static_cast<float*>(jack_port_get_buffer(probe.m_output, frames));
    const double step = probe.m_toneHz.load(std::memory_order_acquire) /
                        static_cast<double>(jack_get_sample_rate(probe.m_client));
    const float level = probe.m_toneLevel.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        tone[i] = level * static_cast<float>(std::sin(2.0 * M_PI * probe.m_tonePhase));
        probe.m_tonePhase = std::fmod(probe.m_tonePhase + step, 1.0);
    }

    void* in = jack_port_get_buffer(probe.m_midiIn, frames);
    for (jack_nframes_t i = 0, n = jack_midi_get_event_count(in); i < n; ++i) {
        jack_midi_event_t event;
        const std::size_t slot = probe.m_receivedCount.load(std::memory_order_relaxed);
        if (jack_midi_event_get(&event, in, i) != 0 || slot >= kMaxReceived)
            continue;
        const std::size_t size = std::min<std::size_t>(event.size, 3);
        probe.m_received[slot][0] = static_cast<std::uint8_t>(size);
        std::copy_n(event.buffer, size, probe.m_received[slot].begin() + 1);
        probe.m_receivedCount.store(slot + 1, std::memory_order_release);
    }
    void* out = jack_port_get_buffer(probe.m_midiOut, frames);
    jack_midi_clear_buffer(out);
    if (const std::size_t size = probe.m_outgoingSize.load(std::memory_order_acquire)) {
        jack_midi_event_write(out, 0, probe.m_outgoing.data(), size);
        probe.m_outgoingSize.store(0, std::memory_order_relaxed);
        probe.m_sentFrame.store(now, std::memory_order_release);
    }
    return 0;
}
