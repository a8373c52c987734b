// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <jack/transport.h>
#include <string>
#include <vector>

// A JACK client that hears MIDI clock and drives or reads the transport, for tests and
// measurements on a PrivateJackServer: its "midi_in" keeps each message's first byte with the
// server frame it came on (the period's frame time plus the event's offset), and it may act as
// the transport's timebase master at a tempo of its own.
class JackClockProbe {
public:
    struct Heard {
        long long frame = 0;
        std::uint8_t status = 0;
    };
    static constexpr std::size_t kMaxHeard = 65536;

    JackClockProbe() = default;
    ~JackClockProbe() { close(); }
    JackClockProbe(const JackClockProbe&) = delete;
    JackClockProbe& operator=(const JackClockProbe&) = delete;

    bool open(const char* name = "ClockProbe");
    void close();
    jack_client_t* client() const { return m_client; }
    std::string midiIn() const { return m_name + ":midi_in"; }

    std::vector<Heard> heard() const;
    // The frames of the clocks (0xF8) heard, in order.
    std::vector<long long> clocks() const;

    // The transport as any client sees it: rolling, and the BBT tempo (0 without one).
    bool rolling() const;
    double transportBpm() const;
    // Becomes the timebase master at `bpm` (4/4), unconditionally.
    bool leadAt(double bpm);
    // Periods the server ran late since the open: a client then missed a period.
    int xruns() const { return m_xruns.load(); }

private:
    static int process(std::uint32_t frames, void* self);
    static void timebase(jack_transport_state_t, std::uint32_t, jack_position_t* position, int,
                         void* self);

    std::string m_name;
    jack_client_t* m_client = nullptr;
    void* m_midiIn = nullptr; // jack_port_t*
    std::array<Heard, kMaxHeard> m_heard{};
    std::atomic<std::size_t> m_count{0};
    std::atomic<double> m_leadBpm{0.0};
    std::atomic<int> m_xruns{0};
};
