#include "AudioControl.h"

#include "AudioEngine.h"
#include "mixer/Voice.h"
#include "sounds/ReadySounds.h"
#include "sounds/SampleBuffer.h"
#include "sounds/SampleOpening.h"
#include "sounds/SoundFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace {
enum class Slot { Sample, Stream };

struct QueuedVoice {
    Voice* voice;
    Slot slot;
};
} // namespace

// What one control holds. Voices are owned by the engine; the control keeps a pointer to the
// voice of each slot until it stops it, and forgets everything when the engine restarts.
struct AudioSlots {
    explicit AudioSlots(AudioEngine& audio) : engine(audio) {}

    AudioEngine& engine;
    std::uint64_t generation = 0;
    double bufferSeconds = 1.0;

    int sampleVolume = 100;
    int samplePan = 0;
    double samplePitch = 1.0;
    std::shared_ptr<const SampleBuffer> sample;
    std::string largeSamplePath; // a sample too large to hold plays through the stream path
    Voice* sampleVoice = nullptr;

    int streamVolume = 100;
    int streamPan = 0;
    std::string streamPath;
    Voice* streamVoice = nullptr;

    // Voices started behind another's cycle end, in the order queued, until the audio thread
    // shows each either begun (it moves into its slot) or withdrawn (it is freed). Only the last
    // may be `pending`, the one the player still wants; the others were replaced or cancelled.
    std::vector<QueuedVoice> queued;
    Voice* pending = nullptr;
    Slot pendingSlot = Slot::Sample;
    bool stopPending = false; // a stop at the loop's end waits
    // The voice told to end at its cycle end, while something is pending.
    Voice* ending = nullptr;

    Voice*& held(Slot slot) { return slot == Slot::Sample ? sampleVoice : streamVoice; }
    // The voice that volume and pan calls for a slot reach: a queued one before its start.
    Voice* gainTarget(Slot slot) { return pending && pendingSlot == slot ? pending : held(slot); }
};

namespace {

struct Gains {
    float left;
    float right;
};

// Volume is a linear gain; pan is a balance: the centre keeps both sides at full gain and
// turning towards one side lowers only the other.
Gains gainsFor(int volume, int pan)
{
    const float gain = static_cast<float>(volume) / 100.0f;
    const float left = pan > 0 ? 1.0f - static_cast<float>(pan) / 100.0f : 1.0f;
    const float right = pan < 0 ? 1.0f + static_cast<float>(pan) / 100.0f : 1.0f;
    return {gain * left, gain * right};
}

// A stream is usable when it opens and yields at least one frame.
bool streamPlays(const std::string& path, int rate)
{
    auto decoder = StreamDecoder::open(path, rate, false);
    float probe[2 * 64];
    return decoder && decoder->read(probe, 64) > 0;
}

std::unique_ptr<Voice> makeStreamVoice(const AudioSlots& slots, const std::string& path, bool loop)
{
    const int rate = slots.engine.sampleRate();
    const double bufferSeconds = slots.bufferSeconds;
    auto decoder = StreamDecoder::open(path, rate, loop);
    if (!decoder)
        return nullptr;
    const auto ringFrames = static_cast<std::size_t>(bufferSeconds * rate);
    // A quarter second decoded right away: the first block after the start holds the file's
    // first frame, and the reader thread has time to get going.
    const auto prefill = static_cast<std::size_t>(rate / 4);
    return std::make_unique<StreamVoice>(std::move(decoder), ringFrames, prefill);
}

void setGains(Voice& voice, int volume, int pan)
{
    const Gains gains = gainsFor(volume, pan);
    voice.gainLeft = voice.targetLeft = gains.left;
    voice.gainRight = voice.targetRight = gains.right;
}

Voice* startWithGains(Mixer& mixer, std::unique_ptr<Voice> voice, int volume, int pan)
{
    if (!voice)
        return nullptr;
    setGains(*voice, volume, pan);
    return mixer.startVoice(std::move(voice));
}

void stopVoice(Mixer& mixer, Voice*& voice)
{
    if (voice)
        mixer.stopVoice(voice);
    voice = nullptr;
}

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

// Opens a file on the sample slot without touching what plays there.
void openSampleFile(AudioSlots& slots, const std::string& path)
{
    OpenedSample opened = OpenSampleSound(slots.engine.sounds(), path, slots.engine.sampleRate(),
                                          slots.engine.sampleSizeLimit(), slots.samplePitch);
    slots.sample = std::move(opened.sound);
    slots.largeSamplePath = std::move(opened.streamPath);
}

void openStreamFile(AudioSlots& slots, const std::string& path)
{
    slots.streamPath.clear();
    if (streamPlays(path, slots.engine.sampleRate()))
        slots.streamPath = path;
}

std::unique_ptr<Voice> makeVoice(const AudioSlots& slots, Slot slot, bool loop)
{
    if (slot == Slot::Stream)
        return slots.streamPath.empty() ? nullptr : makeStreamVoice(slots, slots.streamPath, loop);
    if (slots.sample)
        return std::make_unique<SampleVoice>(slots.sample, loop);
    if (!slots.largeSamplePath.empty())
        return makeStreamVoice(slots, slots.largeSamplePath, loop);
    return nullptr;
}

// A queued voice has taken over: what played before ended at its cycle end and is freed, and
// the new voice holds its slot.
void adopt(AudioSlots& slots, const QueuedVoice& queued)
{
    for (Slot slot : {Slot::Sample, Slot::Stream})
        if (slots.held(slot) && slots.held(slot)->finished())
            stopVoice(slots.engine.mixer(), slots.held(slot));
    Voice*& held = slots.held(queued.slot);
    // Empty by now unless something else was played there meanwhile.
    stopVoice(slots.engine.mixer(), held);
    if (queued.voice->finished()) {
        Voice* ended = queued.voice; // it has itself handed over since
        stopVoice(slots.engine.mixer(), ended);
    } else {
        held = queued.voice;
    }
}

} // namespace

AudioControl::AudioControl(AudioEngine& engine) : m_slots(std::make_unique<AudioSlots>(engine)) {}

AudioEngine& AudioControl::engine() const
{
    return m_slots->engine;
}

AudioControl::~AudioControl()
{
    if (ready()) {
        dropQueued();
        stopVoice(engine().mixer(), m_slots->sampleVoice);
        stopVoice(engine().mixer(), m_slots->streamVoice);
    }
}

bool AudioControl::ready() const
{
    if (!engine().isRunning())
        return false;
    AudioSlots& slots = *m_slots;
    if (slots.generation != engine().generation()) {
        // The engine was restarted: what this control held went with the previous run.
        slots.generation = engine().generation();
        slots.sample.reset();
        slots.largeSamplePath.clear();
        slots.streamPath.clear();
        slots.sampleVoice = nullptr;
        slots.streamVoice = nullptr;
        slots.queued.clear();
        slots.pending = nullptr;
        slots.ending = nullptr;
        slots.stopPending = false;
    }
    settleQueue();
    return true;
}

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
            stopVoice(slots.engine.mixer(), withdrawn);
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
                stopVoice(slots.engine.mixer(), slots.held(slot));
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
        stopVoice(slots.engine.mixer(), queued.voice);
    slots.queued.clear();
    if (slots.stopPending && slots.ending)
        engine().mixer().endAtCycleEnd(slots.ending, false);
    slots.pending = nullptr;
    slots.ending = nullptr;
    slots.stopPending = false;
}

void AudioControl::DeviceToUse(int)
{
    // The engine plays through the one device its output host chose; there is none to pick here.
}

void AudioControl::InitBASS(std::uintptr_t, int sampleRate, bool, bool)
{
    // The mixer always runs in float stereo; the 8-bit and mono wishes do not change what the
    // device gets.
    engine().start(sampleRate);
}

void AudioControl::BufferLenInSeconds(double seconds)
{
    if (seconds == seconds) // not NaN
        m_slots->bufferSeconds = std::clamp(seconds, 0.25, 10.0);
}

void AudioControl::SamplePitch(double ratio)
{
    m_slots->samplePitch = ratio >= 1.0 / 16 && ratio <= 16.0 ? ratio : 1.0;
}

void AudioControl::SampleChanToModify(int)
{
    // A control has a single sample slot (channel 1), so every call selects the one there is.
}

void AudioControl::OpenSample(const std::string& path)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    dropQueued();
    stopVoice(slots.engine.mixer(), slots.sampleVoice);
    slots.sample.reset();
    slots.largeSamplePath.clear();
    engine().mixer().collectGarbage();
    openSampleFile(slots, path);
}

void AudioControl::OpenStream(const std::string& path)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    dropQueued();
    stopVoice(slots.engine.mixer(), slots.streamVoice);
    openStreamFile(slots, path);
}

void AudioControl::PlaySample(bool loop)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    dropQueued();
    stopVoice(slots.engine.mixer(), slots.sampleVoice);
    slots.sampleVoice = startWithGains(engine().mixer(), makeVoice(slots, Slot::Sample, loop),
                                       slots.sampleVolume, slots.samplePan);
}

void AudioControl::PlayStream(bool loop)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    dropQueued();
    stopVoice(slots.engine.mixer(), slots.streamVoice);
    slots.streamVoice = startWithGains(engine().mixer(), makeVoice(slots, Slot::Stream, loop),
                                       slots.streamVolume, slots.streamPan);
}

void AudioControl::StopSample()
{
    if (!ready())
        return;
    dropQueued();
    stopVoice(engine().mixer(), m_slots->sampleVoice);
}

void AudioControl::StopStream()
{
    if (!ready())
        return;
    dropQueued();
    stopVoice(engine().mixer(), m_slots->streamVoice);
}

void AudioControl::QueueAtLoopEnd(const std::string& path)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    const Slot slot = PlaysAsStream(path) ? Slot::Stream : Slot::Sample;
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
        stopVoice(slots.engine.mixer(), held);
    if (slot == Slot::Sample)
        setGains(*voice, slots.sampleVolume, slots.samplePan);
    else
        setGains(*voice, slots.streamVolume, slots.streamPan);
    // The engine withdraws a voice queued before behind the same one; it is freed once the
    // audio thread shows it withdrawn (or adopted, if its cycle end came first).
    Voice* queued = engine().mixer().startVoiceAfter(std::move(voice), after);
    if (!queued)
        return;
    slots.queued.push_back({queued, slot});
    slots.pending = queued;
    slots.pendingSlot = slot;
    slots.ending = after;
    slots.stopPending = false;
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

bool AudioControl::SampleIsActive() const
{
    return ready() && m_slots->sampleVoice && !m_slots->sampleVoice->finished();
}

bool AudioControl::StreamIsActive() const
{
    return ready() && m_slots->streamVoice && !m_slots->streamVoice->finished();
}

bool AudioControl::sampleIsStreamed() const
{
    return ready() && !m_slots->largeSamplePath.empty();
}

void AudioControl::SampleVol(int volume)
{
    if (!ready())
        return;
    m_slots->sampleVolume = std::clamp(volume, 0, 100);
    applyGains(m_slots->gainTarget(Slot::Sample), m_slots->sampleVolume, m_slots->samplePan);
}

void AudioControl::StreamVol(int volume)
{
    if (!ready())
        return;
    m_slots->streamVolume = std::clamp(volume, 0, 100);
    applyGains(m_slots->gainTarget(Slot::Stream), m_slots->streamVolume, m_slots->streamPan);
}

void AudioControl::SamplePan(int pan)
{
    if (!ready())
        return;
    m_slots->samplePan = std::clamp(pan, -100, 100);
    applyGains(m_slots->gainTarget(Slot::Sample), m_slots->sampleVolume, m_slots->samplePan);
}

void AudioControl::StreamPan(int pan)
{
    if (!ready())
        return;
    m_slots->streamPan = std::clamp(pan, -100, 100);
    applyGains(m_slots->gainTarget(Slot::Stream), m_slots->streamVolume, m_slots->streamPan);
}

void AudioControl::applyGains(Voice* voice, int volume, int pan)
{
    if (!voice)
        return;
    const Gains gains = gainsFor(volume, pan);
    engine().mixer().setGain(voice, gains.left, gains.right);
}

void AudioControl::KeepSamplesReady(const std::vector<std::string>& paths)
{
    std::vector<std::string> samples;
    for (const std::string& path : paths)
        if (!PlaysAsStream(path))
            samples.push_back(path);
    ReadySounds& ready = engine().sounds();
    ready.setSizeLimit(engine().sampleSizeLimit());
    ready.keepReady(samples);
}

void AudioControl::TerminateBASS()
{
    engine().stop();
}

bool PlaysAsStream(const std::string& path)
{
    if (path.size() < 3)
        return false;
    std::string ending = path.substr(path.size() - 3);
    for (char& c : ending)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending == "mp3";
}

void PlayFile(AudioControl& control, const std::string& path, bool loop)
{
    if (PlaysAsStream(path)) {
        control.OpenStream(path);
        control.PlayStream(loop);
    } else {
        control.OpenSample(path);
        control.PlaySample(loop);
    }
}

void Silence(AudioControl& control)
{
    control.SampleChanToModify(1);
    if (control.SampleIsActive())
        control.StopSample();
    if (control.StreamIsActive())
        control.StopStream();
}
