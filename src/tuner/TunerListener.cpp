// SPDX-License-Identifier: GPL-3.0-or-later
#include "TunerListener.h"

#include <algorithm>
#include <cmath>

namespace {

// About 2.7 s at 48 kHz, 0.7 s at 192 kHz: far more than one timer period even when the UI
// thread is held up for a while.
constexpr std::size_t kRingFrames = std::size_t{1} << 17;

// What is still waiting after a stall is not worth reading late: the tuner shows the present.
constexpr double kMostBacklogSeconds = 0.5;

} // namespace

TunerListener::TunerListener(InputOpener openInput, QObject* parent)
    : QObject(parent), m_openInput(std::move(openInput)), m_ring(kRingFrames)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TunerListener::poll);
}

TunerListener::~TunerListener()
{
    closeInput();
}

void TunerListener::start()
{
    if (m_listening)
        return;
    m_listening = true;
    openInput();
    publish();
}

void TunerListener::stop()
{
    m_timer.stop();
    closeInput();
    m_listening = false;
    m_hold.reset();
    publish();
}

void TunerListener::setTuning(const pitch::Tuning& tuning)
{
    m_tuning = tuning;
}

void TunerListener::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    restartReading();
    publish();
}

void TunerListener::poll()
{
    if (!m_listening)
        return;
    if (m_input && m_input->lost()) {
        closeInput();
        m_timer.start(kReopenMilliseconds);
    } else if (!m_input) {
        openInput();
    } else {
        drain();
    }
    publish();
}

void TunerListener::sink(void* self, const float* mono, int frames)
{
    static_cast<TunerListener*>(self)->m_ring.write(mono, static_cast<std::size_t>(frames));
}

void TunerListener::openInput()
{
    closeInput();
    m_input = m_openInput ? m_openInput(&TunerListener::sink, this) : nullptr;
    const int rate = m_input ? m_input->rate() : 0;
    if (m_input && (!m_detector || m_detector->sampleRate() != rate))
        m_detector = std::make_unique<pitch::PitchDetector>(rate);
    if (m_input && !m_detector->isRateSupported())
        closeInput(); // a rate the detector cannot read: as good as no input
    if (m_input) {
        m_block.assign(static_cast<std::size_t>(m_detector->hopFrames()), 0.0f);
        m_heardFrames = 0;
        restartReading();
    }
    m_timer.start(m_input ? kPollMilliseconds : kReopenMilliseconds);
}

void TunerListener::closeInput()
{
    if (m_input)
        m_input->close(); // no sink call runs after this
    m_input.reset();
    m_ring.skipAll();
    m_hold.reset();
}

void TunerListener::restartReading()
{
    m_hold.reset();
    if (m_detector) {
        m_detector->reset();
        m_readingsSeen = m_detector->readingCount();
        if (m_readingListener)
            m_readingListener(pitch::PitchReading{}, heardSeconds());
    }
    m_droppedSeen = m_ring.dropped();
}

double TunerListener::heardSeconds() const
{
    const int rate = m_detector->sampleRate();
    return rate > 0 ? static_cast<double>(m_heardFrames) / rate : 0.0;
}

void TunerListener::drain()
{
    const int rate = m_input->rate();
    const auto backlog = static_cast<std::size_t>(kMostBacklogSeconds * rate);
    if (m_ring.readable() > backlog) {
        while (m_ring.readable() > backlog / 2)
            m_ring.read(m_block.data(), std::min(m_block.size(), m_ring.readable() - backlog / 2));
        restartReading(); // the wave read next does not follow on from the last one
    }
    const int hop = static_cast<int>(m_block.size());
    for (;;) {
        // One hop at most per feed: every reading the detector makes reaches the hold.
        const int frames = static_cast<int>(m_ring.read(m_block.data(), m_block.size()));
        if (frames == 0)
            break;
        if (m_ring.dropped() != m_droppedSeen)
            restartReading(); // frames were lost in the ring: a hole in the wave
        m_heardFrames += frames;
        if (!m_paused)
            analyse(m_block.data(), frames);
        if (frames < hop)
            break;
    }
}

void TunerListener::analyse(float* block, int frames)
{
    // A broken driver's NaN or infinity must not poison the detector's history.
    for (int i = 0; i < frames; ++i)
        if (!std::isfinite(block[i]))
            block[i] = 0.0f;
    m_detector->feed(block, static_cast<std::size_t>(frames));
    if (m_detector->readingCount() == m_readingsSeen)
        return;
    m_readingsSeen = m_detector->readingCount();
    const double seconds = heardSeconds();
    m_hold.update(m_tuning, m_detector->reading(), seconds);
    if (m_readingListener)
        m_readingListener(m_detector->reading(), seconds);
}

void TunerListener::publish()
{
    Shown shown;
    if (!m_listening)
        shown.state = State::Off;
    else if (!m_input)
        shown.state = State::NoInput;
    else if (m_paused)
        shown.state = State::Paused;
    else if (m_hold.current().parked)
        shown.state = State::Parked;
    else
        shown.state = State::Pitch;
    m_held = shown.state == State::Pitch ? m_hold.current() : pitch::HeldTarget{};
    if (shown.state == State::Pitch) {
        shown.note = m_held.target.note;
        shown.string = m_held.target.string;
        shown.centsTenths = std::lround(m_held.target.cents * 10.0);
        shown.frequencyTenths = std::lround(m_held.frequency * 10.0);
    }
    if (shown == m_shown)
        return;
    m_shown = shown;
    emit changed();
}
