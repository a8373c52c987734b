// SPDX-License-Identifier: GPL-3.0-or-later
#include "BufferPlan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>
#include <time.h>

namespace {

constexpr int kMinPeriodFrames = 16;
constexpr int kMaxPeriodFrames = 8192;
constexpr int kMinPeriods = 2;
constexpr int kMaxPeriods = 16;

// Periods of the automatic ladder; each step adds about half again to the latency.
constexpr std::array kLadderPeriods{192, 256, 384, 512, 768, 1024, 2048};
constexpr int kLadderPeriodCount = 4;

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::optional<int> wholeNumber(std::string_view text)
{
    text = trimmed(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

BufferPlan DefaultBufferPlan()
{
    return {kLadderPeriods.front(), kLadderPeriodCount};
}

std::optional<BufferPlan> LargerBufferPlan(const BufferPlan& plan)
{
    for (int period : kLadderPeriods)
        if (period > plan.periodFrames)
            return BufferPlan{period, plan.periods};
    return std::nullopt;
}

BufferSetting ParseBufferSetting(std::string_view text)
{
    text = trimmed(text);
    BufferSetting automatic{true, DefaultBufferPlan()};
    if (text.empty())
        return automatic;
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "auto")
        return automatic;

    const auto times = lower.find('x');
    const auto period = wholeNumber(std::string_view(lower).substr(0, times));
    std::optional<int> periods = kLadderPeriodCount;
    if (times != std::string::npos)
        periods = wholeNumber(std::string_view(lower).substr(times + 1));
    if (!period || !periods)
        return automatic; // a hand-edited value we cannot read must not leave the pads silent
    return {false,
            {std::clamp(*period, kMinPeriodFrames, kMaxPeriodFrames),
             std::clamp(*periods, kMinPeriods, kMaxPeriods)}};
}

long long MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

bool BufferGrowthPolicy::onUnderrun(long long nowNs)
{
    if (m_grownAt && nowNs - *m_grownAt < kSettleNs)
        return false;
    const bool repeated = m_lastUnderrun && nowNs - *m_lastUnderrun <= kWindowNs;
    m_lastUnderrun = repeated ? std::nullopt : std::optional<long long>(nowNs);
    return repeated;
}

void BufferGrowthPolicy::onGrown(long long nowNs)
{
    m_grownAt = nowNs;
    m_lastUnderrun.reset();
}

void StarvationDetector::reset(int sampleRate, int bufferFrames)
{
    m_rate = std::max(1, sampleRate);
    m_bufferFrames = std::max(1, bufferFrames);
    // Wake-up jitter of the refill thread itself, not a dropout.
    m_marginFrames = m_rate / 500.0;
    m_started = false;
}

bool StarvationDetector::onRefill(long long nowNs, int frames)
{
    if (!m_started) {
        m_started = true;
        m_anchorNs = m_windowStartNs = nowNs;
        m_delivered = frames;
        m_windowMin = m_previousWindowMin = 0.0;
        return false;
    }
    // How far the device's playing has run ahead of what it was given.
    const double lag = static_cast<double>(nowNs - m_anchorNs) * 1e-9 * m_rate - m_delivered;
    m_delivered += frames;
    if (nowNs - m_windowStartNs >= kWindowNs) {
        m_previousWindowMin = m_windowMin;
        m_windowMin = lag;
        m_windowStartNs = nowNs;
    }
    m_windowMin = std::min(m_windowMin, lag);
    const double baseline = std::min(m_windowMin, m_previousWindowMin);
    if (lag <= baseline + m_bufferFrames + m_marginFrames)
        return false;
    // The device played silence while it waited: what it plays from now on is that much later.
    m_windowMin = m_previousWindowMin = lag;
    m_windowStartNs = nowNs;
    return true;
}
