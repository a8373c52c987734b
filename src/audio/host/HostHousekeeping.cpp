// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputHost.h"

#include "audio/mixer/Mixer.h"

#include <algorithm>
#include <string_view>
#include <thread>

namespace {
constexpr auto kHousekeepingTick = std::chrono::milliseconds(10);
// With a device open and the UI thread publishing its own batches, housekeeping has only
// garbage, underruns and a lost device to see to: waking ten times a second is plenty, and an
// idle Quendel costs the machine next to nothing.
constexpr auto kDeviceHousekeepingTick = std::chrono::milliseconds(100);
constexpr auto kDeviceCheckInterval = std::chrono::milliseconds(500);
// Idle, with nothing sounding for a while, twice a second is enough: a press needs nothing of
// this thread to be heard. It must stay below kSilenceBeforeIdle, so that a device that was woken
// hears that something sounds before it could find a second of silence and park again.
constexpr auto kIdleHousekeepingTick = std::chrono::milliseconds(500);
// How long a reopen waits for the device's thread to fade its output out.
constexpr auto kDuckTimeout = std::chrono::milliseconds(250);
// While another device stands in for a sound server that went away, the server is asked this
// often whether it is back; a server that answers but then fails to open is asked less often.
constexpr auto kReturnCheckInterval = std::chrono::milliseconds(1000);
constexpr auto kLongestReturnInterval = std::chrono::milliseconds(16000);
// Silence that lasts this long lets the device stop refilling until the next command.
constexpr auto kSilenceBeforeIdle = std::chrono::milliseconds(1000);
static_assert(kIdleHousekeepingTick < kSilenceBeforeIdle);

OutputChoice::Backend backendNamed(const char* name)
{
    const std::string_view device = name;
    if (device == "jack")
        return OutputChoice::Backend::Jack;
    if (device == "pulseaudio")
        return OutputChoice::Backend::Pulse;
    if (device == "sdl")
        return OutputChoice::Backend::Sdl;
    return OutputChoice::Backend::Automatic;
}

// The usual order: a lower rank is preferred. Automatic stands for "no device".
int rankOf(OutputChoice::Backend backend)
{
    switch (backend) {
    case OutputChoice::Backend::Jack:
        return 0;
    case OutputChoice::Backend::Pulse:
        return 1;
    case OutputChoice::Backend::Sdl:
        return 2;
    case OutputChoice::Backend::Automatic:
        break;
    }
    return 3;
}

bool isServer(OutputChoice::Backend backend)
{
    return backend == OutputChoice::Backend::Jack || backend == OutputChoice::Backend::Pulse;
}
} // namespace

void OutputHost::followOutputChoice()
{
    if (!m_choiceChanged.exchange(false, std::memory_order_acq_rel))
        return;
    watchChosenServer();
    reopenDevice(m_plan);
}

void OutputHost::watchChosenServer()
{
    // A chosen sound server is the one to go back to whenever another device plays in its place.
    const OutputChoice::Backend chosen = outputChoice().backend;
    m_returnTo = isServer(chosen) ? chosen : OutputChoice::Backend::Automatic;
    m_returnInterval = kReturnCheckInterval;
    m_nextReturnCheck = std::chrono::steady_clock::now();
}

void OutputHost::followSilence()
{
    const auto now = std::chrono::steady_clock::now();
    const bool sounding = m_mixer.soundingVoices() > 0;
    if (sounding)
        m_lastSound = now;
    const bool idle = !sounding && now - m_lastSound >= kSilenceBeforeIdle;
    std::lock_guard lock(m_deviceMutex);
    // A device opened anew starts out busy; it hears the engine's state at the next tick.
    if (m_device && (idle != m_idle || m_deviceChanged)) {
        m_device->setIdle(idle);
        m_idle = idle;
        m_deviceChanged = false;
    }
}

void OutputHost::returnToBetterServer()
{
    if (m_returnTo == OutputChoice::Backend::Automatic ||
        !m_deviceOpen.load(std::memory_order_acquire))
        return; // with no device at all, the lost-device check already tries every back end
    if (rankOf(backendNamed(deviceName())) <= rankOf(m_returnTo)) {
        // Back where it belongs (or somewhere better): only a chosen server stays watched.
        if (!isServer(outputChoice().backend))
            m_returnTo = OutputChoice::Backend::Automatic;
        m_returnInterval = kReturnCheckInterval;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextReturnCheck)
        return;
    const bool answers =
        m_returnTo == OutputChoice::Backend::Jack ? JackServerAnswers() : PulseServerAnswers();
    if (answers) {
        reopenDevice(m_plan);
        const bool returned = rankOf(backendNamed(deviceName())) <= rankOf(m_returnTo);
        m_returnInterval = returned ? kReturnCheckInterval
                                    : std::min(m_returnInterval * 2, kLongestReturnInterval);
    }
    m_nextReturnCheck = std::chrono::steady_clock::now() + m_returnInterval;
}

std::uint64_t OutputHost::underruns() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_earlierUnderruns.load() + (m_device ? m_device->reportedUnderruns() : 0);
}

void OutputHost::growBufferOnUnderruns()
{
    std::uint64_t count = 0;
    {
        std::lock_guard lock(m_deviceMutex);
        if (!m_device)
            return;
        count = m_device->reportedUnderruns();
    }
    if (count < m_underrunsSeen)
        m_underrunsSeen = 0; // a new device counts from zero
    const std::uint64_t fresh = count - m_underrunsSeen;
    m_underrunsSeen = count;
    if (fresh == 0 || !m_bufferSetting.automatic)
        return;
    const long long now = MonotonicNs();
    bool grow = false;
    for (std::uint64_t i = 0; i < fresh; ++i)
        grow = m_growthPolicy.onUnderrun(now) || grow;
    const auto larger = LargerBufferPlan(m_plan);
    if (!grow || !larger)
        return;
    m_growthPolicy.onGrown(now);
    m_growths.fetch_add(1, std::memory_order_relaxed);
    bool resized = false;
    {
        std::lock_guard lock(m_deviceMutex);
        m_plan = *larger;
        resized = m_device && m_device->resizeWhilePlaying(m_plan);
    }
    if (!resized)
        reopenDevice(*larger);
}

void OutputHost::housekeeping()
{
    using Clock = std::chrono::steady_clock;
    auto lastCheck = Clock::now();
    auto lastRender = Clock::now();
    double owedFrames = 0.0;
    bool publishesHere = true;
    while (waitForTick(housekeepingTick(publishesHere))) {
        followOutputChoice();
        publishesHere = m_mixer.serviceQueues();
        if (m_deviceOpen.load(std::memory_order_acquire)) {
            followSilence();
            growBufferOnUnderruns();
        }
        const auto now = Clock::now();
        if (now - lastCheck >= kDeviceCheckInterval) {
            lastCheck = now;
            replaceLostDevice();
        }
        returnToBetterServer();
        if (m_deviceOpen.load(std::memory_order_acquire))
            owedFrames = 0.0;
        else
            playIntoNowhere(now - lastRender, owedFrames);
        lastRender = now;
    }
}

std::chrono::milliseconds OutputHost::housekeepingTick(bool publishesHere) const
{
    return publishesHere || !m_deviceOpen.load(std::memory_order_acquire) ? kHousekeepingTick
           : m_idle                                                       ? kIdleHousekeepingTick
                                                                          : kDeviceHousekeepingTick;
}

bool OutputHost::waitForTick(std::chrono::milliseconds tick)
{
    std::unique_lock lock(m_wakeMutex);
    const bool woken = m_wake.wait_for(lock, tick, [this] {
        return m_stopHousekeeping || m_choiceChanged.load(std::memory_order_acquire);
    });
    return !(woken && m_stopHousekeeping);
}

void OutputHost::replaceLostDevice()
{
    // A device that went away (unplugged, or its server ended) is closed; the best one there is
    // opens again once there is one.
    bool lost = false;
    OutputChoice::Backend lostBackend = OutputChoice::Backend::Automatic;
    {
        std::lock_guard lock(m_deviceMutex);
        lost = m_device && m_device->lost();
        if (lost)
            lostBackend = backendNamed(m_device->name());
    }
    if (lost) {
        closeDevice();
        // Should another device take over, the sound goes back to this server when it returns.
        if (isServer(lostBackend) && rankOf(lostBackend) < rankOf(m_returnTo))
            m_returnTo = lostBackend;
    }
    if (!m_deviceOpen.load(std::memory_order_acquire)) {
        // Sound that comes back after a loss fades in rather than starting mid-wave.
        m_duck.store(Duck::FadeIn, std::memory_order_release);
        openDevice();
    }
}

void OutputHost::playIntoNowhere(std::chrono::steady_clock::duration elapsed, double& owedFrames)
{
    // With no device this thread is the audio thread and plays into nowhere at real-time pace.
    owedFrames += std::chrono::duration<double>(elapsed).count() * m_mixer.sampleRate();
    owedFrames = std::min(owedFrames, static_cast<double>(m_mixer.sampleRate()));
    while (owedFrames >= 1.0) {
        const int frames = std::min(Mixer::kChunkFrames, static_cast<int>(owedFrames));
        m_mixer.render(m_nowhere.data(), frames);
        owedFrames -= frames;
    }
}

void OutputHost::reopenDevice(const BufferPlan& plan)
{
    // The last block before the close fades out and the first after it fades in, so the short
    // gap of a reopen is heard as a breath, not a click.
    m_duck.store(Duck::FadeOut, std::memory_order_release);
    wake(); // a resting stream renders the fade too, rather than keep the move waiting
    const auto deadline = std::chrono::steady_clock::now() + kDuckTimeout;
    while (m_duck.load(std::memory_order_acquire) != Duck::Silent &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    closeDevice();
    m_duck.store(Duck::FadeIn, std::memory_order_release);
    {
        std::lock_guard lock(m_deviceMutex);
        m_plan = plan;
    }
    openDevice();
    m_underrunsSeen = 0;
}
