#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

// Turns a raw MIDI byte stream, as it arrives in reads of any size, into whole messages.
//
// - Running status: data bytes after a complete message repeat the last channel status.
// - SysEx (F0 .. F7) is skipped, also when it spans reads; any status byte other than a
//   realtime one ends it.
// - Realtime bytes (F8..FF) are dropped wherever they fall, inside a message too.
// - Data bytes with no status to belong to are dropped; system common messages (F1..F6) are
//   read and dropped, and cancel running status.
//
// Whole channel messages go to the sink as 1 to 3 bytes with their status; note-on with
// velocity 0 is passed on as it came (MidiMessage reads it as a note-off). No allocation.
class MidiParser {
public:
    using Sink = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

    void feed(const std::uint8_t* bytes, std::size_t size, const Sink& sink);
    void reset();

private:
    // The data bytes a status takes; -1 for SysEx (until F7).
    static int dataLength(std::uint8_t status);

    std::array<std::uint8_t, 3> m_message{};
    std::size_t m_have = 0;     // bytes of m_message filled, status included
    std::uint8_t m_running = 0; // the channel status that data bytes continue; 0 = none
    int m_needed = 0;           // data bytes the current message still takes
    bool m_inSysEx = false;
    bool m_channelMessage = false; // the message being read goes to the sink
};
