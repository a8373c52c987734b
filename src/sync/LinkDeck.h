// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LinkSession.h"

#include <QByteArrayView>
#include <QObject>
#include <QTimer>

class PadDeck;
struct SessionKeyAndTempo;

// The pads in an Ableton Link session: the session's tempo and the deck's go together both ways
// (a tempo set here reaches the others; theirs becomes the deck's, rounded to a hundredth of a
// BPM), and the mixer launches loops on the session's bar. With start/stop shared, another
// player's start plays the pad that played last, on the bar line, and a stop stops it; a pad
// started or stopped here starts or stops the others.
//
// Settings, main section: "Link=on" joins (off by default), "LinkStartStop=on" shares start and
// stop (off by default). Made while Link is on and gone when it is switched off: then nothing of
// Link exists, and nothing is sent on the network.
class LinkDeck : public QObject {
    Q_OBJECT
public:
    explicit LinkDeck(PadDeck& deck);
    ~LinkDeck() override;

    static bool LinkIn(QByteArrayView settings);
    static bool StartStopIn(QByteArrayView settings);
    static void StoreLink(bool on);
    static void StoreStartStop(bool on);

    void setStartStopSync(bool on);
    bool startStopSync() const { return m_session.startStopSync(); }
    int peers() const { return m_session.peers(); }
    LinkSession& session() { return m_session; }

signals:
    void peersChanged(int peers);

private:
    void followPeerTempo(double bpm);
    void followDeckTempo(const SessionKeyAndTempo& now, const SessionKeyAndTempo& before);
    void followPeerPlaying(bool playing);
    void followActivePad();
    void followLatency();

    PadDeck& m_deck;
    LinkSession m_session;
    QTimer m_latencyWatch;
    int m_lastPad = -1;             // the pad a shared start plays
    bool m_takingPeerTempo = false; // the deck's change comes from the session: no echo
};
