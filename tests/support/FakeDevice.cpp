// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDevice.h"

#include <algorithm>

namespace {

class FakeDevice final : public AudioDevice {
public:
    explicit FakeDevice(FakeDeviceState& state) : m_state(state) {}
    ~FakeDevice() override { close(); }

    bool open(int, const BufferPlan& plan, RenderCallback render, void* context) override
    {
        const int failing = m_state.failOpens.load();
        if (failing != 0) {
            if (failing > 0)
                --m_state.failOpens;
            ++m_state.failedOpens;
            return false;
        }
        std::lock_guard lock(m_state.mutex);
        m_state.render = render;
        m_state.context = context;
        m_state.underruns = 0;
        m_state.parkedNow = false;
        m_state.idle = false;
        m_state.silentFrames = 0;
        m_state.wakesSeen = m_state.wakes;
        m_state.openedWith.push_back(plan);
        m_rate = m_state.rate.load();
        m_plan = plan;
        m_open = ++m_state.opens;
        // A device's thread may ask for its first block before open has even returned.
        if (m_state.pullOnOpen > 0)
            m_state.openBlocks.push_back(m_state.renderLocked(m_state.pullOnOpen));
        return true;
    }
    void close() override
    {
        std::lock_guard lock(m_state.mutex);
        if (m_open == 0 || m_closed)
            return;
        m_closed = true;
        m_state.render = nullptr;
        ++m_state.closes;
        if (m_state.parkedNow.exchange(false))
            ++m_state.closedParked;
    }
    bool lost() const override { return m_open != 0 && m_state.lostOpen.load() == m_open; }
    std::uint64_t reportedUnderruns() const override { return m_state.underruns.load(); }
    bool resizeWhilePlaying(const BufferPlan& plan) override
    {
        std::lock_guard lock(m_state.mutex);
        if (!m_state.resizable)
            return false;
        m_state.resizedTo.push_back(plan);
        m_plan = plan;
        return true;
    }
    void setIdle(bool idle) override
    {
        m_state.idle = idle;
        if (!idle)
            wake();
    }
    void wake() override
    {
        // A parked device refills at once from the waking thread, as a sound server's would.
        std::lock_guard lock(m_state.mutex);
        ++m_state.wakes;
        if (!m_closed && m_state.parkedNow.exchange(false)) {
            m_state.silentFrames = 0;
            m_state.renderLocked(256);
        }
    }
    bool parked() const override { return m_state.parkedNow.load(); }
    BufferPlan plan() const override { return m_plan; }
    int rate() const override { return m_rate; }
    const char* name() const override { return "fake"; }

private:
    FakeDeviceState& m_state;
    BufferPlan m_plan;
    int m_rate = 0;
    int m_open = 0; // which open of the state's this device is; 0 until it opened
    bool m_closed = false;
};

} // namespace

std::vector<float> FakeDeviceState::renderLocked(int frames)
{
    std::vector<float> block(static_cast<std::size_t>(frames) * 2);
    if (render)
        render(context, block.data(), frames);
    return block;
}

std::vector<float> FakeDeviceState::pull(int frames)
{
    std::lock_guard lock(mutex);
    if (!render || lostOpen.load() == opens.load() || parkedNow.load())
        return {};
    auto block = renderLocked(frames);
    parkWhenIdleLocked(block);
    return block;
}

void FakeDeviceState::parkWhenIdleLocked(const std::vector<float>& block)
{
    const bool silent = std::all_of(block.begin(), block.end(), [](float v) { return v == 0.0f; });
    silentFrames = silent ? silentFrames + static_cast<int>(block.size() / 2) : 0;
    // A wake since the last refill means commands this refill may not have seen.
    if (wakes != wakesSeen) {
        wakesSeen = wakes;
        return;
    }
    if (parks && idle && silentFrames >= 44100)
        parkedNow = true;
}

AudioEngine::Options FakeDeviceOptions(FakeDeviceState& state)
{
    return {false,
            [&state](int rate, const BufferPlan& plan, AudioDevice::RenderCallback render,
                     void* context) -> std::unique_ptr<AudioDevice> {
                auto device = std::make_unique<FakeDevice>(state);
                if (!device->open(rate, plan, render, context))
                    return nullptr;
                return device;
            }};
}
