// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiReceiverSlot.h"
#include "audio/mixer/MidiClockTicks.h"
#include "io/MidiTransport.h"
#include "io/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>

// The MIDI side of Quendel's JACK client: the ports "midi_in" and "midi_out". Messages that
// arrive at midi_in go to the receiver from JACK's process thread, one whole message each (JACK
// carries whole messages, never running status); an event that is not one well-formed note or
// control change (see MidiMessage::FromBytes) is left out. What the UI thread sends waits in a
// lock-free queue and leaves through midi_out at the start of the next period.
//
// The ports belong to one JackAudioDevice and live as long as it does; the pads reach them
// through OutputHost::midi(), which stays the same object across device reopens.
class JackMidiPorts final : public MidiTransport {
public:
    // The longest message send() passes on; longer ones (big SysEx dumps) are dropped.
    static constexpr std::size_t kMaxMessageBytes = 32;

    void setReceiver(Receiver receiver) override { m_receiver.set(std::move(receiver)); }
    // UI thread (one producer). Dropped when not connected or when a full queue (more than 255
    // messages in one period) would have to wait.
    void send(const std::uint8_t* bytes, std::size_t size) override;
    bool connected() const override { return m_connected.load(std::memory_order_acquire); }
    const char* name() const override { return "JACK"; }

    // Device side: the client's ports exist and its process callback runs.
    void setConnected(bool connected) { m_connected.store(connected, std::memory_order_release); }
    // JACK's process thread, once a period, with the two ports' buffers for this period.
    void process(void* inBuffer, void* outBuffer);
    // JACK's process thread, after process: `count` messages in time order, each on its frame
    // (held to the period's `frames`).
    void writeTimed(void* outBuffer, const MidiClockTicks::Event* events, int count, int frames);
    // Messages that never left: queue full, message too long, or no room in a period's buffer.
    std::uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    struct Outgoing {
        std::array<std::uint8_t, kMaxMessageBytes> bytes{};
        std::uint8_t size = 0;
    };

    MidiReceiverSlot m_receiver;
    SpscQueue<Outgoing, 256> m_outgoing;
    std::atomic<bool> m_connected{false};
    std::atomic<std::uint64_t> m_dropped{0};
};
