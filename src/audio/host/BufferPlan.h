// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

// How much sound the device holds ahead of what is heard: `periods` refills of `periodFrames`
// frames. The whole of it is the latency a pad press waits through, and the slack that covers a
// late refill.
struct BufferPlan {
    int periodFrames = 192;
    int periods = 4;

    int totalFrames() const { return periodFrames * periods; }
    bool operator==(const BufferPlan&) const = default;
};

// The "AudioBuffer" key of the main settings section: "auto" (or empty, or anything that cannot
// be read) lets the engine start at the measured default and grow on repeated underruns; a frame
// count ("256") or a frame count and a number of periods ("256x3") fixes the buffer.
struct BufferSetting {
    bool automatic = true;
    BufferPlan plan;

    bool operator==(const BufferSetting&) const = default;
};

BufferSetting ParseBufferSetting(std::string_view text);

// The ladder "auto" climbs, one step per growth. It starts at the smallest buffer that held
// without a dropout through a sound server on a loaded two-core machine.
BufferPlan DefaultBufferPlan();
// The next step up the ladder, or nothing at the top.
std::optional<BufferPlan> LargerBufferPlan(const BufferPlan& plan);

// Decides when underruns are repeated enough to grow an automatic buffer: a second underrun
// within the window grows it; a lone one (a busy moment at start, a suspend) does not. The
// underruns right after a growth belong to the change itself and are not held against the new
// size.
class BufferGrowthPolicy {
public:
    static constexpr long long kWindowNs = 20'000'000'000LL;
    static constexpr long long kSettleNs = 1'000'000'000LL;

    // True when the buffer should grow now.
    bool onUnderrun(long long nowNs);
    void onGrown(long long nowNs);

private:
    std::optional<long long> m_lastUnderrun;
    std::optional<long long> m_grownAt;
};

// The monotonic clock in nanoseconds, as the detector and the growth policy count time. A vDSO
// read: no system call and no lock, so the audio callback may call it.
long long MonotonicNs();

// Tells from the times of the device's refills alone that it ran dry: the device consumes
// frames at its rate, so between two refills it cannot have played more than it held. Were it
// to fall further behind than the whole buffer, it played silence meanwhile. The baseline is
// the lowest lag of the last few seconds, so a device clock slightly off the system clock never
// adds up to a false report.
class StarvationDetector {
public:
    void reset(int sampleRate, int bufferFrames);
    // Before each refill of `frames` frames; true when the device starved since the last one.
    bool onRefill(long long nowNs, int frames);

private:
    static constexpr long long kWindowNs = 2'000'000'000LL;

    int m_rate = 44100;
    double m_bufferFrames = 512.0;
    double m_marginFrames = 44.1;
    bool m_started = false;
    long long m_anchorNs = 0;
    double m_delivered = 0.0;
    long long m_windowStartNs = 0;
    double m_windowMin = 0.0;
    double m_previousWindowMin = 0.0;
};
