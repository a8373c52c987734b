// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputHost.h"

#include "RateBridge.h"
#include "audio/mixer/Mixer.h"

#include <algorithm>
#include <pthread.h>

OutputHost::OutputHost(Mixer& mixer, DeviceFactory factory)
    : m_mixer(mixer), m_factory(std::move(factory))
{
    m_mixer.setPublishListener([this] { wake(); });
}

OutputHost::~OutputHost()
{
    stop();
    m_mixer.setPublishListener(nullptr);
}

void OutputHost::start()
{
    if (m_housekeeper.joinable())
        return;
    m_plan = m_bufferSetting.plan;
    m_growthPolicy = {};
    m_underrunsSeen = 0;
    m_earlierUnderruns.store(0);
    m_growths.store(0);
    m_duck.store(Duck::None);
    watchChosenServer();
    m_choiceChanged.store(false);
    m_adoptDeviceRate = true;
    openDevice();
    m_adoptDeviceRate = false;
    m_nowhere.assign(static_cast<std::size_t>(Mixer::kChunkFrames) * 2, 0.0f);
    m_stopHousekeeping = false;
    m_housekeeper = std::thread([this] { housekeeping(); });
    pthread_setname_np(m_housekeeper.native_handle(), "quendel-house"); // for top and perf
}

void OutputHost::stop()
{
    if (!m_housekeeper.joinable())
        return;
    {
        std::lock_guard lock(m_wakeMutex);
        m_stopHousekeeping = true;
    }
    m_wake.notify_all();
    m_housekeeper.join();
    closeDevice();
}

void OutputHost::wake()
{
    std::lock_guard lock(m_deviceMutex);
    if (m_device)
        m_device->wake();
}

void OutputHost::deviceCallback(void* self, float* out, int frames)
{
    static_cast<OutputHost*>(self)->renderForDevice(out, frames);
}

void OutputHost::deviceClickCallback(void* self, float* out, float* click, int frames)
{
    static_cast<OutputHost*>(self)->renderForDevice(out, frames, click);
}

void OutputHost::bridgeSource(void* self, float* out, int frames)
{
    // Through a bridge the clocks land within the period they belong to, not on their frames.
    auto& host = *static_cast<OutputHost*>(self);
    host.m_mixer.render(out, frames);
    host.followGrid();
}

void OutputHost::followGrid()
{
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
    const GridBlock& block = m_mixer.gridBlock();
    const int rate = m_mixer.sampleRate();
    m_clockOut.follow(block, now + m_heardAfterNanos.load(std::memory_order_relaxed), rate);
    m_transport.noteGrid(block, rate);
}

void OutputHost::setTransportMode(JackTransportShare::Mode mode)
{
    m_transport.setMode(mode);
    std::lock_guard lock(m_deviceMutex);
    if (m_device)
        m_device->followTransportMode();
}

void OutputHost::rollTransport(bool roll)
{
    std::lock_guard lock(m_deviceMutex);
    if (m_device)
        m_device->rollTransport(roll);
}

void OutputHost::renderForDevice(float* out, int frames, float* click)
{
    if (click) // a bridged rate or a device not ready has no clicks to give
        std::fill(click, click + static_cast<std::ptrdiff_t>(std::max(frames, 0)) * 2, 0.0f);
    if (!m_deviceReady.load(std::memory_order_acquire)) {
        // The device called back before its rate was known: nothing plays at a wrong pitch.
        std::fill(out, out + static_cast<std::ptrdiff_t>(std::max(frames, 0)) * 2, 0.0f);
        return;
    }
    if (m_bridge) {
        m_bridge->pull(out, frames);
    } else {
        m_mixer.render(out, frames, click);
        followGrid();
    }

    const Duck duck = m_duck.load(std::memory_order_acquire);
    if (duck == Duck::None || frames <= 0)
        return;
    const auto total = static_cast<float>(frames);
    for (int i = 0; i < frames; ++i) {
        float factor = 0.0f;
        if (duck == Duck::FadeOut)
            factor = static_cast<float>(frames - 1 - i) / total;
        else if (duck == Duck::FadeIn)
            factor = static_cast<float>(i + 1) / total;
        out[2 * i] *= factor;
        out[2 * i + 1] *= factor;
        if (click) {
            click[2 * i] *= factor;
            click[2 * i + 1] *= factor;
        }
    }
    if (duck == Duck::FadeOut)
        m_duck.store(Duck::Silent, std::memory_order_release);
    else if (duck == Duck::FadeIn)
        m_duck.store(Duck::None, std::memory_order_release);
}

bool OutputHost::openDevice()
{
    // Opened outside the lock: a server that is slow to answer must not hold up the UI thread's
    // questions about the device.
    const int mixRate = m_mixer.sampleRate();
    std::unique_ptr<AudioDevice> device = newDevice(mixRate);
    const bool opened = device != nullptr;
    if (opened) {
        meetDeviceRate(device->rate() > 0 ? device->rate() : mixRate, mixRate);
        m_deviceReady.store(true, std::memory_order_release);
    }
    installDevice(std::move(device), mixRate);
    m_deviceOpen.store(opened, std::memory_order_release);
    return opened;
}

std::unique_ptr<AudioDevice> OutputHost::newDevice(int mixRate)
{
    const OutputChoice choice = outputChoice();
    return m_factory
               ? m_factory(mixRate, m_plan, &OutputHost::deviceCallback, this)
               : OpenBestAudioDevice(mixRate, m_plan, &OutputHost::deviceCallback, this, choice);
}

void OutputHost::meetDeviceRate(int rate, int mixRate)
{
    if (rate != mixRate && m_adoptDeviceRate) {
        m_mixer.setSampleRate(rate);
    } else if (rate != mixRate) {
        m_bridge = std::make_unique<RateBridge>(mixRate, rate, &OutputHost::bridgeSource, this);
        if (!m_bridge->valid())
            m_bridge.reset(); // no converter: heard off pitch rather than not at all
    }
}

void OutputHost::installDevice(std::unique_ptr<AudioDevice> device, int mixRate)
{
    std::lock_guard lock(m_deviceMutex);
    m_device = std::move(device);
    m_deviceChanged = true;
    m_midi.attach(m_device ? m_device->midi() : nullptr);
    if (m_device) {
        m_device->setClickRender(&OutputHost::deviceClickCallback);
        m_device->setGridSync(&m_clockOut, &m_transport);
        m_device->followTransportMode();
        const BufferPlan plan = m_device->plan();
        const int rate = m_device->rate() > 0 ? m_device->rate() : mixRate;
        m_heardAfterNanos.store(static_cast<std::int64_t>(plan.periods) * plan.periodFrames *
                                    1000000000LL / std::max(rate, 1),
                                std::memory_order_relaxed);
    }
    const bool hears = m_device && m_device->setCaptureTap(&m_capture);
    m_capture.setSource(hears ? (m_device->rate() > 0 ? m_device->rate() : mixRate) : 0);
}

void OutputHost::closeDevice()
{
    std::unique_ptr<AudioDevice> device;
    {
        std::lock_guard lock(m_deviceMutex);
        device = std::move(m_device);
        if (device)
            m_earlierUnderruns.fetch_add(device->reportedUnderruns());
        m_midi.detach();
        if (device)
            m_capture.setSource(0);
    }
    m_deviceOpen.store(false, std::memory_order_release);
    if (device)
        device->close(); // returns once no callback runs
    m_deviceReady.store(false, std::memory_order_relaxed);
    m_bridge.reset();
}

BufferPlan OutputHost::bufferPlan() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device ? m_device->plan() : m_plan;
}

double OutputHost::outputLatencySeconds() const
{
    std::lock_guard lock(m_deviceMutex);
    if (!m_device)
        return 0.0;
    const int rate = m_device->rate() > 0 ? m_device->rate() : m_mixer.sampleRate();
    return static_cast<double>(m_device->outputLatencyFrames()) / std::max(rate, 1);
}

int OutputHost::reportedRoundTripFrames() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device ? m_device->outputLatencyFrames() + m_device->inputLatencyFrames() : 0;
}

const char* OutputHost::deviceName() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device ? m_device->name() : "";
}

bool OutputHost::deviceParked() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device && m_device->parked();
}

void OutputHost::setOutputChoice(const OutputChoice& choice)
{
    {
        std::lock_guard lock(m_deviceMutex);
        m_choice = choice;
    }
    if (!m_housekeeper.joinable())
        return;
    {
        std::lock_guard lock(m_wakeMutex);
        m_choiceChanged.store(true, std::memory_order_release);
    }
    m_wake.notify_one();
}

OutputChoice OutputHost::outputChoice() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_choice;
}
