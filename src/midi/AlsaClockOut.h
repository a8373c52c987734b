// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/host/MidiClockOut.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

class AlsaSeqTransport;

// The grid's MIDI clock through the ALSA sequencer's "pads out", for when no JACK client is open
// (the sound goes through PulseAudio or SDL). Clocks are not sent one by one from a timer, which
// would carry the UI thread's jitter: every kTopUpMs the UI thread schedules the clocks of the
// next kAheadMs on a sequencer queue of the client's own, each stamped with the time it is due,
// and the sequencer sends it then. The time comes from the moments the audio thread publishes
// (MidiClockOut::moment: a frame of the mixer's clock and when it is heard), mapped from the
// steady clock to the queue's. A tempo change after clocks were scheduled takes back the ones
// that would now come at the wrong time and schedules them again.
class AlsaClockOut : public QObject {
public:
    static constexpr int kTopUpMs = 50;
    static constexpr int kAheadMs = 150;

    AlsaClockOut(AlsaSeqTransport& sequencer, const MidiClockOut& source);
    ~AlsaClockOut() override;
    AlsaClockOut(const AlsaClockOut&) = delete;
    AlsaClockOut& operator=(const AlsaClockOut&) = delete;

    // Looks whether the clock is to be sent (MidiClockOut::enabled) and tops up while it is.
    void reload();
    // Schedules what is due within kAheadMs (the timer's).
    void topUp();
    // Events that found the sequencer's output full.
    std::uint64_t dropped() const { return m_dropped; }

private:
    // The exact frame of a clock, on the mixer's clock, from the moment's grid.
    static double ClockFrame(const MidiClockOut::Moment& moment, std::int64_t clock);
    // The mapping from the mixer's frames to the steady clock's time (ns).
    void followMapping(const MidiClockOut::Moment& moment);
    std::int64_t nanosOf(double frame) const;
    void schedule(std::int64_t steadyNanos, unsigned char type, int value = 0);
    void takeBackAfter(std::int64_t steadyNanos);

    AlsaSeqTransport& m_sequencer;
    const MidiClockOut& m_source;
    QTimer m_timer;
    int m_queue = -1;
    std::int64_t m_queueStart = 0; // the steady clock's time when the queue's clock was 0
    std::uint64_t m_starts = 0;    // the source's Starts as last seen
    bool m_running = false;
    std::int64_t m_nextClock = 0;
    double m_lastFrame = 0.0; // the last clock scheduled, its exact frame
    bool m_mapped = false;
    double m_origin = 0.0; // when the mixer's frame 0 was heard (steady clock, ns)
    int m_rate = 0;
    std::uint64_t m_dropped = 0;
};
