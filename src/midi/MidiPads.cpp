// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiPads.h"

#include "MidiLearn.h"
#include "deck/PadDeck.h"
#include "deck/TempoActions.h"

#include <algorithm>
#include <cstdlib>

#include <sys/eventfd.h>
#include <unistd.h>

MidiPads::MidiPads(PadDeck& deck, MidiTransport& transport)
    : m_deck(deck), m_transport(transport), m_controls(deck), m_clockIn(deck.Tempo),
      m_triggers(PadTriggers::Stored())
{
    m_lights.fill(Light::Unknown);
    for (int pad = 0; pad < kPadCount; ++pad)
        m_lightNotes[static_cast<std::size_t>(pad)] = m_triggers.padNote(pad);

    QObject::connect(&m_deck, &PadDeck::padLit, this,
                     [this](int pad, bool lit) { showLight(pad, lit); });
    QObject::connect(&PadTriggerChanges::instance(), &PadTriggerChanges::changed, this,
                     [this] { reload(); });
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setInterval(kDrainMs);
    QObject::connect(&m_drainTimer, &QTimer::timeout, this, [this] { drain(); });
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd >= 0) {
        m_wakeNotifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
        QObject::connect(m_wakeNotifier, &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(m_wakeFd, &count, sizeof count);
            // Cleared before draining: a message that comes in meanwhile wakes us again.
            m_wakePending.store(false, std::memory_order_release);
            drain();
        });
    } else {
        m_drainTimer.setSingleShot(false); // no eventfd: poll, as the only way left
        m_drainTimer.start();
    }
    m_clockIn.setStartStop([this](bool start) {
        if (start)
            m_deck.startFromOutside();
        else
            m_deck.stopFromOutside();
    });
    m_lightFlush.setSingleShot(true);
    m_lightFlush.setInterval(0);
    QObject::connect(&m_lightFlush, &QTimer::timeout, this, [this] { flushLights(); });

    // The controller shows the pads as they are now.
    for (int pad = 0; pad < kPadCount; ++pad)
        showLight(pad, m_deck.isLit(pad));
    flushLights();

    m_transport.setReceiver(
        [this](const std::uint8_t* bytes, std::size_t size) { receive(bytes, size); });
}

MidiPads::~MidiPads()
{
    m_transport.setReceiver({});
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

void MidiPads::receive(const std::uint8_t* bytes, std::size_t size)
{
    if (const std::optional<ClockMessage> clock = ClockMessageOf(bytes, size)) {
        if (!m_clockIn.receive(*clock))
            return; // not followed, or a flood the queue cannot take
    } else {
        const std::optional<MidiMessage> message = MidiMessage::FromBytes(bytes, size);
        if (!message)
            return;
        if (!m_queue.push(*message)) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    }
    if (m_wakeFd >= 0 && !m_wakePending.exchange(true, std::memory_order_acq_rel)) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t put = write(m_wakeFd, &one, sizeof one);
    }
}

void MidiPads::reload()
{
    m_triggers = PadTriggers::Stored();
    m_controls.reload();
    m_clockIn.reload();
    for (int pad = 0; pad < kPadCount; ++pad) {
        const auto p = static_cast<std::size_t>(pad);
        const std::optional<MidiTrigger> note = m_triggers.padNote(pad);
        if (note == m_lightNotes[p])
            continue;
        if (m_lightNotes[p] && m_lights[p] == Light::On)
            sendLight(*m_lightNotes[p], false);
        m_lightNotes[p] = note;
        m_lights[p] = Light::Unknown;
        showLight(pad, m_deck.isLit(pad));
    }
    flushLights();
}

int MidiPads::padOf(const MidiMessage& message) const
{
    const int action = m_triggers.actionForNote(message.channel, message.number);
    return action >= 0 && action < kPadCount ? action : -1;
}

// What one drain took from the queue: where in it each pad was last pressed and released (-1:
// not), the next-pad presses less the previous-pad presses, the tempo's nudges and taps, whether
// a control moved, and how many messages it took.
struct MidiPads::Drained {
    std::array<int, kPadCount> lastPress;
    std::array<int, kPadCount> lastRelease;
    int steps = 0;
    int tempoSteps = 0; // tempo-up presses less tempo-down presses
    bool tapped = false;
    bool controlsMoved = false;
    int bank = -1;     // the last bank a program change asked for
    int song = -1;     // the last song a program change asked for (with a setlist)
    int songSteps = 0; // next-song presses less previous-song presses
    int records = 0;   // record presses
    bool undoTake = false;
    int seen = 0;
};

void MidiPads::drain()
{
    m_clockIn.drain();
    const Drained drained = takeQueued();
    if (drained.seen == kMaxMessagesPerDrain && m_drainTimer.isSingleShot())
        m_drainTimer.start(); // the rest of a flood, a moment later: the UI keeps breathing
    if (drained.controlsMoved)
        m_controls.flush();
    if (drained.seen == 0)
        return;
    // The bank first: a controller that changes the program and then plays means the new bank.
    if (drained.song >= 0)
        m_deck.Songs.choose(drained.song);
    for (int step = 0; step < std::min(std::abs(drained.songSteps), kMaxPressesPerDrain); ++step)
        drained.songSteps > 0 ? m_deck.Songs.next() : m_deck.Songs.previous();
    if (drained.bank >= 0)
        m_deck.showBank(drained.bank);
    if (recordAction) {
        if (drained.undoTake)
            recordAction(PadTriggers::kUndoTake);
        for (int press = 0; press < std::min(drained.records, kMaxPressesPerDrain); ++press)
            recordAction(PadTriggers::kRecord);
    }
    playPads(drained);
    stepPads(drained.steps);
    playTempo(drained);
    flushLights();
}

MidiPads::Drained MidiPads::takeQueued()
{
    Drained drained;
    drained.lastPress.fill(-1);
    drained.lastRelease.fill(-1);
    MidiMessage message;
    for (; drained.seen < kMaxMessagesPerDrain && m_queue.pop(message); ++drained.seen)
        take(message, drained);
    return drained;
}

void MidiPads::take(const MidiMessage& message, Drained& drained)
{
    if (message.type == MidiMessage::Type::Program) {
        // With a setlist a program picks its song (which brings its bank); without one
        // programs 0..7 show banks A..H. A controller's other programs are not ours.
        if (!m_deck.Songs.songs().isEmpty())
            drained.song = message.number;
        else if (message.number < PadBanks::kBankCount)
            drained.bank = message.number;
        return;
    }
    const bool offered = message.type != MidiMessage::Type::NoteOff;
    if (offered && MidiLearn::waiting() && MidiLearn::offer(message)) {
        if (message.type == MidiMessage::Type::NoteOn)
            m_learnedNote = message;
        return;
    }
    if (message.type == MidiMessage::Type::Control) {
        drained.controlsMoved = m_controls.take(message) || drained.controlsMoved;
        return;
    }
    if (message.type == MidiMessage::Type::NoteOff && m_learnedNote &&
        m_learnedNote->channel == message.channel && m_learnedNote->number == message.number) {
        m_learnedNote.reset();
        return;
    }
    const int action = m_triggers.actionForNote(message.channel, message.number);
    if (action == PadTriggers::kNextPad || action == PadTriggers::kPreviousPad) {
        if (message.type == MidiMessage::Type::NoteOn)
            drained.steps += action == PadTriggers::kNextPad ? 1 : -1;
        return;
    }
    if (action == PadTriggers::kTempoUp || action == PadTriggers::kTempoDown) {
        if (message.type == MidiMessage::Type::NoteOn)
            drained.tempoSteps += action == PadTriggers::kTempoUp ? 1 : -1;
        return;
    }
    if (action >= PadTriggers::kBankA && action < PadTriggers::kNextSong) {
        if (message.type == MidiMessage::Type::NoteOn)
            drained.bank = action - PadTriggers::kBankA;
        return;
    }
    if (action == PadTriggers::kNextSong || action == PadTriggers::kPreviousSong) {
        if (message.type == MidiMessage::Type::NoteOn)
            drained.songSteps += action == PadTriggers::kNextSong ? 1 : -1;
        return;
    }
    if (action == PadTriggers::kRecord || action == PadTriggers::kUndoTake) {
        if (message.type == MidiMessage::Type::NoteOn) {
            drained.records += action == PadTriggers::kRecord ? 1 : 0;
            drained.undoTake = drained.undoTake || action == PadTriggers::kUndoTake;
        }
        return;
    }
    if (action == PadTriggers::kTapTempo) {
        drained.tapped = drained.tapped || message.type == MidiMessage::Type::NoteOn;
        return;
    }
    const int pad = padOf(message);
    if (pad < 0)
        return;
    std::array<int, kPadCount>& last =
        message.type == MidiMessage::Type::NoteOn ? drained.lastPress : drained.lastRelease;
    last[static_cast<std::size_t>(pad)] = drained.seen;
}

// Of the presses only the newest few are played; a release counts after its pad's press.
void MidiPads::playPads(const Drained& drained)
{
    const std::array<int, kPadCount>& lastPress = drained.lastPress;
    const std::array<int, kPadCount>& lastRelease = drained.lastRelease;
    std::array<int, kPadCount> pressOrder = lastPress;
    std::sort(pressOrder.begin(), pressOrder.end(), std::greater<>());
    const int oldestPlayed = pressOrder[kMaxPressesPerDrain - 1];
    struct Step {
        int at;
        int pad;
        bool press;
    };
    std::array<Step, 2 * kPadCount> order{};
    std::size_t count = 0;
    for (int pad = 0; pad < kPadCount; ++pad) {
        const auto p = static_cast<std::size_t>(pad);
        if (lastPress[p] >= 0 && lastPress[p] >= oldestPlayed)
            order[count++] = {lastPress[p], pad, true};
        if (lastRelease[p] > lastPress[p])
            order[count++] = {lastRelease[p], pad, false};
    }
    std::sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count),
              [](const Step& a, const Step& b) { return a.at < b.at; });
    for (std::size_t i = 0; i < count; ++i) {
        if (order[i].press && !(takesPress && takesPress(order[i].pad)))
            m_deck.press(order[i].pad);
        else
            m_deck.release(order[i].pad);
    }
}

// A pedal's next and previous pad, after the pads pressed in this drain. A flood of them is
// capped like presses are.
void MidiPads::stepPads(int steps)
{
    const int stepCount = std::min(std::abs(steps), kMaxPressesPerDrain);
    for (int i = 0; i < stepCount; ++i)
        if (!m_deck.step(steps > 0 ? 1 : -1))
            break;
}

// The tempo's nudges of a drain as one, capped like the steps; taps that close together are one.
void MidiPads::playTempo(const Drained& drained)
{
    const int steps = std::min(std::abs(drained.tempoSteps), kMaxPressesPerDrain);
    if (steps > 0)
        PlayTempoAction(m_deck,
                        drained.tempoSteps > 0 ? PadTriggers::kTempoUp : PadTriggers::kTempoDown,
                        steps);
    if (drained.tapped)
        PlayTempoAction(m_deck, PadTriggers::kTapTempo);
}

void MidiPads::showLight(int pad, bool lit)
{
    if (pad < 0 || pad >= kPadCount)
        return;
    m_wanted[static_cast<std::size_t>(pad)] = lit;
    if (!m_lightFlush.isActive())
        m_lightFlush.start();
}

void MidiPads::flushLights()
{
    m_lightFlush.stop();
    for (std::size_t p = 0; p < m_lights.size(); ++p) {
        const Light light = m_wanted[p] ? Light::On : Light::Off;
        if (m_lights[p] == light || !m_lightNotes[p])
            continue;
        m_lights[p] = light;
        sendLight(*m_lightNotes[p], m_wanted[p]);
    }
}

void MidiPads::sendLight(const MidiTrigger& note, bool lit)
{
    const std::uint8_t status =
        static_cast<std::uint8_t>((lit ? 0x90 : 0x80) | ((note.replyChannel() - 1) & 0x0F));
    const std::array<std::uint8_t, 3> bytes = {status, static_cast<std::uint8_t>(note.number),
                                               static_cast<std::uint8_t>(lit ? 127 : 0)};
    m_transport.send(bytes.data(), bytes.size());
}
