// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionTempo.h"

#include "audio/tempo/TempoFit.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <algorithm>
#include <chrono>
#include <cmath>

using namespace TempoSettings;

SessionTempo::SessionTempo() : m_taps(std::make_unique<TapTempo>())
{
    m_now = SessionIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
}

SessionTempo::~SessionTempo() = default;

void SessionTempo::reload()
{
    const SessionKeyAndTempo read =
        SessionIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
    if (read == m_now)
        return;
    const SessionKeyAndTempo before = m_now;
    m_now = read;
    emit changed(m_now, before);
}

void SessionTempo::apply(SessionKeyAndTempo next)
{
    if (next == m_now)
        return;
    const SessionKeyAndTempo before = m_now;
    m_now = next;
    StoreSession(m_now, before);
    emit changed(m_now, before);
}

void SessionTempo::setTempo(double bpm)
{
    SessionKeyAndTempo next = m_now;
    next.tempo = (bpm > 0.0 && std::isfinite(bpm)) ? std::clamp(bpm, kMinTempo, kMaxTempo) : 0.0;
    apply(next);
}

void SessionTempo::nudgeTempo(int steps, double fromOff)
{
    const double from = m_now.tempo > 0.0 ? m_now.tempo
                        : fromOff > 0.0   ? std::round(fromOff)
                                          : 120.0;
    // From off, the first nudge shows the starting tempo itself moved by one step.
    setTempo(from + steps * kNudgeBpm);
}

void SessionTempo::tap()
{
    using namespace std::chrono;
    tapAt(duration<double>(steady_clock::now().time_since_epoch()).count());
}

void SessionTempo::tapAt(double seconds)
{
    m_taps->tap(seconds);
    if (const std::optional<double> bpm = m_taps->bpm())
        setTempo(std::round(*bpm * 10.0) / 10.0);
}

void SessionTempo::setTranspose(int semitones, int cents)
{
    SessionKeyAndTempo next = m_now;
    next.semitones = std::clamp(semitones, -kMaxSemitones, kMaxSemitones);
    next.cents = std::clamp(cents, -kMaxCents, kMaxCents);
    apply(next);
}

void SessionTempo::setBandA4(double a4)
{
    SessionKeyAndTempo next = m_now;
    next.bandA4 = (a4 >= kMinBandA4 && a4 <= kMaxBandA4) ? std::round(a4 * 10.0) / 10.0 : 440.0;
    apply(next);
}

void SessionTempo::setMetronome(bool on)
{
    SessionKeyAndTempo next = m_now;
    next.metronome = on;
    apply(next);
}

void SessionTempo::setMetronomeLevel(int level)
{
    SessionKeyAndTempo next = m_now;
    next.metronomeLevel = std::clamp(level, 0, 100);
    apply(next);
}

void SessionTempo::setCountIn(bool on)
{
    SessionKeyAndTempo next = m_now;
    next.countIn = on;
    apply(next);
}
