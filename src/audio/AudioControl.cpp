#include "AudioControl.h"

#include "AudioEngine.h"
#include "SampleBuffer.h"
#include "SoundFile.h"
#include "Voice.h"

#include <algorithm>
#include <cctype>

// What one control holds. Voices are owned by the engine; the control keeps a pointer to the
// voice of each slot until it stops it, and forgets everything when the engine restarts.
struct AudioSlots {
    std::uint64_t generation = 0;
    int device = 1;
    int channel = 1;
    double bufferSeconds = 1.0;

    int sampleVolume = 100;
    int samplePan = 0;
    std::shared_ptr<const SampleBuffer> sample;
    std::string largeSamplePath; // a sample too large to hold plays through the stream path
    Voice* sampleVoice = nullptr;

    int streamVolume = 100;
    int streamPan = 0;
    std::string streamPath;
    Voice* streamVoice = nullptr;
};

namespace {

AudioEngine& engine()
{
    return AudioEngine::instance();
}

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

std::unique_ptr<Voice> makeStreamVoice(const std::string& path, bool loop, double bufferSeconds)
{
    const int rate = engine().sampleRate();
    auto decoder = StreamDecoder::open(path, rate, loop);
    if (!decoder)
        return nullptr;
    const auto ringFrames = static_cast<std::size_t>(bufferSeconds * rate);
    // A quarter second decoded right away: the first block after the start holds the file's
    // first frame, and the reader thread has time to get going.
    const auto prefill = static_cast<std::size_t>(rate / 4);
    return std::make_unique<StreamVoice>(std::move(decoder), ringFrames, prefill);
}

Voice* startWithGains(std::unique_ptr<Voice> voice, int volume, int pan)
{
    if (!voice)
        return nullptr;
    const Gains gains = gainsFor(volume, pan);
    voice->gainLeft = voice->targetLeft = gains.left;
    voice->gainRight = voice->targetRight = gains.right;
    return engine().startVoice(std::move(voice));
}

void stopVoice(Voice*& voice)
{
    if (voice)
        engine().stopVoice(voice);
    voice = nullptr;
}

} // namespace

AudioControl::AudioControl() : m_slots(std::make_unique<AudioSlots>()) {}

AudioControl::~AudioControl()
{
    if (ready()) {
        stopVoice(m_slots->sampleVoice);
        stopVoice(m_slots->streamVoice);
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
    }
    return true;
}

void AudioControl::DeviceToUse(int device)
{
    m_slots->device = device;
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

void AudioControl::SampleChanToModify(int channel)
{
    m_slots->channel = channel;
}

void AudioControl::OpenSample(const std::string& path)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    stopVoice(slots.sampleVoice);
    slots.sample.reset();
    slots.largeSamplePath.clear();
    engine().collectGarbage();
    std::shared_ptr<const SampleBuffer> buffer;
    switch (decodeSample(path, engine().sampleRate(), engine().sampleSizeLimit(), buffer)) {
    case DecodeResult::Ok:
        slots.sample = std::move(buffer);
        break;
    case DecodeResult::TooLarge:
        if (streamPlays(path, engine().sampleRate()))
            slots.largeSamplePath = path;
        break;
    case DecodeResult::Failed:
        break;
    }
}

void AudioControl::OpenStream(const std::string& path)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    stopVoice(slots.streamVoice);
    slots.streamPath.clear();
    if (streamPlays(path, engine().sampleRate()))
        slots.streamPath = path;
}

void AudioControl::PlaySample(bool loop)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    stopVoice(slots.sampleVoice);
    std::unique_ptr<Voice> voice;
    if (slots.sample)
        voice = std::make_unique<SampleVoice>(slots.sample, loop);
    else if (!slots.largeSamplePath.empty())
        voice = makeStreamVoice(slots.largeSamplePath, loop, slots.bufferSeconds);
    slots.sampleVoice = startWithGains(std::move(voice), slots.sampleVolume, slots.samplePan);
}

void AudioControl::PlayStream(bool loop)
{
    if (!ready())
        return;
    AudioSlots& slots = *m_slots;
    stopVoice(slots.streamVoice);
    if (slots.streamPath.empty())
        return;
    slots.streamVoice = startWithGains(makeStreamVoice(slots.streamPath, loop, slots.bufferSeconds),
                                       slots.streamVolume, slots.streamPan);
}

void AudioControl::StopSample()
{
    if (ready())
        stopVoice(m_slots->sampleVoice);
}

void AudioControl::StopStream()
{
    if (ready())
        stopVoice(m_slots->streamVoice);
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
    applyGains(m_slots->sampleVoice, m_slots->sampleVolume, m_slots->samplePan);
}

void AudioControl::StreamVol(int volume)
{
    if (!ready())
        return;
    m_slots->streamVolume = std::clamp(volume, 0, 100);
    applyGains(m_slots->streamVoice, m_slots->streamVolume, m_slots->streamPan);
}

void AudioControl::SamplePan(int pan)
{
    if (!ready())
        return;
    m_slots->samplePan = std::clamp(pan, -100, 100);
    applyGains(m_slots->sampleVoice, m_slots->sampleVolume, m_slots->samplePan);
}

void AudioControl::StreamPan(int pan)
{
    if (!ready())
        return;
    m_slots->streamPan = std::clamp(pan, -100, 100);
    applyGains(m_slots->streamVoice, m_slots->streamVolume, m_slots->streamPan);
}

void AudioControl::applyGains(Voice* voice, int volume, int pan)
{
    if (!voice)
        return;
    const Gains gains = gainsFor(volume, pan);
    engine().setGain(voice, gains.left, gains.right);
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
