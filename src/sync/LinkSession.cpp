// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkSession.h"

#include "audio/mixer/SharedTimeline.h"

#include <ableton/Link.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

using std::chrono::microseconds;

struct LinkSession::Shared {
    explicit Shared(double bpm) : link(bpm) {}

    ableton::Link link;
    std::atomic<std::int64_t> latencyMicros{0};
    // What Link's threads reported last, and whether a hop to the session's thread is on its
    // way with it.
    std::atomic<double> tempo{0.0};
    std::atomic<bool> tempoPosted{false};
    std::atomic<int> peers{0};
    std::atomic<bool> peersPosted{false};
    std::atomic<bool> playing{false};
    std::atomic<bool> playingPosted{false};
};

namespace {

// The session as the mixer hears it (see SharedTimeline): asked on the audio thread, it only
// captures Link's audio-side state and reads the clock.
class LinkTimeline final : public SharedTimeline {
public:
    LinkTimeline(std::shared_ptr<LinkSession::Shared> shared, std::optional<microseconds> frameZero)
        : m_shared(std::move(shared)), m_frameZero(frameZero)
    {
    }

    bool position(std::int64_t frame, int sampleRate, int beatsPerBar,
                  Position& out) noexcept override
    {
        const ableton::Link& link = m_shared->link;
        if (link.numPeers() == 0 || sampleRate <= 0 || beatsPerBar <= 0)
            return false;
        const double heard =
            blockTime(frame, sampleRate) +
            static_cast<double>(m_shared->latencyMicros.load(std::memory_order_relaxed));
        const auto state = link.captureAudioSessionState();
        const double bpm = state.tempo();
        // Link counts in whole microseconds; the rest of one (a twentieth of a frame) is added
        // at the tempo.
        const double whole = std::floor(heard);
        out.beat = state.beatAtTime(microseconds(static_cast<std::int64_t>(whole)), beatsPerBar) +
                   (heard - whole) * bpm / 60e6;
        out.beatFrames = sampleRate * 60.0 / bpm;
        return true;
    }

private:
    // Blocks further off the frames' own pace than this (a device that rested, a reopen) start
    // the estimate afresh.
    static constexpr double kLostMicros = 10000.0;
    // How much of each block's wake-up error the estimate takes in.
    static constexpr double kFollow = 1.0 / 64.0;

    // When the block's first frame leaves the mixer, on Link's clock in microseconds. A device's
    // thread wakes a little early or late for each block while its frames go out at its rate:
    // the estimate runs on at that rate and follows the clock only slowly.
    double blockTime(std::int64_t frame, int sampleRate)
    {
        const double perFrame = 1e6 / sampleRate;
        if (m_frameZero)
            return static_cast<double>(m_frameZero->count()) +
                   static_cast<double>(frame) * perFrame;
        const auto now = static_cast<double>(m_shared->link.clock().micros().count());
        const double predicted = m_estimate + static_cast<double>(frame - m_lastFrame) * perFrame;
        const bool follows = m_estimating && frame >= m_lastFrame;
        m_estimate = follows && std::abs(now - predicted) < kLostMicros
                         ? predicted + (now - predicted) * kFollow
                         : now;
        m_estimating = true;
        m_lastFrame = frame;
        return m_estimate;
    }

    std::shared_ptr<LinkSession::Shared> m_shared;
    std::optional<microseconds> m_frameZero;
    bool m_estimating = false;
    double m_estimate = 0.0;
    std::int64_t m_lastFrame = 0;
};

} // namespace

LinkSession::LinkSession(double bpm) : m_shared(std::make_shared<Shared>(bpm))
{
    Shared& shared = *m_shared;
    shared.tempo.store(bpm);
    // Link's threads call these (one at a time, under Link's lock): each keeps the latest news
    // and, unless a hop is already on its way, sends one to this object's thread.
    shared.link.setTempoCallback([this, &shared](double reported) {
        shared.tempo.store(reported);
        if (!shared.tempoPosted.exchange(true))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_shared->tempoPosted.store(false);
                    emit tempoChanged(m_shared->tempo.load());
                },
                Qt::QueuedConnection);
    });
    shared.link.setNumPeersCallback([this, &shared](std::size_t peers) {
        shared.peers.store(static_cast<int>(peers));
        if (!shared.peersPosted.exchange(true))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_shared->peersPosted.store(false);
                    emit peersChanged(m_shared->peers.load());
                },
                Qt::QueuedConnection);
    });
    shared.link.setStartStopCallback([this, &shared](bool playing) {
        shared.playing.store(playing);
        if (!shared.playingPosted.exchange(true))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_shared->playingPosted.store(false);
                    emit playingChanged(m_shared->playing.load());
                },
                Qt::QueuedConnection);
    });
    shared.link.enable(true);
}

LinkSession::~LinkSession()
{
    // Link lives on while the mixer still holds its timeline: it leaves the session now, and
    // its threads no longer reach this object (the callbacks are swapped under Link's lock).
    ableton::Link& link = m_shared->link;
    link.setTempoCallback([](double) {});
    link.setNumPeersCallback([](std::size_t) {});
    link.setStartStopCallback([](bool) {});
    link.enable(false);
}

int LinkSession::peers() const
{
    return static_cast<int>(m_shared->link.numPeers());
}

double LinkSession::tempo() const
{
    return m_shared->link.captureAppSessionState().tempo();
}

void LinkSession::setTempo(double bpm)
{
    if (!(bpm > 0.0) || !std::isfinite(bpm) || std::abs(bpm - tempo()) < kSameTempo)
        return;
    auto state = m_shared->link.captureAppSessionState();
    state.setTempo(bpm, now());
    m_shared->link.commitAppSessionState(state);
}

void LinkSession::setStartStopSync(bool on)
{
    m_shared->link.enableStartStopSync(on);
}

bool LinkSession::startStopSync() const
{
    return m_shared->link.isStartStopSyncEnabled();
}

bool LinkSession::playing() const
{
    return m_shared->link.captureAppSessionState().isPlaying();
}

void LinkSession::setPlaying(bool playing)
{
    auto state = m_shared->link.captureAppSessionState();
    if (state.isPlaying() == playing)
        return;
    state.setIsPlaying(playing, now());
    m_shared->link.commitAppSessionState(state);
}

void LinkSession::setOutputLatency(microseconds latency)
{
    m_shared->latencyMicros.store(std::max<std::int64_t>(latency.count(), 0),
                                  std::memory_order_relaxed);
}

std::unique_ptr<SharedTimeline> LinkSession::timeline(std::optional<microseconds> frameZeroAt)
{
    return std::make_unique<LinkTimeline>(m_shared, frameZeroAt);
}

microseconds LinkSession::now() const
{
    return m_shared->link.clock().micros();
}

double LinkSession::beatAt(microseconds time) const
{
    return m_shared->link.captureAppSessionState().beatAtTime(time, kBeatsPerBar);
}
