// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioControl.h"

#include "AudioEngine.h"
#include "AudioSlots.h"
#include "mixer/Voice.h"
#include "sounds/SampleOpening.h"
#include "sounds/StretchedSounds.h"

// Switching on a loop's end: the control queues a voice behind the one that plays and keeps its
// slots in step with what the audio thread did at each cycle end.

namespace {

bool sounds(const Voice* voice)
{
    return voice && !voice->finished();
}

// What plays: the voice of `preferred` when it sounds, else the other slot's.
Voice* playingVoice(AudioSlots& slots, Slot preferred)
{
    Voice* own = slots.held(preferred);
    if (sounds(own))
        return own;
    Voice* other = slots.held(preferred == Slot::Sample ? Slot::Stream : Slot::Sample);
    return sounds(other) ? other : nullptr;
}

// A queued voice has taken over: what played before ended at its cycle end and is freed, and
// the new voice holds its slot.
void adopt(AudioSlots& slots, const QueuedVoice& queued)
{
    for (Slot slot : {Slot::Sample, Slot::Stream})
        if (slots.held(slot) && slots.held(slot)->finished())
            slots.stop(slots.held(slot));
    Voice*& held = slots.held(queued.slot);
    // Empty by now unless something else was played there meanwhile.
    slots.stop(held);
    if (queued.voice->finished()) {
        Voice* ended = queued.voice; // it has itself handed over since
        slots.stop(ended);
    } else {
        held = queued.voice;
    }
}

} // namespace

void AudioControl::settleQueue() const
{
    // The audio thread answers through each queued voice's began and finished flags; this
    // brings the slots up to date with what it did at the cycle ends since the last call.
    AudioSlots& slots = *m_slots;
    while (!slots.queued.empty()) {
        const QueuedVoice queued = slots.queued.front();
        if (queued.voice->began()) {
            adopt(slots, queued);
            if (queued.voice == slots.pending) {
                slots.pending = nullptr;
                slots.ending = nullptr;
            } else if (slots.pending || slots.stopPending) {
                // It began before the later request reached the audio thread, which then aimed
                // that request at it.
                slots.ending = queued.voice;
            }
        } else if (queued.voice->finished()) {
            Voice* withdrawn = queued.voice; // replaced or cancelled before it began
            slots.stop(withdrawn);
            if (queued.voice == slots.pending)
                slots.pending = nullptr;
        } else {
            break; // later ones cannot begin before this one
        }
        slots.queued.erase(slots.queued.begin());
    }
    if (slots.stopPending && slots.queued.empty() && !sounds(slots.ending)) {
        // The loop has played out its last cycle.
        slots.stopPending = false;
        slots.ending = nullptr;
        for (Slot slot : {Slot::Sample, Slot::Stream})
            if (slots.held(slot) && slots.held(slot)->finished())
                slots.stop(slots.held(slot));
    }
    if (!slots.pending && !slots.stopPending)
        slots.ending = nullptr;
}

void AudioControl::dropQueued()
{
    AudioSlots& slots = *m_slots;
    // A queued voice still waiting is detached, and the voice it waited on loops on; one that
    // began in the meantime is stopped, since the call that drops it wants silence or another
    // sound.
    for (QueuedVoice& queued : slots.queued)
        slots.stop(queued.voice);
    slots.queued.clear();
    if (slots.stopPending && slots.ending)
        engine().mixer().endAtCycleEnd(slots.ending, false);
    slots.pending = nullptr;
    slots.ending = nullptr;
    slots.stopPending = false;
}

void AudioControl::QueueAtLoopEnd(const std::string& path, Mixer::SwitchAt at)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    const Slot slot = OpensAsStream(*this, path) ? Slot::Stream : Slot::Sample;
    Voice* after = slots.pending ? slots.ending : playingVoice(slots, slot);
    if (!after) {
        PlayFile(*this, path, true);
        return;
    }
    if (slot == Slot::Stream)
        openStreamFile(slots, path);
    else
        openSampleFile(slots, path);
    std::unique_ptr<Voice> voice = makeVoice(slots, slot, true);
    if (!voice) {
        CancelQueued();
        return;
    }
    Voice*& held = slots.held(slot);
    // A once-played file that ended leaves the slot free for the new one.
    if (held && held != after && held->finished())
        slots.stop(held);
    if (slot == Slot::Sample)
        setGains(*voice, slots.sampleVolume, slots.samplePan, slots.trim);
    else
        setGains(*voice, slots.streamVolume, slots.streamPan, slots.trim);
    // The engine withdraws a voice queued before behind the same one; it is freed once the
    // audio thread shows it withdrawn (or adopted, if its cycle end came first).
    Voice* queued = engine().mixer().startVoiceAfter(std::move(voice), after, at);
    if (!queued)
        return;
    slots.queued.push_back({queued, slot});
    slots.pending = queued;
    slots.pendingSlot = slot;
    slots.ending = after;
    slots.stopPending = false;
}

bool AudioControl::SwapSampleAtBar(const std::string& path, double cycleFrames, double pitchScale,
                                   double beatFrames)
{
    if (!ready())
        return false;
    AudioSlots& slots = *m_slots;
    // A streamed MP3 hands over to its render as well.
    Voice* playing = sounds(slots.sampleVoice) ? slots.sampleVoice : slots.streamVoice;
    if (!sounds(playing) || slots.pending || slots.stopPending)
        return false;
    std::shared_ptr<const SampleBuffer> sound;
    if (cycleFrames > 0.0 || pitchScale != 1.0) {
        StretchedSounds::Found found = engine().stretched().find({path, cycleFrames, pitchScale});
        if (found.state != StretchedSounds::State::Ready)
            return false;
        sound = std::move(found.sound);
    } else {
        // Back to the file as recorded: its ready sound, which a press would play too.
        sound = OpenSampleSound(engine().sounds(), path, engine().sampleRate(),
                                engine().sampleSizeLimit(), 1.0)
                    .sound;
    }
    if (!sound)
        return false; // plays only from disk: not a sound a bar line can hand over to
    auto voice = std::make_unique<SampleVoice>(sound, true, cycleFrames);
    voice->anchorsGrid = slots.anchorsGrid;
    setGains(*voice, slots.sampleVolume, slots.samplePan, slots.trim);
    Voice* swapped = engine().mixer().swapAtBar(std::move(voice), playing, beatFrames);
    if (!swapped)
        return false;
    slots.sample = std::move(sound);
    slots.largeSamplePath.clear();
    slots.sampleCycleFrames = cycleFrames;
    slots.sampleRendered = true;
    // Settled like a switch at the loop's end: the new voice holds the slot once it began.
    slots.queued.push_back({swapped, Slot::Sample});
    slots.pending = swapped;
    slots.pendingSlot = Slot::Sample;
    slots.ending = playing;
    slots.stopPending = false;
    return true;
}

void AudioControl::StopAtLoopEnd()
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    Voice* playing = slots.ending ? slots.ending : playingVoice(slots, Slot::Sample);
    if (!playing)
        return;
    engine().mixer().endAtCycleEnd(playing, true); // also withdraws a queued file
    slots.pending = nullptr;
    slots.ending = playing;
    slots.stopPending = true;
}

void AudioControl::CancelQueued()
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    if (slots.ending)
        engine().mixer().endAtCycleEnd(slots.ending, false); // also withdraws a queued file
    slots.pending = nullptr;
    slots.ending = nullptr;
    slots.stopPending = false;
}

bool AudioControl::HasQueued() const
{
    return ready() && (m_slots->pending || m_slots->stopPending);
}

double AudioControl::LoopProgress() const
{
    if (!ready())
        return 0.0;
    AudioSlots& slots = *m_slots;
    const Voice* playing = sounds(slots.ending) ? slots.ending : playingVoice(slots, Slot::Sample);
    return playing ? playing->cycleProgress() : 0.0;
}
