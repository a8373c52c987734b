// SPDX-License-Identifier: GPL-3.0-or-later
// PrivatePulseServer on PipeWire: a PipeWire daemon whose graph runs on its own timer, the
// PulseAudio service (pipewire-pulse) with the null sink "measure", and WirePlumber, which links
// each new stream to the default sink as it does on a desktop.

#include "PrivatePulseServer.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace {

// The converter and support libraries and the real-time module, which both processes load, then
// the named libpipewire-module-* modules in order.
std::string librariesAndModules(std::initializer_list<const char*> modules)
{
    std::string text = "context.spa-libs = {\n"
                       "    audio.convert.* = audioconvert/libspa-audioconvert\n"
                       "    support.* = support/libspa-support\n"
                       "}\n"
                       "context.modules = [\n"
                       "    { name = libpipewire-module-rt flags = [ ifexists nofail ] }\n";
    for (const char* module : modules)
        text += std::string("    { name = libpipewire-module-") + module + " }\n";
    return text + "]\n";
}

// The daemon: no device monitors, no D-Bus, no portal or X11 modules. The quantum limits are
// PipeWire's own defaults, not the larger ones its stock files choose inside a virtual machine,
// so a stream is granted what a desktop on real hardware would grant it.
void writeGraphConfig(const std::string& path, int rate)
{
    std::ofstream(path) << "context.properties = {\n"
                        << "    core.daemon = true\n"
                        << "    core.name = pipewire-0\n"
                        << "    support.dbus = false\n"
                        << "    default.clock.rate = " << rate << "\n"
                        << "    default.clock.allowed-rates = [ " << rate << " ]\n"
                        << "}\n"
                        << librariesAndModules({"protocol-native", "metadata", "spa-node-factory",
                                                "client-node", "client-device", "access", "adapter",
                                                "link-factory", "session-manager"})
                        // With no sound card the graph is driven by a timer, as PipeWire does
                        // when nothing else can drive it.
                        << "context.objects = [\n"
                        << "    { factory = spa-node-factory args = {\n"
                        << "        factory.name = support.node.driver node.name = Dummy-Driver\n"
                        << "        node.group = pipewire.dummy priority.driver = 20000 } }\n"
                        << "]\n";
}

// The PulseAudio service, listening on the folder's "native" socket, with the null sink.
void writePulseConfig(const std::string& path, const std::string& socket, int rate)
{
    std::ofstream(path) << "context.properties = { support.dbus = false }\n"
                        << librariesAndModules({"protocol-native", "client-node", "adapter",
                                                "metadata", "protocol-pulse"})
                        << "pulse.cmd = [\n"
                        << "    { cmd = \"load-module\" args = \"module-null-sink sink_name=measure"
                        << " rate=" << rate << " channels=2\" }\n"
                        << "]\n"
                        << "pulse.properties = { server.address = [ \"unix:" << socket
                        << "\" ] }\n";
}

// WirePlumber's own files, less the monitors of sound cards, cameras and Bluetooth and the
// Flatpak portal: the parts that need hardware or D-Bus.
void writeSessionConfig(const std::string& configHome)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::path(configHome) / "wireplumber";
    fs::create_directories(root / "main.lua.d");
    fs::create_directories(root / "bluetooth.lua.d");
    // Read after the stock settings and before the stock files that enable everything.
    std::ofstream(root / "main.lua.d" / "80-private.lua")
        << "alsa_monitor.enabled = false\n"
        << "v4l2_monitor.enabled = false\n"
        << "libcamera_monitor.enabled = false\n"
        << "default_access.properties[\"enable-flatpak-portal\"] = false\n";
    std::ofstream(root / "bluetooth.lua.d" / "80-private.lua") << "bluez_monitor.enabled = false\n";
}

// Whether the server names "measure" its default sink: WirePlumber has then seen the sink and
// will link new streams to it.
bool defaultSinkIsMeasure()
{
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "quendel-probe");
    bool done = false;
    bool measure = false;
    struct Answer {
        bool* done;
        bool* measure;
    } answer{&done, &measure};
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        pa_operation* operation = nullptr;
        for (int turns = 0; !done && turns < 200; ++turns) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (!PA_CONTEXT_IS_GOOD(state))
                break;
            if (state == PA_CONTEXT_READY && !operation)
                operation = pa_context_get_server_info(
                    context,
                    [](pa_context*, const pa_server_info* info, void* data) {
                        auto* answer = static_cast<Answer*>(data);
                        *answer->measure = info && info->default_sink_name &&
                                           std::string(info->default_sink_name) == "measure";
                        *answer->done = true;
                    },
                    &answer);
            pa_mainloop_iterate(loop, 0, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (operation)
            pa_operation_unref(operation);
        pa_context_disconnect(context);
    }
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return measure;
}

} // namespace

bool PrivatePulseServer::startPipeWire(int rate)
{
    const std::string runtime = m_folder + "/runtime";
    const std::string configHome = m_folder + "/config";
    std::filesystem::create_directories(runtime);
    std::filesystem::create_directories(m_folder + "/state");
    writeGraphConfig(m_folder + "/graph.conf", rate);
    writePulseConfig(m_folder + "/pulse.conf", m_folder + "/native", rate);
    writeSessionConfig(configHome);

    // Each process through env(1): the folders and the log are theirs alone, not this
    // process's, and neither a session bus nor a display is in reach.
    const std::vector<std::string> environment = {"env",
                                                  "-u",
                                                  "DBUS_SESSION_BUS_ADDRESS",
                                                  "-u",
                                                  "DISPLAY",
                                                  "-u",
                                                  "WAYLAND_DISPLAY",
                                                  "PIPEWIRE_RUNTIME_DIR=" + runtime,
                                                  "XDG_RUNTIME_DIR=" + runtime,
                                                  "XDG_CONFIG_HOME=" + configHome,
                                                  "XDG_STATE_HOME=" + m_folder + "/state",
                                                  "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + m_folder +
                                                      "/no-bus"};
    const auto launch = [&environment](std::vector<std::string> extra) {
        std::vector<std::string> args = environment;
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<const char*> argv;
        for (const std::string& arg : args)
            argv.push_back(arg.c_str());
        argv.push_back(nullptr);
        return SpawnProgram(argv.data());
    };
    m_graphPid = launch({"pipewire", "-c", m_folder + "/graph.conf"});
    if (!waitForSocket(runtime + "/pipewire-0", m_graphPid))
        return false;
    // The service logs each underflow of a stream, with the client's name, at level I.
    m_pid = launch({"PIPEWIRE_LOG=" + logFile(), "PIPEWIRE_DEBUG=W,mod.protocol-pulse:I",
                    "pipewire", "-c", m_folder + "/pulse.conf"});
    m_sessionPid = launch({"wireplumber"});
    if (!waitForSocket(m_folder + "/native", m_pid))
        return false;
    for (int i = 0; i < 50; ++i) {
        if (defaultSinkIsMeasure())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop();
    return false;
}
