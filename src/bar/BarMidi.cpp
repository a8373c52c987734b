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

BarMidi::BarMidi(Bar& bar) : m_bar(bar), m_sync(bar.Deck)
{
    if (MidiTransport* jack = JackMidiTransport(bar.Deck.DMC.engine())) {
        useTransport(*jack);
        return;
    }
    m_sequencer = AlsaSeqTransport::Open();
    if (!m_sequencer)
        return;
    useTransport(*m_sequencer);
    m_sequencerClock =
        std::make_unique<AlsaClockOut>(*m_sequencer, bar.Deck.DMC.engine().host().clockOut());
}

BarMidi::~BarMidi()
{
    m_pads.reset(); // stops delivery before the sequencer's client closes
    m_sequencerClock.reset();
}

void BarMidi::reloadSync()
{
    m_sync.reload();
    if (m_pads)
        m_pads->clockIn().reload();
    if (m_sequencerClock)
        m_sequencerClock->reload();
}

void BarMidi::useTransport(MidiTransport& transport)
{
    m_pads.reset();
    m_pads = std::make_unique<MidiPads>(m_bar.Deck, transport);
    m_pads->takesPress = [this](int pad) { return m_bar.takePadPress(pad); };
    m_pads->recordAction = [this](int action) {
        if (action == PadTriggers::kRecord)
            m_bar.recordPressed();
        else
            m_bar.Recorder.undo();
    };
    // Notes edited by hand in the settings file apply as hand-edited keys do.
    QObject::connect(&m_bar.Bindings, &PadBindings::fileChanged, m_pads.get(),
                     [pads = m_pads.get()] { pads->reload(); });
}
