// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionSync.h"

#include "PadDeck.h"

#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <cmath>

namespace {

const QString kClockOutKey = QStringLiteral("MidiClockOut");
const QString kTransportKey = QStringLiteral("JackTransport");

QString stored(const QString& key, const QString& fallback)
{
    return ReadSetting(AppModul::AppTitle, key, AppModul::SettingsFile, fallback).trimmed();
}

} // namespace

SessionSync::SessionSync(PadDeck& deck) : m_deck(deck)
{
    m_timer.setInterval(kLookMs);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { look(); });
    reload();
}

bool SessionSync::StoredClockOut()
{
    return stored(kClockOutKey, QStringLiteral("off"))
               .compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
}

JackTransportShare::Mode SessionSync::StoredTransportMode()
{
    const QString mode = stored(kTransportKey, QStringLiteral("off"));
    if (mode.compare(QLatin1String("follow"), Qt::CaseInsensitive) == 0)
        return JackTransportShare::Mode::Follow;
    if (mode.compare(QLatin1String("lead"), Qt::CaseInsensitive) == 0)
        return JackTransportShare::Mode::Lead;
    return JackTransportShare::Mode::Off;
}

void SessionSync::StoreClockOut(bool on)
{
    WriteSetting(AppModul::AppTitle, kClockOutKey,
                 on ? QStringLiteral("on") : QStringLiteral("off"), AppModul::SettingsFile);
}

void SessionSync::StoreTransportMode(JackTransportShare::Mode mode)
{
    const QString text = mode == JackTransportShare::Mode::Follow ? QStringLiteral("follow")
                         : mode == JackTransportShare::Mode::Lead ? QStringLiteral("lead")
                                                                  : QStringLiteral("off");
    WriteSetting(AppModul::AppTitle, kTransportKey, text, AppModul::SettingsFile);
}

void SessionSync::reload()
{
    OutputHost& host = m_deck.DMC.engine().host();
    host.clockOut().setEnabled(StoredClockOut());
    const JackTransportShare::Mode mode = StoredTransportMode();
    if (mode != m_mode) {
        m_mode = mode;
        host.setTransportMode(mode);
        m_rolling = false;
        m_appliedBpm = 0.0;
        m_keepsTime = false;
    }
    if (m_mode == JackTransportShare::Mode::Off)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

void SessionSync::look()
{
    OutputHost& host = m_deck.DMC.engine().host();
    const JackTransportShare& transport = host.transport();
    if (m_mode == JackTransportShare::Mode::Lead) {
        const bool keeps = transport.gridKeepsTime();
        if (keeps != m_keepsTime)
            host.rollTransport(keeps);
        m_keepsTime = keeps;
        return;
    }
    if (m_mode != JackTransportShare::Mode::Follow || !transport.heard())
        return;
    const double bpm = std::round(transport.bpm() * 100.0) / 100.0;
    if (bpm > 0.0 && bpm != m_appliedBpm) {
        m_appliedBpm = bpm;
        if (std::abs(bpm - m_deck.Tempo.now().tempo) >= 0.005)
            m_deck.Tempo.setTempo(bpm);
    }
    const bool rolling = transport.rolling();
    if (rolling == m_rolling)
        return;
    m_rolling = rolling;
    if (rolling)
        m_deck.startFromOutside();
    else
        m_deck.stopFromOutside();
}
