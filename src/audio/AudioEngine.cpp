#include "AudioEngine.h"

#include "Voice.h"

#include <SDL.h>
#include <algorithm>
#include <chrono>

namespace {
bool g_offlineNext = false;
constexpr auto kHousekeepingTick = std::chrono::milliseconds(10);
constexpr auto kDeviceCheckInterval = std::chrono::milliseconds(500);
} // namespace

AudioEngine& AudioEngine::instance()
{
    // Never destroyed: buffers and controls held in statics may still call in at exit.
    static AudioEngine* engine = new AudioEngine;
    return *engine;
}

void AudioEngine::setOfflineForTests(bool offline)
{
    g_offlineNext = offline;
}

void AudioEngine::start(int sampleRate)
{
    if (isRunning())
        return;
    m_sampleRate = (sampleRate >= 8000 && sampleRate <= 192000) ? sampleRate : 44100;
    m_offline = g_offlineNext;
    m_fadeFrames = std::max(1, m_sampleRate * 4 / 1000); // a stop is silent within 5 ms
    m_rampFrames = std::max(1, m_periodFrames);
    ++m_generation;
    m_running.store(true, std::memory_order_release);
    if (m_offline)
        return;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_sdlReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    openDevice();
    m_nowhere.assign(static_cast<std::size_t>(kChunkFrames) * 2, 0.0f);
    m_stopHousekeeping = false;
    m_housekeeper = std::thread([this] { housekeeping(); });
}

void AudioEngine::stop()
{
    if (!isRunning())
        return;
    if (m_housekeeper.joinable()) {
        {
            std::lock_guard lock(m_wakeMutex);
            m_stopHousekeeping = true;
        }
        m_wake.notify_all();
        m_housekeeper.join();
    }
    closeDevice();
    if (m_sdlReady)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_sdlReady = false;
    m_running.store(false, std::memory_order_release);

    // Nothing renders any more: this thread now owns both ends of both queues.
    std::lock_guard lock(m_mutex);
    Command command;
    while (m_commands.pop(command))
        delete command.block;
    for (const Command& pending : m_pending)
        delete pending.block;
    m_pending.clear();
    m_batchScheduled = false;
    m_voiceCount = 0;
    collectGarbageLocked();
    for (Voice* voice : m_live)
        delete voice;
    m_live.clear();
}

void AudioEngine::setCommitScheduler(std::function<void()> schedule)
{
    std::lock_guard lock(m_mutex);
    m_scheduler = std::move(schedule);
    m_batchScheduled = false;
}

void AudioEngine::queue(const Command& command)
{
    std::function<void()> schedule;
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(command);
        if (!m_scheduler) {
            publishLocked();
        } else if (!m_batchScheduled) {
            m_batchScheduled = true;
            schedule = m_scheduler;
        }
        collectGarbageLocked();
    }
    if (schedule)
        schedule(); // outside the lock: a scheduler may commit at once
}

void AudioEngine::commitPending()
{
    std::lock_guard lock(m_mutex);
    publishLocked();
    collectGarbageLocked();
}

void AudioEngine::publishLocked()
{
    m_batchScheduled = false;
    if (m_pending.empty())
        return;
    // A batch goes over whole, so the audio thread never renders half of it (a start without the
    // volume that follows it). Should the queue be full, the batch waits for the next commit.
    auto first = m_pending.begin();
    while (first != m_pending.end()) {
        const auto count = std::min<std::size_t>(static_cast<std::size_t>(m_pending.end() - first),
                                                 m_commands.capacity());
        if (!m_commands.pushAll(first, first + static_cast<std::ptrdiff_t>(count)))
            break;
        first += static_cast<std::ptrdiff_t>(count);
    }
    m_pending.erase(m_pending.begin(), first);
}

void AudioEngine::collectGarbage()
{
    std::lock_guard lock(m_mutex);
    collectGarbageLocked();
}

void AudioEngine::collectGarbageLocked()
{
    Retired* retired = nullptr;
    while (m_garbage.pop(retired)) {
        if (retired->isVoice())
            m_live.erase(static_cast<Voice*>(retired));
        delete retired;
    }
}

Voice* AudioEngine::startVoice(std::unique_ptr<Voice> voice)
{
    if (!isRunning() || !voice)
        return nullptr;
    Voice* raw = voice.release();
    {
        std::lock_guard lock(m_mutex);
        m_live.insert(raw);
    }
    queue({Command::Type::Start, raw, nullptr, 0.0f, 0.0f});
    return raw;
}

void AudioEngine::setGain(Voice* voice, float left, float right)
{
    if (isRunning() && voice)
        queue({Command::Type::Gain, voice, nullptr, left, right});
}

void AudioEngine::stopVoice(Voice* voice)
{
    if (isRunning() && voice)
        queue({Command::Type::Stop, voice, nullptr, 0.0f, 0.0f});
}

void AudioEngine::replacePcm(Voice* voice, std::unique_ptr<PcmBlock> block)
{
    if (isRunning() && voice && block)
        queue({Command::Type::Pcm, voice, block.release(), 0.0f, 0.0f});
}

// ---- audio thread ----------------------------------------------------------------------------

void AudioEngine::retire(Retired* retired)
{
    // The queue is drained every few milliseconds; were it ever full, leaking one object is
    // better than freeing it here.
    if (retired && !m_garbage.push(retired))
        m_lostRetired.fetch_add(1, std::memory_order_relaxed);
}

void AudioEngine::apply(const Command& command)
{
    Voice* voice = command.voice;
    switch (command.type) {
    case Command::Type::Start:
        if (m_voiceCount == kMaxVoices) {
            voice->markFinished(); // not mixed, so not active; freed when its stop arrives
            return;
        }
        if (voice->kind() == Voice::Kind::Pcm) {
            // A tone buffer replacing one that is fading out fades in over the same time: a
            // crossfade instead of a step.
            for (int i = 0; i < m_voiceCount; ++i) {
                const Voice* other = m_voices[static_cast<std::size_t>(i)];
                if (other->kind() == Voice::Kind::Pcm && other->stopping &&
                    other->fadeOutLeft > 0) {
                    voice->fadeInLeft = voice->fadeInTotal = m_fadeFrames;
                    break;
                }
            }
        }
        voice->inMix = true;
        m_voices[static_cast<std::size_t>(m_voiceCount++)] = voice;
        return;
    case Command::Type::Gain:
        voice->targetLeft = command.left;
        voice->targetRight = command.right;
        if (!voice->rendered) {
            // Not a frame played yet: the new gain holds from the first frame.
            voice->gainLeft = command.left;
            voice->gainRight = command.right;
            voice->rampLeft = 0;
        } else {
            voice->rampLeft = m_rampFrames;
        }
        return;
    case Command::Type::Stop:
        if (!voice->inMix) {
            retire(voice);
            return;
        }
        if (!voice->stopping) {
            voice->stopping = true;
            voice->fadeOutTotal = voice->fadeOutLeft = voice->rendered ? m_fadeFrames : 0;
        }
        return;
    case Command::Type::Pcm:
        if (voice->kind() == Voice::Kind::Pcm && !voice->stopping)
            retire(static_cast<PcmVoice*>(voice)->replace(command.block,
                                                          voice->rendered ? m_fadeFrames : 0));
        else
            retire(command.block);
        return;
    }
}

void AudioEngine::render(float* out, int frames)
{
    if (!out || frames <= 0)
        return;
    std::fill(out, out + static_cast<std::ptrdiff_t>(frames) * 2, 0.0f);
    if (m_offline && isRunning()) {
        std::lock_guard lock(m_mutex);
        publishLocked();
    }
    if (!m_running.load(std::memory_order_acquire))
        return;

    // Acquire pairs with the producer's release in SpscQueue::pushAll: every field the UI thread
    // wrote into a voice before publishing it is visible here.
    Command command;
    while (m_commands.pop(command))
        apply(command);
    for (int offset = 0; offset < frames; offset += kChunkFrames) {
        const int chunk = std::min(kChunkFrames, frames - offset);
        if (m_offline && m_offlineStreamWait)
            waitForStreams(chunk);
        float* target = out + static_cast<std::ptrdiff_t>(offset) * 2;
        for (int i = 0; i < m_voiceCount; ++i)
            mixVoice(*m_voices[static_cast<std::size_t>(i)], target, chunk);
    }

    // Drop voices whose stop has faded out, keeping the others in order.
    int kept = 0;
    for (int i = 0; i < m_voiceCount; ++i) {
        Voice* voice = m_voices[static_cast<std::size_t>(i)];
        if (voice->stopping && (voice->fadeOutLeft == 0 || voice->finished()))
            retire(voice);
        else
            m_voices[static_cast<std::size_t>(kept++)] = voice;
    }
    m_voiceCount = kept;
}

void AudioEngine::mixVoice(Voice& voice, float* out, int frames)
{
    if ((voice.stopping && voice.fadeOutLeft == 0) || voice.finished())
        return;
    float* source = m_scratch.data();
    long produced = voice.produce(source, frames);
    voice.rendered = true;
    if (voice.rampLeft == 0 && voice.fadeInLeft == 0 && !voice.stopping) {
        const float left = voice.gainLeft;
        const float right = voice.gainRight;
        for (long i = 0; i < produced; ++i) {
            out[2 * i] += source[2 * i] * left;
            out[2 * i + 1] += source[2 * i + 1] * right;
        }
        return;
    }
    for (long i = 0; i < produced; ++i) {
        if (voice.rampLeft > 0) {
            // Linear steps that land exactly on the target at the end of the ramp.
            const auto steps = static_cast<float>(voice.rampLeft);
            voice.gainLeft += (voice.targetLeft - voice.gainLeft) / steps;
            voice.gainRight += (voice.targetRight - voice.gainRight) / steps;
            if (--voice.rampLeft == 0) {
                voice.gainLeft = voice.targetLeft;
                voice.gainRight = voice.targetRight;
            }
        }
        float factor = 1.0f;
        if (voice.fadeInLeft > 0) {
            factor = static_cast<float>(voice.fadeInTotal - voice.fadeInLeft + 1) /
                     static_cast<float>(voice.fadeInTotal + 1);
            --voice.fadeInLeft;
        }
        if (voice.stopping) {
            if (voice.fadeOutLeft == 0)
                break;
            factor *=
                static_cast<float>(voice.fadeOutLeft - 1) / static_cast<float>(voice.fadeOutTotal);
            --voice.fadeOutLeft;
        }
        out[2 * i] += source[2 * i] * voice.gainLeft * factor;
        out[2 * i + 1] += source[2 * i + 1] * voice.gainRight * factor;
    }
}

void AudioEngine::waitForStreams(int frames)
{
    for (int i = 0; i < m_voiceCount; ++i) {
        Voice* voice = m_voices[static_cast<std::size_t>(i)];
        if (voice->kind() == Voice::Kind::Stream && !voice->finished())
            static_cast<StreamVoice*>(voice)->waitForReadAhead(
                static_cast<std::size_t>(std::max(frames, 0)));
    }
}

// ---- device ----------------------------------------------------------------------------------

void AudioEngine::deviceCallback(void* self, std::uint8_t* stream, int bytes)
{
    static_cast<AudioEngine*>(self)->render(reinterpret_cast<float*>(stream),
                                            bytes / static_cast<int>(2 * sizeof(float)));
}

bool AudioEngine::openDevice()
{
    if (!m_sdlReady)
        return false;
    SDL_AudioSpec want{};
    want.freq = m_sampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(std::clamp(m_periodFrames, 32, 8192));
    want.callback = &AudioEngine::deviceCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware wants, so render always produces
    // float stereo at our rate.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0)
        return false;
    m_deviceOpen.store(true, std::memory_order_release);
    SDL_PauseAudioDevice(m_device, 0);
    return true;
}

void AudioEngine::closeDevice()
{
    if (m_device != 0)
        SDL_CloseAudioDevice(m_device); // waits for a running callback to return
    m_device = 0;
    m_deviceOpen.store(false, std::memory_order_release);
}

void AudioEngine::housekeeping()
{
    using Clock = std::chrono::steady_clock;
    auto lastCheck = Clock::now();
    auto lastRender = Clock::now();
    double owedFrames = 0.0;
    for (;;) {
        {
            std::unique_lock lock(m_wakeMutex);
            if (m_wake.wait_for(lock, kHousekeepingTick, [this] { return m_stopHousekeeping; }))
                return;
        }
        {
            // Only a batch that found the queue full waits here; with a scheduler installed the
            // UI thread decides when a batch is complete, so this thread must not split one.
            std::lock_guard lock(m_mutex);
            if (!m_scheduler)
                publishLocked();
            collectGarbageLocked();
        }
        const auto now = Clock::now();
        if (now - lastCheck >= kDeviceCheckInterval) {
            lastCheck = now;
            // An unplugged device stops; open the default one again once there is one.
            if (m_device != 0 && SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED)
                closeDevice();
            if (!m_sdlReady) {
                SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
                m_sdlReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
            }
            if (m_device == 0)
                openDevice();
        }
        if (m_device != 0) {
            lastRender = now;
            owedFrames = 0.0;
            continue;
        }
        // No device: this thread is the audio thread and plays into nowhere at real-time pace.
        owedFrames += std::chrono::duration<double>(now - lastRender).count() * m_sampleRate;
        owedFrames = std::min(owedFrames, static_cast<double>(m_sampleRate));
        lastRender = now;
        while (owedFrames >= 1.0) {
            const int frames = std::min(kChunkFrames, static_cast<int>(owedFrames));
            render(m_nowhere.data(), frames);
            owedFrames -= frames;
        }
    }
}
