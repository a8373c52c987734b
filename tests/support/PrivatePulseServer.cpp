// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivatePulseServer.h"
#include "SignalLevel.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

pid_t SpawnProgram(const char* const* argv, int stdinFd, int stdoutFd, bool ownGroup)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (ownGroup)
        setpgid(0, 0);
    if (stdinFd >= 0)
        dup2(stdinFd, STDIN_FILENO);
    if (stdoutFd >= 0)
        dup2(stdoutFd, STDOUT_FILENO);
    execvp(argv[0], const_cast<char* const*>(argv));
    std::_Exit(127);
}

namespace {

bool accepts(const std::string& socketPath)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

} // namespace

bool PrivatePulseServer::start(int rate, PulseServerKind kind)
{
    stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    char pattern[] = "/tmp/quendel-pulse-XXXXXX";
    if (!mkdtemp(pattern))
        return false;
    m_folder = pattern;
    m_kind = kind;
    setenv("PULSE_SERVER", address().c_str(), 1);
    if (kind == PulseServerKind::PipeWire)
        return startPipeWire(rate);
    const std::string config = m_folder + "/server.pa";
    std::ofstream(config) << "load-module module-null-sink sink_name=measure rate=" << rate
                          << " channels=2\n"
                          << "load-module module-native-protocol-unix auth-anonymous=1 socket="
                          << m_folder << "/native\n"
                          << "set-default-sink measure\n";
    const std::string logTarget = "--log-target=file:" + logFile();
    // -n: none of the system's default modules (no sound card, no D-Bus, no X11).
    const char* argv[] = {
        "pulseaudio",        "-n",           "--daemonize=no", "--exit-idle-time=-1",
        "--use-pid-file=no", "-F",           config.c_str(),   logTarget.c_str(),
        "--log-level=debug", "--log-time=1", nullptr};
    m_pid = SpawnProgram(argv);
    return waitForSocket(m_folder + "/native", m_pid);
}

bool PrivatePulseServer::waitForSocket(const std::string& socketPath, pid_t process)
{
    for (int i = 0; i < 100; ++i) {
        if (accepts(socketPath))
            return true;
        if (waitpid(process, nullptr, WNOHANG) == process) { // not installed, or it gave up
            for (pid_t* member : {&m_pid, &m_graphPid, &m_sessionPid})
                if (*member == process)
                    *member = 0;
            stop();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    return false;
}

PrivatePulseServer::~PrivatePulseServer()
{
    stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

void PrivatePulseServer::stop()
{
    // The session manager and the PulseAudio service go before the daemon they are clients of.
    for (pid_t* process : {&m_sessionPid, &m_pid, &m_graphPid}) {
        if (*process > 0) {
            kill(*process, SIGKILL);
            waitpid(*process, nullptr, 0);
        }
        *process = 0;
    }
}

std::vector<pid_t> PrivatePulseServer::pids() const
{
    std::vector<pid_t> all;
    for (pid_t process : {m_pid, m_graphPid, m_sessionPid})
        if (process > 0)
            all.push_back(process);
    return all;
}

int PrivatePulseServer::underrunReports(const std::string& streamName) const
{
    std::ifstream log(logFile());
    // PulseAudio names the stream; pipewire-pulse names the client, which Quendel names alike.
    const std::string needle = m_kind == PulseServerKind::PipeWire
                                   ? "[" + streamName + "]: UNDERFLOW"
                                   : "nderrun of '" + streamName + "'";
    int count = 0;
    for (std::string line; std::getline(log, line);)
        if (line.find(needle) != std::string::npos)
            ++count;
    return count;
}

PulseMonitorRecorder::~PulseMonitorRecorder()
{
    stop();
}

bool PulseMonitorRecorder::start(int seconds)
{
    constexpr std::uint32_t kRate = 44100;
    stop();
    m_data.assign(static_cast<std::size_t>(seconds) * kRate * 2, 0.0f);
    m_frames = 0;
    m_loop = pa_threaded_mainloop_new();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "quendel-monitor");
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_loop) < 0)
        return false;
    for (int i = 0; i < 250; ++i) {
        pa_threaded_mainloop_lock(m_loop);
        const pa_context_state_t state = pa_context_get_state(m_context);
        pa_threaded_mainloop_unlock(m_loop);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pa_threaded_mainloop_lock(m_loop);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, 2};
    m_stream = pa_stream_new(m_context, "monitor", &spec, nullptr);
    pa_stream_set_read_callback(m_stream, &PulseMonitorRecorder::read, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = 88 * 2 * sizeof(float);
    const bool ok =
        pa_stream_connect_record(m_stream, "measure.monitor", &attr, PA_STREAM_ADJUST_LATENCY) == 0;
    pa_threaded_mainloop_unlock(m_loop);
    return ok;
}

float PulseMonitorRecorder::recentLevel(std::size_t count) const
{
    return RecentLevel(m_data.data(), 2, frames(), count);
}

void PulseMonitorRecorder::stop()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_stop(m_loop);
    if (m_stream)
        pa_stream_unref(m_stream);
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    pa_threaded_mainloop_free(m_loop);
    m_stream = nullptr;
    m_context = nullptr;
    m_loop = nullptr;
}

void PulseMonitorRecorder::read(pa_stream* stream, std::size_t, void* self)
{
    auto* recorder = static_cast<PulseMonitorRecorder*>(self);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0) {
        const std::size_t frames = bytes / (2 * sizeof(float));
        const std::size_t at = recorder->m_frames.load(std::memory_order_relaxed);
        const std::size_t kept = std::min(frames, recorder->m_data.size() / 2 - at);
        // A hole in the record (no data) stays silent, and so counts as a gap.
        if (data)
            std::memcpy(recorder->m_data.data() + at * 2, data, kept * 2 * sizeof(float));
        recorder->m_frames.store(at + kept, std::memory_order_release);
        pa_stream_drop(stream);
    }
}
