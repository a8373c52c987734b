// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarMidi.h"

#include "Bar.h"
#include "audio/AudioEngine.h"
#include "midi/AlsaSeqTransport.h"

namespace {

// The JACK client's MIDI ports, when the sound goes out through JACK.
MidiTransport* JackMidiTransport(AudioEngine& engine)
{
    MidiTransport& jack = engine.host().midi();
    return jack.connected() ? &jack : nullptr;
}

} // namespace

BarMidi::BarMidi(Bar& bar) : m_bar(bar)
{
    if (MidiTransport* jack = JackMidiTransport(bar.Deck.DMC.engine())) {
        useTransport(*jack);
        return;
    }
    m_sequencer = AlsaSeqTransport::Open();
    if (m_sequencer)
        useTransport(*m_sequencer);
}

BarMidi::~BarMidi()
{
    m_pads.reset(); // stops delivery before the sequencer's client closes
}

void BarMidi::useTransport(MidiTransport& transport)
{
    m_pads.reset();
    m_pads = std::make_unique<MidiPads>(m_bar.Deck, transport);
    // Notes edited by hand in the settings file apply as hand-edited keys do.
    QObject::connect(&m_bar.Bindings, &PadBindings::fileChanged, m_pads.get(),
                     [pads = m_pads.get()] { pads->reload(); });
}
