#include "AudioDevice.h"

#include "PulseAudioDevice.h"
#include "SdlAudioDevice.h"

#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// SDL_AUDIODRIVER chooses the back end when it is set, as it would for any SDL program; names
// that mean PulseAudio get the native stream.
bool pulseWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver == nullptr || *driver == '\0' || std::strcmp(driver, "pulseaudio") == 0 ||
           std::strcmp(driver, "pulse") == 0;
}

template <typename Device>
std::unique_ptr<AudioDevice> tryOpen(int sampleRate, const BufferPlan& plan,
                                     AudioDevice::RenderCallback render, void* context)
{
    auto device = std::make_unique<Device>();
    if (!device->open(sampleRate, plan, render, context))
        return nullptr;
    return device;
}

} // namespace

std::unique_ptr<AudioDevice> OpenBestAudioDevice(int sampleRate, const BufferPlan& plan,
                                                 AudioDevice::RenderCallback render, void* context)
{
    if (pulseWanted())
        if (auto device = tryOpen<PulseAudioDevice>(sampleRate, plan, render, context))
            return device;
    return tryOpen<SdlAudioDevice>(sampleRate, plan, render, context);
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
