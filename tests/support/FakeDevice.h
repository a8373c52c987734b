// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioEngine.h"
#include "audio/host/AudioDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// The devices an engine opens in a test, as the test sees them: how the next one behaves, what
// the engine did with them, and the device's thread itself. pull() is that thread: it renders one
// block through the engine's callback, as a sound server asking for a refill would.
struct FakeDeviceState {
    // How the devices behave. The rate and the failures are read at each open.
    std::atomic<int> rate{0};          // what the device plays at; 0: the rate it is asked for
    std::atomic<int> failOpens{0};     // this many opens fail from now on; -1: every one
    std::atomic<bool> resizable{true}; // the buffer can grow while sound plays
    // Stops refilling once the engine says it is idle and it has played a second of silence
    // with no wake since its last refill.
    std::atomic<bool> parks{false};
    std::atomic<std::uint64_t> underruns{0}; // what the open device reports; zero at each open
    int pullOnOpen = 0; // frames the device renders inside open, before the engine hears back

    // What the engine did. The vectors are written under `mutex`, read once the engine is done.
    std::atomic<int> opens{0}; // that succeeded
    std::atomic<int> failedOpens{0};
    std::atomic<int> closes{0};
    std::atomic<int> closedParked{0}; // closed without a refill after parking: its last fade lost
    std::vector<BufferPlan> openedWith;
    std::vector<BufferPlan> resizedTo;
    std::vector<std::vector<float>> openBlocks; // rendered inside open (pullOnOpen)

    // The open device's server went away: it calls back no more, and says it is lost.
    void lose() { lostOpen = opens.load(); }
    bool parked() const { return parkedNow.load(); }

    // One block as the device's thread takes it; empty while no device plays (none is open, it
    // is lost, or it is parked).
    std::vector<float> pull(int frames);

    // Pulls blocks of 256 frames until `done` holds, for at most 10 s (only a hang fails).
    template <typename Done> std::vector<std::vector<float>> pullUntil(Done done)
    {
        std::vector<std::vector<float>> blocks;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            auto block = pull(256);
            if (!block.empty())
                blocks.push_back(std::move(block));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return blocks;
    }

    // The device's side, shared by the devices the engine opens.
    std::mutex mutex; // a render and a close exclude each other, as a device's thread and close do
    AudioDevice::RenderCallback render = nullptr;
    void* context = nullptr;
    std::atomic<int> lostOpen{-1}; // which open's device is lost
    std::atomic<bool> parkedNow{false};
    std::atomic<bool> idle{false};
    std::uint64_t wakes = 0;     // guarded by `mutex`, as is the rest
    std::uint64_t wakesSeen = 0; // by the last refill
    int silentFrames = 0;        // played in a row
    std::vector<float> renderLocked(int frames);
    void parkWhenIdleLocked(const std::vector<float>& block);
};

// Engine options under which the engine opens its devices through `state` instead of the
// machine's; an open that fails leaves the engine without a device.
AudioEngine::Options FakeDeviceOptions(FakeDeviceState& state);
