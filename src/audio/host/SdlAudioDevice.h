// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioDevice.h"
#include "SdlAudioHandle.h"

#include <atomic>
#include <string>

// An SDL2 output device: SDL's default one, or one SDL names. SDL keeps two periods of `samples`
// frames on most back ends, so the period asked for is half the plan's whole buffer. SDL reports no
// underruns: they are told from the times of the refills.
class SdlAudioDevice final : public AudioDevice {
public:
    // An empty name means SDL's default device.
    explicit SdlAudioDevice(std::string deviceName = {}) : m_deviceName(std::move(deviceName)) {}
    ~SdlAudioDevice() override;
    bool open(int sampleRate, const BufferPlan& plan, RenderCallback render,
              void* context) override;
    void close() override;
    bool lost() const override;
    std::uint64_t reportedUnderruns() const override
    {
        return m_underruns.load(std::memory_order_relaxed);
    }
    BufferPlan plan() const override { return m_plan; }
    const char* name() const override { return "sdl"; }

private:
    static void callback(void* self, unsigned char* stream, int bytes);

    std::string m_deviceName;
    SdlAudioHandle m_device;
    bool m_priorityRaised = false;
    // SDL's dummy and disk drivers keep no real time, so their refill times tell nothing.
    bool m_realTime = true;
    StarvationDetector m_starvation; // the callback's own
    std::atomic<std::uint64_t> m_underruns{0};
    BufferPlan m_plan;
    RenderCallback m_render = nullptr;
    void* m_context = nullptr;
};
