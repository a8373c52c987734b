// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioDevice.h"

#include "JackAudioDevice.h"
#include "OutputChoice.h"
#include "PulseAudioDevice.h"
#include "SdlAudioDevice.h"

#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

enum class Backend { Jack, Pulse, Sdl };

bool named(const char* value, const char* a, const char* b = nullptr)
{
    return std::strcmp(value, a) == 0 || (b != nullptr && std::strcmp(value, b) == 0);
}

// QUENDEL_AUDIO names the one back end to use (tests and measurements pin it this way). Else
// SDL_AUDIODRIVER chooses, as it would for any SDL program; names that mean JACK or PulseAudio
// get our own clients. With neither, every back end is tried in order.
bool wanted(Backend backend)
{
    const char* own = std::getenv("QUENDEL_AUDIO");
    if (own != nullptr && *own != '\0') {
        switch (backend) {
        case Backend::Jack:
            return named(own, "jack");
        case Backend::Pulse:
            return named(own, "pulse", "pulseaudio");
        case Backend::Sdl:
            return named(own, "sdl");
        }
    }
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (driver == nullptr || *driver == '\0')
        return true;
    switch (backend) {
    case Backend::Jack:
        return named(driver, "jack");
    case Backend::Pulse:
        return named(driver, "pulseaudio", "pulse");
    case Backend::Sdl:
        return true; // SDL's own driver of that name, should ours not open
    }
    return false;
}

bool pinned()
{
    const char* own = std::getenv("QUENDEL_AUDIO");
    return own != nullptr && *own != '\0';
}

template <typename Device, typename... Arguments>
std::unique_ptr<AudioDevice> tryOpen(int sampleRate, const BufferPlan& plan,
                                     AudioDevice::RenderCallback render, void* context,
                                     Arguments&&... arguments)
{
    auto device = std::make_unique<Device>(std::forward<Arguments>(arguments)...);
    if (!device->open(sampleRate, plan, render, context))
        return nullptr;
    return device;
}

std::unique_ptr<AudioDevice> openChosen(const OutputChoice& choice, int sampleRate,
                                        const BufferPlan& plan, AudioDevice::RenderCallback render,
                                        void* context)
{
    switch (choice.backend) {
    case OutputChoice::Backend::Jack:
        return tryOpen<JackAudioDevice>(sampleRate, plan, render, context);
    case OutputChoice::Backend::Pulse:
        return tryOpen<PulseAudioDevice>(sampleRate, plan, render, context);
    case OutputChoice::Backend::Sdl:
        return tryOpen<SdlAudioDevice>(sampleRate, plan, render, context, choice.sdlDevice);
    case OutputChoice::Backend::Automatic:
        break;
    }
    return nullptr;
}

// The first back end that opens of those wanted, in the usual order.
std::unique_ptr<AudioDevice> openInUsualOrder(int sampleRate, const BufferPlan& plan,
                                              AudioDevice::RenderCallback render, void* context)
{
    // A JACK server that answers is where the user routes sound (and MIDI) on this machine.
    if (wanted(Backend::Jack))
        if (auto device = tryOpen<JackAudioDevice>(sampleRate, plan, render, context))
            return device;
    if (wanted(Backend::Pulse))
        if (auto device = tryOpen<PulseAudioDevice>(sampleRate, plan, render, context))
            return device;
    if (wanted(Backend::Sdl))
        return tryOpen<SdlAudioDevice>(sampleRate, plan, render, context);
    return nullptr;
}

} // namespace

std::unique_ptr<AudioDevice> OpenBestAudioDevice(int sampleRate, const BufferPlan& plan,
                                                 AudioDevice::RenderCallback render, void* context,
                                                 const OutputChoice& choice)
{
    // The user's choice comes first; when it is not there (JACK not started, a USB interface
    // unplugged), the usual order plays rather than nothing.
    if (!pinned())
        if (auto device = openChosen(choice, sampleRate, plan, render, context))
            return device;
    return openInUsualOrder(sampleRate, plan, render, context);
}

void RaiseAudioThreadPriority()
{
    // Just under the priority a desktop sound server takes for itself (rtkit grants servers 5
    // to 20), so the server that plays our frames is never kept waiting by their renderer.
    sched_param param{};
    int policy = SCHED_OTHER;
    if (pthread_getschedparam(pthread_self(), &policy, &param) == 0 &&
        (policy == SCHED_FIFO || policy == SCHED_RR))
        return; // already real-time (SDL may have seen to it): never lower it
    param.sched_priority = 4;
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0)
        return;
    // Without real-time rights, a better nice level where the limits allow it.
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    for (int nice = -11; nice < current; nice += 4)
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice) == 0)
            return;
}
