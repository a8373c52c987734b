// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiClockIn.h"
#include "MidiControls.h"
#include "deck/PadTriggers.h"
#include "io/MidiMessage.h"
#include "io/MidiTransport.h"
#include "io/SpscQueue.h"

#include <QObject>

#include <QSocketNotifier>
#include <QTimer>
#include <functional>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

class PadDeck;

// The pads on a MIDI controller.
//
// In: messages arrive on the transport's thread and go into a bounded lock-free queue (never a
// lock or an allocation there; what does not fit is dropped and counted). The UI thread drains
// it as soon as the transport's thread wakes it (one write to an eventfd per burst, never a
// timer polling an idle queue): a note-on (velocity > 0) presses its pad and a note-off releases
// it, exactly as the mouse does, through the deck; a learned control change moves the volume or
// the pan, or sets the session tempo. A waiting learn sees every note-on and control change first.
// A MIDI clock, when followed, sets the session tempo (MidiClockIn).
//
// Which note plays which pad comes from the trigger map (notes 36..63 play pads 1..28 unless
// learned otherwise); a note learned for the next- or previous-pad action presses the next or
// previous bound pad, as Page Down and Page Up do (a pedal's note-off does nothing more); one
// learned for Tempo Up, Tempo Down or Tap Tempo nudges or taps the session tempo as its keys do.
//
// Floods: one drain handles at most kMaxMessagesPerDrain messages, and of them only each pad's
// last press (with the release after it) and only the newest kMaxPressesPerDrain presses are
// played; a control's last value is applied once. In play a drain holds one or two messages,
// so nothing is merged then.
//
// Out: the pads' lights. Whenever a pad turns lit or dark (a press, a switch at the loop's end,
// a stop by a page change or a preview), a note-on with velocity 127 or a note-off goes to the
// pad's note (PadTriggers::padNote), only when that pad's light changed. Lights are sent once
// the UI event that changed them is over, so a press that redraws every pad (and the playing
// pad pressed again, lit for a moment before it stops) sends only what changed in the end.
class MidiPads : public QObject {
public:
    static constexpr std::size_t kQueueSize = 4096;
    // A flood larger than one drain is drained again this much later.
    static constexpr int kDrainMs = 4;
    static constexpr int kMaxMessagesPerDrain = 512;
    static constexpr int kMaxPressesPerDrain = 4;

    MidiPads(PadDeck& deck, MidiTransport& transport);
    ~MidiPads() override;
    MidiPads(const MidiPads&) = delete;
    MidiPads& operator=(const MidiPads&) = delete;

    // Reads the trigger map again; lights that moved to another note are sent there.
    void reload();
    // Whoever records takes: a note learned for "Record" or "Undo Take" is handed over
    // (PadTriggers::kRecord, kUndoTake) on its note-on, and a pad's press goes first to
    // `takesPress`, which plays nothing when it takes the press (arming that pad, or ending its
    // take).
    std::function<void(int action)> recordAction;
    std::function<bool(int pad)> takesPress;
    // Plays what the queue holds (the drain timer calls it).
    void drain();

    MidiTransport& transport() { return m_transport; }
    MidiControls& controls() { return m_controls; }
    MidiClockIn& clockIn() { return m_clockIn; }
    const PadTriggers& triggers() const { return m_triggers; }
    // Messages dropped because the queue was full.
    std::uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

    // The transport's thread.
    void receive(const std::uint8_t* bytes, std::size_t size);

    // Sends the lights that changed since they were last sent.
    void flushLights();

private:
    // A drain's parts: taking the queued messages, then playing the pads they pressed and
    // released, then the next- and previous-pad steps.
    struct Drained;
    Drained takeQueued();
    void take(const MidiMessage& message, Drained& drained);
    void playPads(const Drained& drained);
    void stepPads(int steps);
    void playTempo(const Drained& drained);
    void showLight(int pad, bool lit);
    void sendLight(const MidiTrigger& note, bool lit);
    int padOf(const MidiMessage& message) const;

    PadDeck& m_deck;
    MidiTransport& m_transport;
    MidiControls m_controls;
    MidiClockIn m_clockIn;
    PadTriggers m_triggers;
    SpscQueue<MidiMessage, kQueueSize> m_queue;
    std::atomic<std::uint64_t> m_dropped{0};
    QTimer m_drainTimer; // the rest of a flood
    int m_wakeFd = -1;   // eventfd the transport's thread writes to when messages wait
    std::atomic<bool> m_wakePending{false};
    QSocketNotifier* m_wakeNotifier = nullptr;

    enum class Light : signed char { Unknown = -1, Off = 0, On = 1 };
    std::array<Light, kPadCount> m_lights{}; // as last sent
    std::array<bool, kPadCount> m_wanted{};  // as the pads show now
    QTimer m_lightFlush;
    std::array<std::optional<MidiTrigger>, kPadCount> m_lightNotes{};
    // The note a learn took: its note-off must not release a pad.
    std::optional<MidiMessage> m_learnedNote;
};
