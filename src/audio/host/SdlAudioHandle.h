// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

struct SDL_AudioSpec;

// One open SDL audio device and the audio subsystem it keeps up: what the output device, the
// capture input and the output menu's device list share.
class SdlAudioHandle {
public:
    SdlAudioHandle() = default;
    ~SdlAudioHandle() { close(); }
    SdlAudioHandle(const SdlAudioHandle&) = delete;
    SdlAudioHandle& operator=(const SdlAudioHandle&) = delete;

    // Opens the device SDL names `name` (null: its default) for playback or capture, paused;
    // false when SDL has no audio or no such device.
    bool open(const char* name, bool capture, const SDL_AudioSpec& want, SDL_AudioSpec& have,
              int allowedChanges);
    // Lets the callbacks begin.
    void start();
    // Returns once no callback runs any more.
    void close();
    // The device went away: SDL reports it stopped.
    bool lost() const;

private:
    std::uint32_t m_device = 0;
    bool m_subsystemUp = false;
};

// Brings SDL's audio subsystem up (SDL_QuitSubSystem takes it down again); false when SDL has no
// audio. SDL must not take over SIGINT and SIGTERM from the program.
bool InitSdlAudio();
