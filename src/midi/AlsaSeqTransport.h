// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/MidiTransport.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

struct _snd_seq;
struct snd_seq_event;

// The ALSA sequencer as Quendel's MIDI: a client "Quendel" with a port "pads in" that a
// controller is connected to and a port "pads out" that the controller's lights listen to, both
// open to subscriptions (aconnect, a patchbay), so Quendel connects nothing itself.
//
// A reader thread waits on the sequencer and hands each note and control change to the receiver
// as three bytes; the pads' lights go out directly, not queued. Without a sequencer (no
// /dev/snd/seq, no permission) Open() gives nothing and Quendel has no ALSA MIDI, silently.
class AlsaSeqTransport final : public MidiTransport {
public:
    static std::unique_ptr<AlsaSeqTransport> Open(const char* clientName = "Quendel");
    ~AlsaSeqTransport() override;
    AlsaSeqTransport(const AlsaSeqTransport&) = delete;
    AlsaSeqTransport& operator=(const AlsaSeqTransport&) = delete;

    void setReceiver(Receiver receiver) override;
    void send(const std::uint8_t* bytes, std::size_t size) override;
    bool connected() const override { return true; }
    const char* name() const override { return "ALSA sequencer"; }

    // A sequencer event as the bytes of its MIDI message: notes (on, off) and control changes;
    // nothing for every other event.
    static std::optional<std::array<std::uint8_t, 3>> EventBytes(const snd_seq_event& event);
    // A program change's two bytes.
    static std::optional<std::array<std::uint8_t, 2>> ProgramBytes(const snd_seq_event& event);
    // A sequencer event of a MIDI clock as its one byte (clock, start, continue, stop).
    static std::optional<std::uint8_t> ClockByte(const snd_seq_event& event);

    // `use(sequencer, outPort)` under the lock the reader shares, for events scheduled on a
    // queue (the clock out, UI thread).
    template <typename Use> void useSequencer(Use use)
    {
        const std::lock_guard lock(m_seqLock);
        use(m_seq, m_outPort);
    }

private:
    AlsaSeqTransport(_snd_seq* seq, int inPort, int outPort, int wakeFd);
    void read();

    _snd_seq* m_seq;
    int m_inPort;
    int m_outPort;
    int m_wakeFd;              // an eventfd that ends the reader's wait
    std::mutex m_seqLock;      // the sequencer handle is shared by the reader and send()
    std::mutex m_receiverLock; // setReceiver() against the reader's calls
    Receiver m_receiver;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};
