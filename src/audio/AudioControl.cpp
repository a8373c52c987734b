// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioControl.h"

#include "AudioEngine.h"
#include "AudioSlots.h"
#include "mixer/Voice.h"
#include "sounds/ReadySounds.h"
#include "sounds/SampleBuffer.h"
#include "sounds/SampleOpening.h"
#include "sounds/SoundFile.h"
#include "sounds/StretchedSounds.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace {

struct Gains {
    float left;
    float right;
};

// Volume is a linear gain; pan is a balance: the centre keeps both sides at full gain and
// turning towards one side lowers only the other.
Gains gainsFor(int volume, int pan, double trim)
{
    const float gain = static_cast<float>(volume) / 100.0f * static_cast<float>(trim);
    const float left = pan > 0 ? 1.0f - static_cast<float>(pan) / 100.0f : 1.0f;
    const float right = pan < 0 ? 1.0f + static_cast<float>(pan) / 100.0f : 1.0f;
    return {gain * left, gain * right};
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

} // namespace

void setGains(Voice& voice, int volume, int pan, double trim)
{
    const Gains gains = gainsFor(volume, pan, trim);
    voice.gainLeft = voice.targetLeft = gains.left;
    voice.gainRight = voice.targetRight = gains.right;
}

void AudioSlots::stop(Voice*& voice)
{
    if (voice)
        engine.mixer().stopVoice(voice);
    voice = nullptr;
}

void openSampleFile(AudioSlots& slots, const std::string& path)
{
    slots.sampleCycleFrames = 0.0;
    slots.sampleRendered = true;
    const bool rendered = slots.renderCycleFrames > 0.0 || slots.renderPitch != 1.0;
    if (rendered && slots.samplePitch == 1.0) {
        StretchedSounds::Found found =
            slots.engine.stretched().find({path, slots.renderCycleFrames, slots.renderPitch});
        if (found.state == StretchedSounds::State::Ready && found.sound) {
            slots.sample = std::move(found.sound);
            slots.largeSamplePath.clear();
            slots.sampleCycleFrames = slots.renderCycleFrames;
            return;
        }
        slots.sampleRendered = false; // heard as recorded until the render is ready
    }
    OpenedSample opened = OpenSampleSound(slots.engine.sounds(), path, slots.engine.sampleRate(),
                                          slots.engine.sampleSizeLimit(), slots.samplePitch);
    slots.sample = std::move(opened.sound);
    slots.largeSamplePath = std::move(opened.streamPath);
}

void openStreamFile(AudioSlots& slots, const std::string& path)
{
    // A stream is the file as recorded: whatever render was asked for is not what it plays.
    slots.sampleRendered = slots.renderCycleFrames == 0.0 && slots.renderPitch == 1.0;
    slots.streamPath.clear();
    if (StreamPlays(path, slots.engine.sampleRate()))
        slots.streamPath = path;
}

std::unique_ptr<Voice> makeVoice(const AudioSlots& slots, Slot slot, bool loop)
{
    if (slot == Slot::Stream)
        return slots.streamPath.empty() ? nullptr : makeStreamVoice(slots, slots.streamPath, loop);
    std::unique_ptr<Voice> voice;
    if (slots.sample)
        voice = std::make_unique<SampleVoice>(slots.sample, loop, slots.sampleCycleFrames);
    else if (!slots.largeSamplePath.empty())
        voice = makeStreamVoice(slots, slots.largeSamplePath, loop);
    if (voice) {
        voice->anchorsGrid = slots.anchorsGrid;
        voice->startsOnBar = slots.startsOnBar;
    }
    return voice;
}

namespace {

Voice* startWithGains(Mixer& mixer, std::unique_ptr<Voice> voice, int volume, int pan, double trim)
{
    if (!voice)
        return nullptr;
    setGains(*voice, volume, pan, trim);
    return mixer.startVoice(std::move(voice));
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
        m_slots->stop(m_slots->sampleVoice);
        m_slots->stop(m_slots->streamVoice);
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
    slots.stop(slots.sampleVoice);
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
    slots.stop(slots.streamVoice);
    openStreamFile(slots, path);
}

void AudioControl::PlaySample(bool loop)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    dropQueued();
    slots.stop(slots.sampleVoice);
    slots.sampleVoice = startWithGains(engine().mixer(), makeVoice(slots, Slot::Sample, loop),
                                       slots.sampleVolume, slots.samplePan, slots.trim);
}

void AudioControl::PlayStream(bool loop)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    dropQueued();
    slots.stop(slots.streamVoice);
    slots.streamVoice = startWithGains(engine().mixer(), makeVoice(slots, Slot::Stream, loop),
                                       slots.streamVolume, slots.streamPan, slots.trim);
}

void AudioControl::StopSample()
{
    if (!ready())
        return;
    dropQueued();
    m_slots->stop(m_slots->sampleVoice);
}

void AudioControl::StopStream()
{
    if (!ready())
        return;
    dropQueued();
    m_slots->stop(m_slots->streamVoice);
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
    const Gains gains = gainsFor(volume, pan, m_slots->trim);
    engine().mixer().setGain(voice, gains.left, gains.right);
}

void AudioControl::Trim(double gainDb)
{
    if (!ready())
        return;
    m_slots->trim = std::isfinite(gainDb)
                        ? std::pow(10.0, std::clamp(gainDb, -kMaxTrimDb, kMaxTrimDb) / 20.0)
                        : 1.0;
    applyGains(m_slots->gainTarget(Slot::Sample), m_slots->sampleVolume, m_slots->samplePan);
    applyGains(m_slots->gainTarget(Slot::Stream), m_slots->streamVolume, m_slots->streamPan);
}

void AudioControl::SampleRender(double cycleFrames, double pitchScale)
{
    const bool sane = std::isfinite(cycleFrames) && cycleFrames >= 0.0 &&
                      std::isfinite(pitchScale) && pitchScale > 0.0;
    m_slots->renderCycleFrames = sane ? cycleFrames : 0.0;
    m_slots->renderPitch = sane ? pitchScale : 1.0;
}

bool AudioControl::sampleIsRendered() const
{
    return m_slots->sampleRendered;
}

bool AudioControl::renderIsReady(const std::string& path) const
{
    const AudioSlots& slots = *m_slots;
    if (!ready() || (slots.renderCycleFrames == 0.0 && slots.renderPitch == 1.0) ||
        slots.samplePitch != 1.0)
        return false;
    return engine().stretched().find({path, slots.renderCycleFrames, slots.renderPitch}).state ==
           StretchedSounds::State::Ready;
}

void AudioControl::AnchorGrid(bool anchors)
{
    m_slots->anchorsGrid = anchors;
}

void AudioControl::StartOnNextBar(bool onBar)
{
    m_slots->startsOnBar = onBar;
}

const Voice* AudioControl::playingSampleVoice() const
{
    return ready() && !HasQueued() ? m_slots->sampleVoice : nullptr;
}

std::shared_ptr<const SampleBuffer> AudioControl::playingSampleSound() const
{
    return playingSampleVoice() ? m_slots->sample : nullptr;
}

void AudioControl::KeepSamplesReady(const std::vector<std::string>& paths)
{
    std::vector<std::string> samples;
    for (const std::string& path : paths)
        if (!PlaysAsStream(path))
            samples.push_back(path);
    engine().sounds().keepReady(samples);
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

bool OpensAsStream(const AudioControl& control, const std::string& path)
{
    return PlaysAsStream(path) && !control.renderIsReady(path);
}

void PlayFile(AudioControl& control, const std::string& path, bool loop)
{
    if (OpensAsStream(control, path)) {
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
