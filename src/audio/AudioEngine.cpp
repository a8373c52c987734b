#include "AudioEngine.h"

#include "RateBridge.h"
#include "Voice.h"
#include "device/AudioDevice.h"

#include <algorithm>
#include <chrono>
#include <pthread.h>

namespace {
bool g_offlineNext = false;
AudioEngine::DeviceFactory g_deviceFactory;
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

void AudioEngine::setDeviceFactoryForTests(DeviceFactory factory)
{
    g_deviceFactory = std::move(factory);
}

void AudioEngine::start(int sampleRate)
{
    if (isRunning())
        return;
    setRate((sampleRate >= 8000 && sampleRate <= 192000) ? sampleRate : 44100);
    m_offline = g_offlineNext;
    m_rampFrames = kGainRampFrames;
    ++m_generation;
    m_plan = m_bufferSetting.plan;
    m_growthPolicy = {};
    m_underrunsSeen = 0;
    m_earlierUnderruns.store(0);
    m_growths.store(0);
    m_duck.store(Duck::None);
    m_running.store(true, std::memory_order_release);
    if (m_offline) {
        m_sounds.setRate(m_sampleRate);
        return;
    }
    watchChosenServer();
    m_choiceChanged.store(false);
    m_adoptDeviceRate = true;
    openDevice();
    m_adoptDeviceRate = false;
    m_sounds.setRate(m_sampleRate); // the device may have imposed its own
    m_nowhere.assign(static_cast<std::size_t>(kChunkFrames) * 2, 0.0f);
    m_stopHousekeeping = false;
    m_housekeeper = std::thread([this] { housekeeping(); });
    pthread_setname_np(m_housekeeper.native_handle(), "quendel-house"); // for top and perf
}

void AudioEngine::setRate(int sampleRate)
{
    m_sampleRate = sampleRate;
    m_fadeFrames = std::max(1, m_sampleRate * 4 / 1000); // a stop is silent within 5 ms
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
    m_waiting = 0;
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
    bool published = false;
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(command);
        if (!m_scheduler) {
            published = publishLocked();
        } else if (!m_batchScheduled) {
            m_batchScheduled = true;
            schedule = m_scheduler;
        }
        collectGarbageLocked();
    }
    if (published)
        wakeDevice();
    if (schedule)
        schedule(); // outside the lock: a scheduler may commit at once
}

void AudioEngine::commitPending()
{
    bool published = false;
    {
        std::lock_guard lock(m_mutex);
        published = publishLocked();
        collectGarbageLocked();
    }
    if (published)
        wakeDevice();
}

void AudioEngine::wakeDevice()
{
    std::lock_guard lock(m_deviceMutex);
    if (m_device)
        m_device->wake();
}

bool AudioEngine::publishLocked()
{
    m_batchScheduled = false;
    if (m_pending.empty())
        return false;
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
    const bool published = first != m_pending.begin();
    m_pending.erase(m_pending.begin(), first);
    return published;
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

Voice* AudioEngine::startVoiceAfter(std::unique_ptr<Voice> voice, Voice* after)
{
    if (!isRunning() || !voice)
        return nullptr;
    Voice* raw = voice.release();
    {
        std::lock_guard lock(m_mutex);
        m_live.insert(raw);
    }
    Command command{Command::Type::StartAfter, raw, nullptr, 0.0f, 0.0f};
    command.after = after;
    queue(command);
    return raw;
}

void AudioEngine::endAtCycleEnd(Voice* voice, bool end)
{
    if (!isRunning() || !voice)
        return;
    Command command{Command::Type::EndAtCycleEnd, voice, nullptr, 0.0f, 0.0f};
    command.end = end;
    queue(command);
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

namespace {
// The voice a command aimed at `voice` means: once a voice has handed over at its cycle end,
// the UI may not have seen it yet, and what it asked of the old voice belongs to the new one.
Voice* playingSuccessorOf(Voice* voice)
{
    while (voice && voice->finished() && voice->handedTo)
        voice = voice->handedTo;
    return voice;
}

bool loopsOn(const Voice* voice)
{
    return voice && voice->inMix && !voice->stopping && !voice->finished();
}
} // namespace

void AudioEngine::startNow(Voice* voice)
{
    if (m_voiceCount + m_waiting >= kMaxVoices) {
        voice->markFinished(); // not mixed, so not active; freed when its stop arrives
        return;
    }
    if (voice->kind() == Voice::Kind::Pcm) {
        // A tone buffer replacing one that is fading out fades in over the same time: a
        // crossfade instead of a step.
        for (int i = 0; i < m_voiceCount; ++i) {
            const Voice* other = m_voices[static_cast<std::size_t>(i)];
            if (other->kind() == Voice::Kind::Pcm && other->stopping && other->fadeOutLeft > 0) {
                voice->fadeInLeft = voice->fadeInTotal = m_fadeFrames;
                break;
            }
        }
    }
    voice->inMix = true;
    voice->markBegan();
    m_voices[static_cast<std::size_t>(m_voiceCount++)] = voice;
}

void AudioEngine::withdrawSuccessor(Voice& voice)
{
    Voice* successor = voice.successor;
    if (!successor)
        return;
    voice.successor = nullptr;
    voice.endAtCycleEnd = false;
    successor->waitingOn = nullptr;
    successor->markFinished(); // its owner sees it will never start and stops it
    --m_waiting;
}

void AudioEngine::apply(const Command& command)
{
    Voice* voice = command.voice;
    switch (command.type) {
    case Command::Type::Start:
        startNow(voice);
        return;
    case Command::Type::StartAfter: {
        Voice* after = playingSuccessorOf(command.after);
        if (!loopsOn(after) || m_voiceCount + m_waiting >= kMaxVoices) {
            startNow(voice); // nothing to wait for (or no room to wait): like a plain start
            return;
        }
        withdrawSuccessor(*after);
        after->successor = voice;
        after->endAtCycleEnd = true;
        voice->waitingOn = after;
        ++m_waiting;
        return;
    }
    case Command::Type::EndAtCycleEnd: {
        Voice* target = playingSuccessorOf(voice);
        if (!loopsOn(target))
            return;
        withdrawSuccessor(*target);
        target->endAtCycleEnd = command.end;
        return;
    }
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
        if (Voice* after = voice->waitingOn) {
            // A queued voice dropped before its start: the one it waited on loops on.
            after->successor = nullptr;
            after->endAtCycleEnd = false;
            voice->waitingOn = nullptr;
            --m_waiting;
        }
        withdrawSuccessor(*voice);
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
            mixVoice(i, target, chunk);
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
    m_soundingVoices.store(m_voiceCount, std::memory_order_relaxed);
}

void AudioEngine::mixVoice(int index, float* out, int frames)
{
    Voice& voice = *m_voices[static_cast<std::size_t>(index)];
    if ((voice.stopping && voice.fadeOutLeft == 0) || voice.finished())
        return;
    float* source = m_scratch.data();
    const long produced = voice.produce(source, frames);
    voice.rendered = true;
    addToMix(voice, source, out, produced);
    if (voice.finished() && voice.successor)
        handOver(index, out + produced * 2, frames - static_cast<int>(produced));
}

void AudioEngine::handOver(int index, float* out, int frames)
{
    // The successor takes the ended voice's place in the mix and fills the rest of this block
    // from its first frame. The ended voice moves to the end of the list, where it is skipped
    // until its owner's stop frees it (the owner still holds it).
    Voice* ended = m_voices[static_cast<std::size_t>(index)];
    Voice* next = ended->successor;
    ended->successor = nullptr;
    ended->handedTo = next;
    next->waitingOn = nullptr;
    --m_waiting; // its place was held, so the list has room
    next->inMix = true;
    next->markBegan();
    m_voices[static_cast<std::size_t>(index)] = next;
    m_voices[static_cast<std::size_t>(m_voiceCount++)] = ended;
    if (frames > 0)
        mixVoice(index, out, frames);
}

void AudioEngine::addToMix(Voice& voice, const float* source, float* out, long produced)
{
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

void AudioEngine::deviceCallback(void* self, float* out, int frames)
{
    static_cast<AudioEngine*>(self)->renderForDevice(out, frames);
}

void AudioEngine::bridgeSource(void* self, float* out, int frames)
{
    static_cast<AudioEngine*>(self)->render(out, frames);
}

void AudioEngine::renderForDevice(float* out, int frames)
{
    if (!m_deviceReady.load(std::memory_order_acquire)) {
        // The device called back before its rate was known: nothing plays at a wrong pitch.
        std::fill(out, out + static_cast<std::ptrdiff_t>(std::max(frames, 0)) * 2, 0.0f);
        return;
    }
    if (m_bridge)
        m_bridge->pull(out, frames);
    else
        render(out, frames);

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
    }
    if (duck == Duck::FadeOut)
        m_duck.store(Duck::Silent, std::memory_order_release);
    else if (duck == Duck::FadeIn)
        m_duck.store(Duck::None, std::memory_order_release);
}

bool AudioEngine::openDevice()
{
    // Opened outside the lock: a server that is slow to answer must not hold up the UI thread's
    // questions about the device.
    const OutputChoice choice = outputChoice();
    auto device =
        g_deviceFactory
            ? g_deviceFactory(m_sampleRate, m_plan, &AudioEngine::deviceCallback, this)
            : OpenBestAudioDevice(m_sampleRate, m_plan, &AudioEngine::deviceCallback, this, choice);
    const bool opened = device != nullptr;
    if (opened) {
        const int rate = device->rate() > 0 ? device->rate() : m_sampleRate;
        if (rate != m_sampleRate && m_adoptDeviceRate) {
            setRate(rate);
        } else if (rate != m_sampleRate) {
            m_bridge =
                std::make_unique<RateBridge>(m_sampleRate, rate, &AudioEngine::bridgeSource, this);
            if (!m_bridge->valid())
                m_bridge.reset(); // no converter: heard off pitch rather than not at all
        }
        m_deviceReady.store(true, std::memory_order_release);
    }
    {
        std::lock_guard lock(m_deviceMutex);
        m_device = std::move(device);
        m_deviceChanged = true;
        m_midi.attach(m_device ? m_device->midi() : nullptr);
        const bool hears = m_device && m_device->setCaptureTap(&m_capture);
        m_capture.setSource(hears ? (m_device->rate() > 0 ? m_device->rate() : m_sampleRate) : 0);
    }
    m_deviceOpen.store(opened, std::memory_order_release);
    return opened;
}

void AudioEngine::closeDevice()
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

BufferPlan AudioEngine::bufferPlan() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device ? m_device->plan() : m_plan;
}

const char* AudioEngine::deviceName() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device ? m_device->name() : "";
}

bool AudioEngine::deviceParked() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_device && m_device->parked();
}

void AudioEngine::setOutputChoice(const OutputChoice& choice)
{
    {
        std::lock_guard lock(m_deviceMutex);
        m_choice = choice;
    }
    if (!isRunning() || m_offline)
        return;
    {
        std::lock_guard lock(m_wakeMutex);
        m_choiceChanged.store(true, std::memory_order_release);
    }
    m_wake.notify_one();
}

OutputChoice AudioEngine::outputChoice() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_choice;
}

void AudioEngine::followOutputChoice()
{
    if (!m_choiceChanged.exchange(false, std::memory_order_acq_rel))
        return;
    watchChosenServer();
    reopenDevice(m_plan);
}

void AudioEngine::watchChosenServer()
{
    // A chosen sound server is the one to go back to whenever another device plays in its place.
    const OutputChoice::Backend chosen = outputChoice().backend;
    m_returnTo = isServer(chosen) ? chosen : OutputChoice::Backend::Automatic;
    m_returnInterval = kReturnCheckInterval;
    m_nextReturnCheck = std::chrono::steady_clock::now();
}

void AudioEngine::followSilence()
{
    const auto now = std::chrono::steady_clock::now();
    const bool sounding = m_soundingVoices.load(std::memory_order_relaxed) > 0;
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

void AudioEngine::returnToBetterServer()
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

std::uint64_t AudioEngine::underruns() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_earlierUnderruns.load() + (m_device ? m_device->reportedUnderruns() : 0);
}

void AudioEngine::growBufferOnUnderruns()
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

void AudioEngine::reopenDevice(const BufferPlan& plan)
{
    // The last block before the close fades out and the first after it fades in, so the short
    // gap of a reopen is heard as a breath, not a click.
    m_duck.store(Duck::FadeOut, std::memory_order_release);
    wakeDevice(); // a resting stream renders the fade too, rather than keep the move waiting
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

void AudioEngine::housekeeping()
{
    using Clock = std::chrono::steady_clock;
    auto lastCheck = Clock::now();
    auto lastRender = Clock::now();
    double owedFrames = 0.0;
    bool publishesHere = true;
    for (;;) {
        const auto tick = publishesHere || !m_deviceOpen.load(std::memory_order_acquire)
                              ? kHousekeepingTick
                          : m_idle ? kIdleHousekeepingTick
                                   : kDeviceHousekeepingTick;
        {
            std::unique_lock lock(m_wakeMutex);
            if (m_wake.wait_for(lock, tick,
                                [this] {
                                    return m_stopHousekeeping ||
                                           m_choiceChanged.load(std::memory_order_acquire);
                                }) &&
                m_stopHousekeeping)
                return;
        }
        followOutputChoice();
        bool published = false;
        {
            // Only a batch that found the queue full waits here; with a scheduler installed the
            // UI thread decides when a batch is complete, so this thread must not split one.
            std::lock_guard lock(m_mutex);
            publishesHere = !m_scheduler;
            published = publishesHere && publishLocked();
            collectGarbageLocked();
        }
        if (published)
            wakeDevice();
        const bool hasDevice = m_deviceOpen.load(std::memory_order_acquire);
        if (hasDevice) {
            followSilence();
            growBufferOnUnderruns();
        }
        const auto now = Clock::now();
        if (now - lastCheck >= kDeviceCheckInterval) {
            lastCheck = now;
            // A device that went away (unplugged, or its server ended) is closed; the best one
            // there is opens again once there is one.
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
                // Should another device take over, the sound goes back to this server when
                // it returns.
                if (isServer(lostBackend) && rankOf(lostBackend) < rankOf(m_returnTo))
                    m_returnTo = lostBackend;
            }
            if (!m_deviceOpen.load(std::memory_order_acquire)) {
                // Sound that comes back after a loss fades in rather than starting mid-wave.
                m_duck.store(Duck::FadeIn, std::memory_order_release);
                openDevice();
            }
        }
        returnToBetterServer();
        if (m_deviceOpen.load(std::memory_order_acquire)) {
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
