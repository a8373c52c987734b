// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkDeck.h"

#include "audio/AudioEngine.h"
#include "audio/mixer/SharedTimeline.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"

#include <cmath>

namespace {

const QString kLinkKey = QStringLiteral("Link");
const QString kStartStopKey = QStringLiteral("LinkStartStop");
// The output's latency is looked at again this often: a device reopened with another buffer,
// another output chosen.
constexpr int kLatencyWatchMs = 1000;

bool switchIn(QByteArrayView settings, const QString& key)
{
    return SettingIn(settings, AppModul::AppTitle, key, QStringLiteral("off"))
               .trimmed()
               .compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
}

double deckTempoOrDefault(const PadDeck& deck)
{
    return deck.Tempo.now().tempo > 0.0 ? deck.Tempo.now().tempo : 120.0;
}

} // namespace

LinkDeck::LinkDeck(PadDeck& deck) : m_deck(deck), m_session(deckTempoOrDefault(deck))
{
    connect(&m_session, &LinkSession::tempoChanged, this, &LinkDeck::followPeerTempo);
    connect(&m_session, &LinkSession::peersChanged, this, &LinkDeck::peersChanged);
    connect(&m_session, &LinkSession::playingChanged, this, &LinkDeck::followPeerPlaying);
    connect(&deck.Tempo, &SessionTempo::changed, this, &LinkDeck::followDeckTempo);
    connect(&deck, &PadDeck::activePadChanged, this, &LinkDeck::followActivePad);
    if (deck.activeDeckPad() >= 0)
        m_lastPad = deck.activeDeckPad();
    // Playing with others needs a tempo: without one of its own the deck takes the session's.
    if (!(deck.Tempo.now().tempo > 0.0))
        followPeerTempo(m_session.tempo());

    m_deck.DMC.engine().mixer().setTimeline(m_session.timeline());
    m_latencyWatch.setInterval(kLatencyWatchMs);
    connect(&m_latencyWatch, &QTimer::timeout, this, &LinkDeck::followLatency);
    m_latencyWatch.start();
    followLatency();
}

LinkDeck::~LinkDeck()
{
    m_deck.DMC.engine().mixer().setTimeline(nullptr);
}

bool LinkDeck::LinkIn(QByteArrayView settings)
{
    return switchIn(settings, kLinkKey);
}

bool LinkDeck::StartStopIn(QByteArrayView settings)
{
    return switchIn(settings, kStartStopKey);
}

void LinkDeck::StoreLink(bool on)
{
    WriteSetting(AppModul::AppTitle, kLinkKey, on ? QStringLiteral("on") : QStringLiteral("off"),
                 AppModul::SettingsFile);
}

void LinkDeck::StoreStartStop(bool on)
{
    WriteSetting(AppModul::AppTitle, kStartStopKey,
                 on ? QStringLiteral("on") : QStringLiteral("off"), AppModul::SettingsFile);
}

void LinkDeck::setStartStopSync(bool on)
{
    m_session.setStartStopSync(on);
    if (on)
        m_session.setPlaying(m_deck.ActivePad != PadDeck::kNoPad);
}

void LinkDeck::followPeerTempo(double bpm)
{
    if (!(bpm > 0.0) || !std::isfinite(bpm))
        return;
    const double rounded = std::round(bpm * 100.0) / 100.0;
    if (std::abs(rounded - m_deck.Tempo.now().tempo) < LinkSession::kSameTempo)
        return;
    m_takingPeerTempo = true;
    m_deck.Tempo.setTempo(rounded);
    m_takingPeerTempo = false;
}

void LinkDeck::followDeckTempo(const SessionKeyAndTempo& now, const SessionKeyAndTempo& before)
{
    // A tempo switched off here leaves the session's as it is: the others play on.
    if (m_takingPeerTempo || now.tempo == before.tempo || !(now.tempo > 0.0))
        return;
    m_session.setTempo(now.tempo);
}

void LinkDeck::followPeerPlaying(bool playing)
{
    if (!m_session.startStopSync())
        return;
    const bool plays = m_deck.ActivePad != PadDeck::kNoPad;
    if (playing == plays)
        return;
    // A press as the musician's own: the loop waits for the session's bar line; a press on the
    // playing pad stops it.
    const int pad = plays ? m_deck.activeDeckPad() : m_lastPad;
    if (pad < 0)
        return;
    m_deck.pressPad(pad);
    m_deck.releasePad(pad);
}

void LinkDeck::followActivePad()
{
    const int pad = m_deck.activeDeckPad();
    const bool plays = pad >= 0;
    if (plays)
        m_lastPad = pad;
    if (m_session.startStopSync())
        m_session.setPlaying(plays);
}

void LinkDeck::followLatency()
{
    const double seconds = m_deck.DMC.engine().host().outputLatencySeconds();
    m_session.setOutputLatency(std::chrono::microseconds(std::llround(seconds * 1e6)));
}
