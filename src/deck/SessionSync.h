// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/host/JackTransportShare.h"

#include <QObject>
#include <QTimer>

class PadDeck;

// Keeping time with other programs, on the UI thread: the grid's MIDI clock sent or not
// ("MidiClockOut=on" in the settings file's main section; off by default), and JACK's transport
// ("JackTransport=off|follow|lead"; off by default).
//
// Following, the transport's tempo (when its timebase master gives one) becomes the session
// tempo, rounded to a hundredth of a BPM and only when it changed; the transport rolling starts
// the loop of the last played pad, and stopping ends it at its cycle's end, a bar line. Leading,
// Quendel is the timebase master and the transport rolls from its start while the grid keeps
// time and stops when it stops. The process thread leaves what it saw in the host's
// JackTransportShare; this looks there every kLookMs while the transport is followed or led.
class SessionSync : public QObject {
public:
    static constexpr int kLookMs = 50;

    explicit SessionSync(PadDeck& deck);

    // Reads the settings again and hands them to the engine.
    void reload();
    // One look at the transport (the timer's).
    void look();

    static bool StoredClockOut();
    static JackTransportShare::Mode StoredTransportMode();
    static void StoreClockOut(bool on);
    static void StoreTransportMode(JackTransportShare::Mode mode);

private:
    PadDeck& m_deck;
    QTimer m_timer;
    JackTransportShare::Mode m_mode = JackTransportShare::Mode::Off;
    bool m_rolling = false;    // following: as last seen
    double m_appliedBpm = 0.0; // following: the transport's tempo last made the session's
    bool m_keepsTime = false;  // leading: the grid, as last seen
};
