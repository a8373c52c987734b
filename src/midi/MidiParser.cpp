#include "MidiParser.h"

int MidiParser::dataLength(std::uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 1;
    case 0xF0:
        switch (status) {
        case 0xF0:
            return -1;
        case 0xF1:
        case 0xF3:
            return 1;
        case 0xF2:
            return 2;
        default:
            return 0; // F4..F7: no data
        }
    default:
        return 2;
    }
}

void MidiParser::reset()
{
    m_have = 0;
    m_running = 0;
    m_needed = 0;
    m_inSysEx = false;
    m_channelMessage = false;
}

void MidiParser::feed(const std::uint8_t* bytes, std::size_t size, const Sink& sink)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte >= 0xF8)
            continue; // realtime: clock, start, stop, active sensing... belong to no message
        if (byte & 0x80) {
            m_inSysEx = false;
            m_have = 0;
            const int length = dataLength(byte);
            if (length < 0) {
                m_inSysEx = true;
                m_running = 0;
                continue;
            }
            if (byte >= 0xF0) { // system common: read past it, it plays nothing
                m_running = 0;
                m_channelMessage = false;
                m_needed = length;
                m_have = length > 0 ? 1 : 0;
                continue;
            }
            m_running = byte;
            m_channelMessage = true;
            m_message[0] = byte;
            m_have = 1;
            m_needed = length;
            continue;
        }
        if (m_inSysEx)
            continue;
        if (m_have == 0) { // a data byte after a complete message: running status, if any
            if (m_running == 0)
                continue;
            m_message[0] = m_running;
            m_have = 1;
            m_channelMessage = true;
            m_needed = dataLength(m_running);
        }
        if (m_needed <= 0) {
            m_have = 0;
            continue;
        }
        if (m_have < m_message.size())
            m_message[m_have] = byte;
        ++m_have;
        if (--m_needed == 0) {
            if (m_channelMessage && sink)
                sink(m_message.data(), m_have);
            m_have = 0;
        }
    }
}
