// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// Which program serves the PulseAudio protocol: PulseAudio itself, or PipeWire's PulseAudio
// service (pipewire-pulse) in front of a PipeWire daemon and the WirePlumber session manager, as
// most desktops now run it.
enum class PulseServerKind { PulseAudio, PipeWire };

// A PulseAudio server of a test's (or a measurement's) own: a null sink named "measure" whose
// monitor can be recorded, a socket in a fresh folder, and PULSE_SERVER pointing at it. It never
// touches a server that already runs and needs no sound card. PipeWire's processes get the
// folder as their runtime, configuration and state folders, a configuration of their own and no
// D-Bus, so they neither find nor disturb the desktop's.
class PrivatePulseServer {
public:
    PrivatePulseServer() = default;
    ~PrivatePulseServer(); // ends the server and removes its folder
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    // False when the server is not installed or does not come up within five seconds. The null
    // sink runs at `rate`.
    bool start(int rate = 44100, PulseServerKind kind = PulseServerKind::PulseAudio);
    void stop();
    bool running() const { return m_pid > 0; }

    // The process that speaks the PulseAudio protocol; pids() adds PipeWire's daemon (which
    // mixes into the sink) and its session manager.
    pid_t pid() const { return m_pid; }
    std::vector<pid_t> pids() const;
    PulseServerKind kind() const { return m_kind; }
    std::string folder() const { return m_folder; }
    std::string address() const { return "unix:" + m_folder + "/native"; }
    std::string logFile() const { return m_folder + "/server.log"; }
    // Lines of the server's log that report an underrun of the stream with this name.
    int underrunReports(const std::string& streamName) const;

private:
    bool startPipeWire(int rate);
    // Until the socket accepts, or the process gives up; false then.
    bool waitForSocket(const std::string& socketPath, pid_t process);

    std::string m_folder;
    PulseServerKind m_kind = PulseServerKind::PulseAudio;
    pid_t m_pid = 0;
    pid_t m_graphPid = 0;   // PipeWire's daemon
    pid_t m_sessionPid = 0; // WirePlumber
};

// Starts a program in a process of its own; stdin and stdout are replaced when given. With
// `ownGroup` the program leads a process group, so all it starts can be ended together.
pid_t SpawnProgram(const char* const* argv, int stdinFd = -1, int stdoutFd = -1,
                   bool ownGroup = false);

// Records the private server's null sink (its monitor) into memory as float stereo at
// 44.1 kHz, counting frames as they arrive, in fragments of 2 ms: the count read at a press is
// at most that much behind what the sink has played.
class PulseMonitorRecorder {
public:
    PulseMonitorRecorder() = default;
    ~PulseMonitorRecorder();
    PulseMonitorRecorder(const PulseMonitorRecorder&) = delete;
    PulseMonitorRecorder& operator=(const PulseMonitorRecorder&) = delete;

    // Records at most `seconds`; false when the server does not answer.
    bool start(int seconds);
    void stop();
    std::size_t frames() const { return m_frames.load(std::memory_order_acquire); }
    // Interleaved stereo; the first frames() frames are recorded.
    const float* data() const { return m_data.data(); }
    // Mean absolute level of the left channel over the last `frames` recorded frames.
    float recentLevel(std::size_t frames) const;

private:
    static void read(pa_stream* stream, std::size_t bytes, void* self);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    std::vector<float> m_data;
    std::atomic<std::size_t> m_frames{0};
};
