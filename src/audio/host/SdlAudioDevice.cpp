// SPDX-License-Identifier: GPL-3.0-or-later
#include "SdlAudioDevice.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>

SdlAudioDevice::~SdlAudioDevice()
{
    close();
}

bool SdlAudioDevice::open(int sampleRate, const BufferPlan& plan, RenderCallback render,
                          void* context)
{
    close();
    m_render = render;
    m_context = context;
    m_underruns.store(0);

    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(std::clamp(plan.totalFrames() / 2, 32, 8192));
    want.callback = &SdlAudioDevice::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware wants, so the engine always
    // renders float stereo at its own rate.
    if (!m_device.open(m_deviceName.empty() ? nullptr : m_deviceName.c_str(), false, want, have, 0))
        return false;
    m_plan = {have.samples, 2};
    const char* driver = SDL_GetCurrentAudioDriver();
    m_realTime = !driver || (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0);
    m_starvation.reset(have.freq, m_plan.totalFrames()); // before the first callback
    m_device.start();
    return true;
}

void SdlAudioDevice::close()
{
    m_device.close();
}

bool SdlAudioDevice::lost() const
{
    return m_device.lost();
}

void SdlAudioDevice::callback(void* self, unsigned char* stream, int bytes)
{
    auto* device = static_cast<SdlAudioDevice*>(self);
    if (!device->m_priorityRaised) {
        device->m_priorityRaised = true;
        RaiseAudioThreadPriority();
    }
    const int frames = bytes / static_cast<int>(2 * sizeof(float));
    if (device->m_realTime && device->m_starvation.onRefill(MonotonicNs(), frames))
        device->m_underruns.fetch_add(1, std::memory_order_relaxed);
    device->m_render(device->m_context, reinterpret_cast<float*>(stream), frames);
}
