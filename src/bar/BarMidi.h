// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "deck/SessionSync.h"
#include "io/MidiTransport.h"
#include "midi/AlsaClockOut.h"
#include "midi/MidiPads.h"

#include <memory>

class Bar;

// The bar's MIDI: the pads' MIDI side on the JACK client's ports when the sound goes out through
// JACK, else on the ALSA sequencer when there is one, else nothing (Quendel plays without MIDI,
// and says nothing about it). Beside it, keeping time with others: the grid's MIDI clock (on the
// JACK client's midi_out from the audio thread, else scheduled on the sequencer) and JACK's
// transport (SessionSync).
class BarMidi {
public:
    explicit BarMidi(Bar& bar);
    ~BarMidi();
    BarMidi(const BarMidi&) = delete;
    BarMidi& operator=(const BarMidi&) = delete;

    // The pads play from transport from now on (a back end that comes later; the tests' own).
    void useTransport(MidiTransport& transport);
    // The pads' MIDI side; nullptr without a transport.
    MidiPads* pads() { return m_pads.get(); }
    // Reads the MIDI clock's and the transport's settings again.
    void reloadSync();
    SessionSync& sync() { return m_sync; }

private:
    Bar& m_bar;
    SessionSync m_sync;
    std::unique_ptr<AlsaSeqTransport> m_sequencer;  // the ALSA sequencer's client, when used
    std::unique_ptr<AlsaClockOut> m_sequencerClock; // goes before the sequencer it schedules on
    std::unique_ptr<MidiPads> m_pads;               // goes before the transport it listens to
};
