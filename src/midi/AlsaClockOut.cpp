// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlsaClockOut.h"

#include "AlsaSeqTransport.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

std::int64_t SteadyNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::int64_t kNanos = 1000000000;

} // namespace

AlsaClockOut::AlsaClockOut(AlsaSeqTransport& sequencer, const MidiClockOut& source)
    : m_sequencer(sequencer), m_source(source)
{
    m_sequencer.useSequencer([this](snd_seq_t* seq, int) {
        m_queue = snd_seq_alloc_named_queue(seq, "Quendel clock");
        if (m_queue < 0)
            return;
        snd_seq_start_queue(seq, m_queue, nullptr);
        snd_seq_drain_output(seq);
        m_queueStart = SteadyNanos();
    });
    m_timer.setInterval(kTopUpMs);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { topUp(); });
    reload();
}

AlsaClockOut::~AlsaClockOut()
{
    if (m_queue < 0)
        return;
    takeBackAfter(0);
    m_sequencer.useSequencer([this](snd_seq_t* seq, int) { snd_seq_free_queue(seq, m_queue); });
}

void AlsaClockOut::reload()
{
    if (m_queue >= 0 && m_source.enabled()) {
        if (!m_timer.isActive())
            m_timer.start();
        return;
    }
    m_timer.stop();
    if (m_running) {
        takeBackAfter(SteadyNanos());
        schedule(SteadyNanos(), SND_SEQ_EVENT_STOP);
        m_sequencer.useSequencer([](snd_seq_t* seq, int) { snd_seq_drain_output(seq); });
        m_running = false;
    }
}

double AlsaClockOut::ClockFrame(const MidiClockOut::Moment& moment, std::int64_t clock)
{
    // Up to the next bar line at the beat after the last line, past it at the coming beat.
    const int perBar = std::max(moment.beatsPerBar, 1);
    const std::int64_t nextBar = moment.lineIndex + perBar - moment.lineBeatInBar % perBar;
    const double beats = static_cast<double>(clock) / MidiClockTicks::kClocksPerBeat;
    const double first =
        std::min(beats, static_cast<double>(nextBar)) - static_cast<double>(moment.lineIndex);
    const double after = std::max(beats - static_cast<double>(nextBar), 0.0);
    return moment.lineExact + first * moment.beatFrames +
           after * (moment.comingBeatFrames > 0.0 ? moment.comingBeatFrames : moment.beatFrames);
}

void AlsaClockOut::followMapping(const MidiClockOut::Moment& moment)
{
    // When the mixer's frame 0 was heard, as this moment tells it. A moment is taken when its
    // block was rendered, which the device's thread may do a little late: the estimate moves only
    // a sixteenth of the way to each new one, enough to follow the sound card's clock drifting
    // from the steady clock, while the wake-up jitter averages out.
    const double origin =
        static_cast<double>(moment.heardNanos) -
        static_cast<double>(moment.frame) * kNanos / static_cast<double>(moment.rate);
    if (!m_mapped || moment.rate != m_rate) {
        m_origin = origin;
        m_rate = moment.rate;
        m_mapped = true;
        return;
    }
    m_origin += (origin - m_origin) / 16.0;
}

std::int64_t AlsaClockOut::nanosOf(double frame) const
{
    return static_cast<std::int64_t>(std::llround(m_origin + frame * kNanos / m_rate));
}

namespace {
// A start heard longer ago than this is joined, not replayed.
constexpr std::int64_t kLateStartNanos = 100'000'000;
constexpr std::int64_t kPerBeat = MidiClockTicks::kClocksPerBeat;
} // namespace

void AlsaClockOut::topUp()
{
    MidiClockOut::Moment moment;
    if (!m_source.moment(moment) || !(moment.beatFrames > 0.0) || moment.rate <= 0)
        return;
    followMapping(moment);
    const std::int64_t now = SteadyNanos();
    if (m_running && (!moment.keepsTime || moment.starts != m_starts)) {
        // The grid stopped keeping time, or began again: what was scheduled past now is void.
        const std::int64_t at = std::max(now, moment.heardNanos);
        takeBackAfter(at);
        schedule(at, SND_SEQ_EVENT_STOP);
        m_running = false;
    }
    if (!m_running && moment.keepsTime && moment.starts != m_starts) {
        m_starts = moment.starts;
        m_running = true;
        m_nextClock = 0;
        // The grid's first bar line: the last line reached, as many beats back.
        const std::int64_t start = nanosOf(ClockFrame(moment, 0));
        if (start >= now - kLateStartNanos) {
            schedule(start, SND_SEQ_EVENT_SONGPOS, 0);
            schedule(start, SND_SEQ_EVENT_START);
        } else {
            // Switched on mid-song: in at the next beat still to come, with its Song Position
            // (in sixteenths) and a Continue, rather than every clock since the start at once.
            std::int64_t beat = std::max<std::int64_t>(moment.lineIndex, 0);
            for (int step = 0; step < 64 && nanosOf(ClockFrame(moment, beat * kPerBeat)) < now;
                 ++step)
                ++beat;
            const std::int64_t at = nanosOf(ClockFrame(moment, beat * kPerBeat));
            schedule(at, SND_SEQ_EVENT_SONGPOS,
                     static_cast<int>(std::clamp<std::int64_t>(beat * 4, 0, 16383)));
            schedule(at, SND_SEQ_EVENT_CONTINUE);
            m_nextClock = beat * kPerBeat;
            m_lastFrame = ClockFrame(moment, m_nextClock - 1); // as if sent: no tempo change
        }
    }
    m_starts = moment.starts;
    if (!m_running)
        return;
    // A tempo change the scheduled clocks did not know of: they are taken back and scheduled
    // again from the first still to come.
    if (m_nextClock > 0 && std::abs(ClockFrame(moment, m_nextClock - 1) - m_lastFrame) > 0.5) {
        takeBackAfter(now);
        while (m_nextClock > 0 && nanosOf(ClockFrame(moment, m_nextClock - 1)) > now)
            --m_nextClock;
    }
    const std::int64_t horizon = now + static_cast<std::int64_t>(kAheadMs) * 1000000;
    for (double frame = ClockFrame(moment, m_nextClock); nanosOf(frame) < horizon;
         frame = ClockFrame(moment, m_nextClock)) {
        schedule(nanosOf(frame), SND_SEQ_EVENT_CLOCK);
        m_lastFrame = frame;
        ++m_nextClock;
    }
    m_sequencer.useSequencer([](snd_seq_t* seq, int) { snd_seq_drain_output(seq); });
}

void AlsaClockOut::schedule(std::int64_t steadyNanos, unsigned char type, int value)
{
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    event.type = type;
    if (type == SND_SEQ_EVENT_SONGPOS)
        event.data.control.value = value;
    snd_seq_ev_set_fixed(&event);
    snd_seq_ev_set_subs(&event);
    const std::int64_t onQueue = std::max<std::int64_t>(steadyNanos - m_queueStart, 0);
    snd_seq_real_time_t time{static_cast<unsigned>(onQueue / kNanos),
                             static_cast<unsigned>(onQueue % kNanos)};
    snd_seq_ev_schedule_real(&event, m_queue, 0, &time);
    m_sequencer.useSequencer([&](snd_seq_t* seq, int port) {
        snd_seq_ev_set_source(&event, static_cast<unsigned char>(port));
        if (snd_seq_event_output(seq, &event) < 0)
            ++m_dropped;
    });
}

void AlsaClockOut::takeBackAfter(std::int64_t steadyNanos)
{
    m_sequencer.useSequencer([&](snd_seq_t* seq, int) {
        snd_seq_remove_events_t* remove = nullptr;
        if (snd_seq_remove_events_malloc(&remove) < 0)
            return;
        const std::int64_t onQueue = std::max<std::int64_t>(steadyNanos - m_queueStart, 0);
        snd_seq_timestamp_t time{};
        time.time = {static_cast<unsigned>(onQueue / kNanos),
                     static_cast<unsigned>(onQueue % kNanos)};
        snd_seq_remove_events_set_queue(remove, m_queue);
        snd_seq_remove_events_set_time(remove, &time);
        snd_seq_remove_events_set_condition(remove,
                                            SND_SEQ_REMOVE_OUTPUT | SND_SEQ_REMOVE_TIME_AFTER);
        snd_seq_remove_events(seq, remove);
        snd_seq_remove_events_free(remove);
    });
}
