#pragma once

#include "AudioDevice.h"

// SDL2's default output device. SDL keeps two periods of `samples` frames on most back ends,
// so the period asked for is half the plan's whole buffer.
class SdlAudioDevice final : public AudioDevice {
public:
    ~SdlAudioDevice() override;
    bool open(int sampleRate, const BufferPlan& plan, RenderCallback render,
              void* context) override;
    void close() override;
    bool lost() const override;
    // SDL's dummy and disk drivers keep no real time, so their refill times tell nothing: they
    // count as devices that report, and never starve.
    bool reportsUnderruns() const override { return !m_realTime; }
    BufferPlan plan() const override { return m_plan; }
    const char* name() const override { return "sdl"; }

private:
    static void callback(void* self, unsigned char* stream, int bytes);

    std::uint32_t m_device = 0;
    bool m_subsystemUp = false;
    bool m_priorityRaised = false;
    bool m_realTime = true;
    BufferPlan m_plan;
    RenderCallback m_render = nullptr;
    void* m_context = nullptr;
};
