// SPDX-License-Identifier: GPL-3.0-or-later
#include "Mixer.h"

#include "SharedTimeline.h"
#include "Voice.h"

#include <algorithm>

Mixer::~Mixer()
{
    stop();
    delete m_metronome.setSound(nullptr);
    delete m_timeline;
}

void Mixer::start(int sampleRate, bool offline)
{
    if (isRunning())
        return;
    setSampleRate(sampleRate);
    m_offline = offline;
    ++m_generation;
    m_running.store(true, std::memory_order_release);
}

void Mixer::setSampleRate(int sampleRate)
{
    m_sampleRate = sampleRate;
    m_fadeFrames = std::max(1, m_sampleRate * 4 / 1000); // a stop is silent within 5 ms
    makeClicks();
}

void Mixer::stop()
{
    if (!isRunning())
        return;
    m_running.store(false, std::memory_order_release);

    // Nothing renders any more: this thread now owns both ends of both queues.
    std::lock_guard lock(m_mutex);
    Command command;
    while (m_commands.pop(command)) {
        delete command.block;
        delete command.click;
        delete command.timeline;
    }
    for (const Command& pending : m_pending) {
        delete pending.block;
        delete pending.click;
        delete pending.timeline;
    }
    m_pending.clear();
    m_batchScheduled = false;
    m_voiceCount = 0;
    m_waiting = 0;
    resetTime();
    collectGarbageLocked();
    for (Voice* voice : m_live)
        delete voice;
    m_live.clear();
}

void Mixer::setCommitScheduler(std::function<void()> schedule)
{
    std::lock_guard lock(m_mutex);
    m_scheduler = std::move(schedule);
    m_batchScheduled = false;
}

void Mixer::queue(const Command& command)
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
        announcePublished();
    if (schedule)
        schedule(); // outside the lock: a scheduler may commit at once
}

void Mixer::commitPending()
{
    bool published = false;
    {
        std::lock_guard lock(m_mutex);
        published = publishLocked();
        collectGarbageLocked();
    }
    if (published)
        announcePublished();
}

void Mixer::setPublishListener(std::function<void()> listener)
{
    std::lock_guard lock(m_mutex);
    m_publishListener = std::move(listener);
}

void Mixer::announcePublished()
{
    std::function<void()> listener;
    {
        std::lock_guard lock(m_mutex);
        listener = m_publishListener;
    }
    if (listener)
        listener();
}

bool Mixer::serviceQueues()
{
    bool published = false;
    bool publishesHere = false;
    {
        // Only a batch that found the queue full waits here. With a scheduler installed the UI
        // thread decides when a batch is complete, so this thread must not split one it is still
        // queueing; but the rest of a batch it committed, too large for the queue, goes on here
        // as the audio thread drains it, or it would wait for the user's next action.
        std::lock_guard lock(m_mutex);
        const auto committedRest = [this] { return !m_batchScheduled && !m_pending.empty(); };
        published = (!m_scheduler || committedRest()) && publishLocked();
        publishesHere = !m_scheduler || committedRest();
        collectGarbageLocked();
    }
    if (published)
        announcePublished();
    return publishesHere;
}

bool Mixer::publishLocked()
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

void Mixer::collectGarbage()
{
    std::lock_guard lock(m_mutex);
    collectGarbageLocked();
}

void Mixer::collectGarbageLocked()
{
    Retired* retired = nullptr;
    while (m_garbage.pop(retired)) {
        if (retired->isVoice())
            m_live.erase(static_cast<Voice*>(retired));
        delete retired;
    }
}

Voice* Mixer::adopt(std::unique_ptr<Voice> voice)
{
    if (!isRunning() || !voice)
        return nullptr;
    Voice* raw = voice.release();
    std::lock_guard lock(m_mutex);
    m_live.insert(raw);
    return raw;
}

Voice* Mixer::startVoice(std::unique_ptr<Voice> voice)
{
    Voice* raw = adopt(std::move(voice));
    if (raw)
        queue({Command::Type::Start, raw, nullptr, 0.0f, 0.0f});
    return raw;
}

Voice* Mixer::startVoiceAfter(std::unique_ptr<Voice> voice, Voice* after, SwitchAt at)
{
    Voice* raw = adopt(std::move(voice));
    if (!raw)
        return nullptr;
    Command command{Command::Type::StartAfter, raw, nullptr, 0.0f, 0.0f};
    command.after = after;
    command.at = at;
    queue(command);
    return raw;
}

void Mixer::endAtCycleEnd(Voice* voice, bool end)
{
    if (!isRunning() || !voice)
        return;
    Command command{Command::Type::EndAtCycleEnd, voice, nullptr, 0.0f, 0.0f};
    command.end = end;
    queue(command);
}

void Mixer::setGain(Voice* voice, float left, float right)
{
    if (isRunning() && voice)
        queue({Command::Type::Gain, voice, nullptr, left, right});
}

void Mixer::stopVoice(Voice* voice)
{
    if (isRunning() && voice)
        queue({Command::Type::Stop, voice, nullptr, 0.0f, 0.0f});
}

void Mixer::replacePcm(Voice* voice, std::unique_ptr<PcmBlock> block)
{
    if (isRunning() && voice && block)
        queue({Command::Type::Pcm, voice, block.release(), 0.0f, 0.0f});
}

// ---- audio thread ----------------------------------------------------------------------------

void Mixer::retire(Retired* retired)
{
    // The queue is drained every few milliseconds; were it ever full, leaking one object is
    // better than freeing it here.
    if (retired && !m_garbage.push(retired))
        m_lostRetired.fetch_add(1, std::memory_order_relaxed);
}

// The voice a command aimed at `voice` means: once a voice has handed over at its cycle end (or
// a tempo change's crossfade), the UI may not have seen it yet, and what it asked of the old voice
// belongs to the new one.
Voice* Mixer::playingSuccessorOf(Voice* voice)
{
    while (voice && (voice->finished() || voice->fadingAway) && voice->handedTo)
        voice = voice->handedTo;
    return voice;
}

bool Mixer::loopsOn(const Voice* voice)
{
    return voice && voice->inMix && !voice->stopping && !voice->fadingAway && !voice->finished();
}

void Mixer::startNow(Voice* voice)
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

void Mixer::withdrawSuccessor(Voice& voice)
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

void Mixer::apply(const Command& command)
{
    Voice* voice = command.voice;
    switch (command.type) {
    case Command::Type::Start:
        startPlain(voice);
        return;
    case Command::Type::StartAfter: {
        Voice* after = playingSuccessorOf(command.after);
        if (!loopsOn(after) || m_voiceCount + m_waiting >= kMaxVoices) {
            startNow(voice); // nothing to wait for (or no room to wait): like a plain start
            return;
        }
        if (startOnGrid(voice, after, command.at))
            return;
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
            voice->rampLeft = kGainRampFrames;
        }
        return;
    case Command::Type::Stop:
        unschedule(voice);
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
    case Command::Type::Swap:
    case Command::Type::Tempo:
    case Command::Type::Metronome:
    case Command::Type::CountIn:
    case Command::Type::ClickInMix:
    case Command::Type::Click:
    case Command::Type::Timeline:
        applyTimed(command);
        return;
    case Command::Type::Take:
    case Command::Type::EndTake:
    case Command::Type::CancelTake:
    case Command::Type::MeasureRoundTrip:
        applyTake(command);
        return;
    }
}

void Mixer::render(float* out, int frames, float* click)
{
    if (!out || frames <= 0)
        return;
    std::fill(out, out + static_cast<std::ptrdiff_t>(frames) * 2, 0.0f);
    if (click)
        std::fill(click, click + static_cast<std::ptrdiff_t>(frames) * 2, 0.0f);
    beginBlock(frames);
    if (m_offline && isRunning()) {
        std::lock_guard lock(m_mutex);
        publishLocked();
    }
    if (!m_running.load(std::memory_order_acquire))
        return;

    // Where the shared timeline stands, before the commands that may start on its bar.
    readTimeline();
    keepGridOnTimeline();
    // Acquire pairs with the producer's release in SpscQueue::pushAll: every field the UI thread
    // wrote into a voice before publishing it is visible here.
    Command command;
    while (m_commands.pop(command))
        apply(command);
    readBlockStart();
    for (int offset = 0; offset < frames; offset += kChunkFrames) {
        const int chunk = std::min(kChunkFrames, frames - offset);
        if (m_offline && m_offlineStreamWait)
            waitForStreams(chunk);
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(offset) * 2;
        mixChunk(out + at, click ? click + at : nullptr, chunk);
    }
    // The input heard with this block is placed on its frames (and heard, when monitored).
    m_recorder.process(out, frames, m_block.frame);

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
    // A take under way keeps the device refilling, so the input is read at every period.
    m_soundingVoices.store(m_voiceCount + (m_recorder.busy() ? 1 : 0), std::memory_order_relaxed);
    showTime();
}

void Mixer::mixVoice(int index, float* out, int frames)
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

void Mixer::handOver(int index, float* out, int frames)
{
    // The successor takes the ended voice's place in the mix and fills the rest of this block
    // from its first frame. The ended voice moves to the end of the list, where it is skipped
    // until its owner's stop frees it (the owner still holds it).
    Voice* ended = m_voices[static_cast<std::size_t>(index)];
    Voice* next = ended->successor;
    ended->successor = nullptr;
    ended->handedTo = next;
    next->waitingOn = nullptr;
    // A switch at the cycle end carries the cycle's phase on; one on a grid line took the
    // line's when it was due.
    if (next->startFrame < 0)
        next->setCyclePhase(ended->nextCyclePhase());
    next->startFrame = -1;
    --m_waiting; // its place was held, so the list has room
    next->inMix = true;
    next->markBegan();
    m_voices[static_cast<std::size_t>(index)] = next;
    m_voices[static_cast<std::size_t>(m_voiceCount++)] = ended;
    if (frames > 0)
        mixVoice(index, out, frames);
}

void Mixer::waitForStreams(int frames)
{
    for (int i = 0; i < m_voiceCount; ++i) {
        Voice* voice = m_voices[static_cast<std::size_t>(i)];
        if (voice->kind() == Voice::Kind::Stream && !voice->finished())
            static_cast<StreamVoice*>(voice)->waitForReadAhead(
                static_cast<std::size_t>(std::max(frames, 0)));
    }
}
