// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackMidiPorts.h"

#include "io/MidiMessage.h"

#include <algorithm>
#include <jack/midiport.h>

void JackMidiPorts::send(const std::uint8_t* bytes, std::size_t size)
{
    if (!connected() || bytes == nullptr || size == 0)
        return;
    if (size > kMaxMessageBytes) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    Outgoing message;
    std::copy_n(bytes, size, message.bytes.begin());
    message.size = static_cast<std::uint8_t>(size);
    if (!m_outgoing.push(message))
        m_dropped.fetch_add(1, std::memory_order_relaxed);
}

void JackMidiPorts::process(void* inBuffer, void* outBuffer)
{
    if (inBuffer != nullptr) {
        const jack_nframes_t count = jack_midi_get_event_count(inBuffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            // Any client may write any bytes into an event: only a whole note or control change
            // or a clock's one byte goes on, the messages the sequencer's transport delivers too.
            // The check reads the bytes in place, with no allocation or lock on this thread.
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, inBuffer, i) == 0 &&
                (MidiMessage::FromBytes(event.buffer, event.size) ||
                 ClockMessageOf(event.buffer, event.size)))
                m_receiver.deliver(event.buffer, event.size);
        }
    }
    if (outBuffer == nullptr)
        return;
    // The port's buffer must be cleared every period, or last period's messages go out again.
    jack_midi_clear_buffer(outBuffer);
    Outgoing message;
    while (m_outgoing.pop(message))
        // All at the period's first frame: the earliest they can be heard, in the order sent.
        if (jack_midi_event_write(outBuffer, 0, message.bytes.data(), message.size) != 0)
            m_dropped.fetch_add(1, std::memory_order_relaxed);
}

void JackMidiPorts::writeTimed(void* outBuffer, const MidiClockTicks::Event* events, int count,
                               int frames)
{
    if (outBuffer == nullptr || frames <= 0)
        return;
    for (int i = 0; i < count; ++i) {
        const auto offset =
            static_cast<jack_nframes_t>(std::clamp(events[i].offset, 0, frames - 1));
        if (jack_midi_event_write(outBuffer, offset, events[i].bytes.data(), events[i].size) != 0)
            m_dropped.fetch_add(1, std::memory_order_relaxed);
    }
}
