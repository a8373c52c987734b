// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiClockIn.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/SessionTempo.h"

#include <chrono>
#include <cmath>
#include <optional>

MidiClockIn::MidiClockIn(SessionTempo& tempo)
    : m_tempo(tempo), m_clock([] {
          using namespace std::chrono;
          return duration<double>(steady_clock::now().time_since_epoch()).count();
      })
{
    reload();
}

void MidiClockIn::reload()
{
    const QString mode = ReadSetting(AppModul::AppTitle, QStringLiteral("MidiClock"),
                                     AppModul::SettingsFile, QStringLiteral("off"));
    m_following.store(mode.trimmed().compare(QLatin1String("follow"), Qt::CaseInsensitive) == 0,
                      std::memory_order_relaxed);
    m_startsAndStops = ReadSetting(AppModul::AppTitle, QStringLiteral("MidiClockStartStop"),
                                   AppModul::SettingsFile, QStringLiteral("off"))
                           .trimmed()
                           .compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
}

bool MidiClockIn::receive(ClockMessage message)
{
    if (!following())
        return false;
    return m_ticks.push({message, m_clock()});
}

void MidiClockIn::drain()
{
    Tick tick;
    std::optional<bool> start; // the last Start (true) or Stop (false) of the drain
    while (m_ticks.pop(tick)) {
        if (tick.message == ClockMessage::Clock) {
            m_follower.clock(tick.seconds);
            continue;
        }
        m_follower.restart();
        start = tick.message != ClockMessage::Stop;
    }
    if (start && m_startsAndStops && m_startStop)
        m_startStop(*start);
    if (m_follower.clocks() < m_appliedAt)
        m_appliedAt = 0; // the fit started afresh
    if (m_follower.clocks() < m_appliedAt + ClockFollower::kClocksPerBeat)
        return;
    m_appliedAt = m_follower.clocks();
    const std::optional<double> bpm = m_follower.bpm();
    if (bpm && std::abs(*bpm - m_tempo.now().tempo) >= kMinChange)
        m_tempo.setTempo(std::round(*bpm * 100.0) / 100.0);
}
