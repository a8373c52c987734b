// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiReceiverSlot.h"
#include "io/MidiTransport.h"

#include <mutex>

// The output host's one MIDI transport, OutputHost::midi(): it stays the same object while devices
// come and go, and relays to the MIDI ports of whichever device is open (a JACK client's
// "midi_in" and "midi_out"). connected() is false while the open device has none (PulseAudio,
// SDL, no device, a JACK server that went away); the pads' MIDI side then uses the ALSA
// sequencer instead. The receiver set here carries over to every later device.
//
// Threads as for any MidiTransport: setReceiver and send on the UI thread; the receiver is called
// on the device's process thread. The host attaches and detaches devices from the UI or
// housekeeping thread.
class DeviceMidi final : public MidiTransport {
public:
    void setReceiver(Receiver receiver) override { m_receiver.set(std::move(receiver)); }
    void send(const std::uint8_t* bytes, std::size_t size) override;
    bool connected() const override;
    const char* name() const override { return "JACK"; }

    // The engine's side: the open device's ports (null for none), and their end before the
    // device closes.
    void attach(MidiTransport* ports);
    void detach();

private:
    MidiReceiverSlot m_receiver;
    mutable std::mutex m_mutex; // guards m_ports; never taken on the process thread
    MidiTransport* m_ports = nullptr;
};
