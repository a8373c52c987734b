// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioEngine.h"

AudioEngine::AudioEngine(Options options)
    : m_options(std::move(options)), m_host(m_mixer, m_options.deviceFactory)
{
    m_sounds.setSizeLimit(m_sampleSizeLimit);
}

AudioEngine::~AudioEngine()
{
    stop();
}

void AudioEngine::start(int sampleRate)
{
    if (isRunning())
        return;
    m_mixer.start((sampleRate >= 8000 && sampleRate <= 192000) ? sampleRate : 44100,
                  m_options.offline);
    if (!m_options.offline)
        m_host.start();
    m_sounds.setRate(m_mixer.sampleRate()); // the device may have imposed its own
    m_stretched.setRate(m_mixer.sampleRate());
}

void AudioEngine::stop()
{
    if (!isRunning())
        return;
    m_host.stop(); // returns once no render runs
    m_mixer.stop();
}

std::unique_ptr<AudioInput> AudioEngine::openInput(AudioInput::Sink sink, void* context)
{
    if (m_inputFactory)
        return OpenedInput(m_inputFactory(), sink, context);
    return OpenBestAudioInput(sink, context, m_host.capture());
}
