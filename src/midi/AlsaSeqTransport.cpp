// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlsaSeqTransport.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <vector>

namespace {
constexpr const char* kSequencerDevice = "/dev/snd/seq";
}

std::unique_ptr<AlsaSeqTransport> AlsaSeqTransport::Open(const char* clientName)
{
    // Checked first so that a machine without sound hardware opens nothing and ALSA prints
    // nothing: Quendel then simply plays without MIDI.
    if (access(kSequencerDevice, R_OK | W_OK) != 0)
        return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, clientName);
    constexpr unsigned kType = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION;
    const int in = snd_seq_create_simple_port(
        seq, "pads in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE, kType);
    const int out = snd_seq_create_simple_port(
        seq, "pads out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, kType);
    const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (in < 0 || out < 0 || wake < 0) {
        if (wake >= 0)
            close(wake);
        snd_seq_close(seq);
        return nullptr;
    }
    return std::unique_ptr<AlsaSeqTransport>(new AlsaSeqTransport(seq, in, out, wake));
}

AlsaSeqTransport::AlsaSeqTransport(snd_seq_t* seq, int inPort, int outPort, int wakeFd)
    : m_seq(seq), m_inPort(inPort), m_outPort(outPort), m_wakeFd(wakeFd)
{
    m_reader = std::thread([this] { read(); });
}

AlsaSeqTransport::~AlsaSeqTransport()
{
    m_stop.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
    m_reader.join();
    close(m_wakeFd);
    snd_seq_close(m_seq);
}

void AlsaSeqTransport::setReceiver(Receiver receiver)
{
    const std::lock_guard lock(m_receiverLock);
    m_receiver = std::move(receiver);
}

std::optional<std::array<std::uint8_t, 3>> AlsaSeqTransport::EventBytes(const snd_seq_event& event)
{
    const auto byte = [](unsigned value) { return static_cast<std::uint8_t>(value & 0x7F); };
    const auto status = [](unsigned kind, unsigned channel) {
        return static_cast<std::uint8_t>(kind | (channel & 0x0F));
    };
    switch (event.type) {
    case SND_SEQ_EVENT_NOTEON:
        return std::array{status(0x90, event.data.note.channel), byte(event.data.note.note),
                          byte(event.data.note.velocity)};
    case SND_SEQ_EVENT_NOTEOFF:
        return std::array{status(0x80, event.data.note.channel), byte(event.data.note.note),
                          byte(event.data.note.velocity)};
    case SND_SEQ_EVENT_CONTROLLER:
        return std::array{status(0xB0, event.data.control.channel),
                          byte(static_cast<unsigned>(event.data.control.param)),
                          byte(static_cast<unsigned>(event.data.control.value))};
    default:
        return std::nullopt;
    }
}

std::optional<std::array<std::uint8_t, 2>>
AlsaSeqTransport::ProgramBytes(const snd_seq_event& event)
{
    if (event.type != SND_SEQ_EVENT_PGMCHANGE)
        return std::nullopt;
    return std::array{static_cast<std::uint8_t>(0xC0 | (event.data.control.channel & 0x0F)),
                      static_cast<std::uint8_t>(event.data.control.value & 0x7F)};
}

std::optional<std::uint8_t> AlsaSeqTransport::ClockByte(const snd_seq_event& event)
{
    switch (event.type) {
    case SND_SEQ_EVENT_CLOCK:
        return std::uint8_t{0xF8};
    case SND_SEQ_EVENT_START:
        return std::uint8_t{0xFA};
    case SND_SEQ_EVENT_CONTINUE:
        return std::uint8_t{0xFB};
    case SND_SEQ_EVENT_STOP:
        return std::uint8_t{0xFC};
    default:
        return std::nullopt;
    }
}

void AlsaSeqTransport::read()
{
    std::vector<pollfd> fds;
    {
        const std::lock_guard lock(m_seqLock);
        const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
        fds.resize(static_cast<std::size_t>(std::max(count, 0)) + 1);
        snd_seq_poll_descriptors(m_seq, fds.data() + 1, static_cast<unsigned>(count), POLLIN);
    }
    fds[0] = {m_wakeFd, POLLIN, 0};
    while (!m_stop.load()) {
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if (m_stop.load())
            return;
        for (;;) {
            std::optional<std::array<std::uint8_t, 3>> bytes;
            std::optional<std::array<std::uint8_t, 2>> program;
            std::optional<std::uint8_t> clock;
            {
                const std::lock_guard lock(m_seqLock);
                snd_seq_event_t* event = nullptr;
                if (snd_seq_event_input(m_seq, &event) < 0 || event == nullptr)
                    break; // -EAGAIN: all read; -ENOSPC: an overrun, read on next time
                if (event->dest.port == m_inPort) {
                    bytes = EventBytes(*event);
                    program = ProgramBytes(*event);
                    clock = ClockByte(*event);
                }
            }
            const std::lock_guard lock(m_receiverLock);
            if (m_receiver && bytes)
                m_receiver(bytes->data(), bytes->size());
            else if (m_receiver && program)
                m_receiver(program->data(), program->size());
            else if (m_receiver && clock)
                m_receiver(&*clock, 1);
        }
    }
}

void AlsaSeqTransport::send(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 3)
        return;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    const unsigned channel = bytes[0] & 0x0F;
    switch (bytes[0] & 0xF0) {
    case 0x90:
        snd_seq_ev_set_noteon(&event, channel, bytes[1], bytes[2]);
        break;
    case 0x80:
        snd_seq_ev_set_noteoff(&event, channel, bytes[1], bytes[2]);
        break;
    case 0xB0:
        snd_seq_ev_set_controller(&event, channel, bytes[1], bytes[2]);
        break;
    default:
        return;
    }
    snd_seq_ev_set_source(&event, static_cast<unsigned char>(m_outPort));
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    const std::lock_guard lock(m_seqLock);
    snd_seq_event_output_direct(m_seq, &event); // a full output drops the light, never waits
}
