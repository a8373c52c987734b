// SPDX-License-Identifier: GPL-3.0-or-later
#include "SdlAudioHandle.h"

#include <SDL.h>

bool InitSdlAudio()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

bool SdlAudioHandle::open(const char* name, bool capture, const SDL_AudioSpec& want,
                          SDL_AudioSpec& have, int allowedChanges)
{
    close();
    if (!InitSdlAudio())
        return false;
    m_subsystemUp = true;
    m_device = SDL_OpenAudioDevice(name, capture ? 1 : 0, &want, &have, allowedChanges);
    if (m_device == 0)
        close();
    return m_device != 0;
}

void SdlAudioHandle::start()
{
    if (m_device != 0)
        SDL_PauseAudioDevice(m_device, 0);
}

void SdlAudioHandle::close()
{
    if (m_device != 0)
        SDL_CloseAudioDevice(m_device); // waits for a running callback to return
    m_device = 0;
    if (m_subsystemUp)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_subsystemUp = false;
}

bool SdlAudioHandle::lost() const
{
    return m_device != 0 && SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED;
}
