// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/record/TakeWriter.h"
#include "deck/TempoSettings.h"
#include "io/AudioInput.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class PadDeck;

// Recording a loop from the input onto a pad, in time. Armed, the pad's take starts on the
// grid's next bar line (after a bar of count-in when that is on) and lasts the bars asked for,
// or until the record control is pressed again, the end then falling on the next bar line.
// Without a session tempo the take starts at once and its length sets the tempo. Over the
// playing pad's own loop the take is an overdub: the loop's next cycle with the new playing
// mixed in.
//
// The mixer cuts the take from the input on its own clock, a round trip late (measured through
// a loopback cable, else as the device reports it), and a writer thread puts it on disk as the
// next free "Take N.wav" in the Sounds folder. Once whole it is bound to the pad and loops from
// the next bar line; undo discards it and gives the pad back what it had. A full disk, an
// unwritable folder or a lost input end the take with what was recorded kept as a valid file.
class LoopRecorder : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Armed, Recording, Finishing, Measuring };
    // Bars a take may be asked for; 0 is "until pressed again".
    static constexpr int kBarChoices[] = {0, 1, 2, 4, 8};

    explicit LoopRecorder(PadDeck& deck);
    ~LoopRecorder() override;

    Phase phase() const { return m_phase; }
    // A take is armed or recording: a press of its pad or of Record goes to it.
    bool taking() const { return m_phase == Phase::Armed || m_phase == Phase::Recording; }
    // The deck pad armed or recording; -1 for none.
    int pad() const { return m_pad; }
    bool overdub() const { return m_overdub; }

    // Arms deck pad `pad` for a take of `bars` (see kBarChoices); false (with a note) when no
    // input opens, the folder takes no file, or a take is under way.
    bool arm(int pad, int bars);
    // The record control again: an open take ends on the next bar line; one that waits for its
    // start is called off.
    void press();
    void cancel();
    // Discards the last take: its file, and the pad's binding and tempo go back to what they were
    // (the old loop plays again where the take played).
    bool canUndo() const { return m_undo.has_value(); }
    bool undo();

    // Sends a click out and listens for it through a loopback cable from an output to the input;
    // what comes back is stored and places every later take.
    void measureRoundTrip();
    // Frames a take is cut late by: the measured round trip, else the device's own report.
    int roundTripFrames() const;

    // Hears the input through the output (off by default: most players hear their amp).
    void setMonitoring(bool on);
    bool monitoring() const { return m_monitoring; }

    // Settings in the main section: "RecordBars" (a bar choice; 4 when unset or nonsense),
    // "RoundTrip" (milliseconds measured), "MonitorInput" ("on"/"off").
    static int StoredBars(QByteArrayView settings);
    static void StoreBars(int bars);
    static std::optional<double> StoredRoundTripMs(QByteArrayView settings);
    static bool StoredMonitoring(QByteArrayView settings);

signals:
    // Something the musician should know, for the status line.
    void note(const QString& text);
    // The phase, the armed pad or the undo changed.
    void changed();

private:
    struct Undo {
        int pad = -1;
        QString takeName;
        QString previousName;
        PadTempo previousTempo;
        bool sessionTempoSet = false; // the take set the session tempo from its length
    };

    bool openInput();
    void monitor(bool on);
    void closeInputUnlessMonitoring();
    void poll();
    void pollTake();
    void pollMeasure();
    // The recorder says the take is whole (or gave up): the writer is told how long it is.
    void takeEnded(std::int64_t frames);
    void takeWritten();
    void bindTake(const QString& fileName, std::int64_t frames);
    void setPhase(Phase phase);
    QString padText() const;

    PadDeck& m_deck;
    std::unique_ptr<AudioInput> m_input;
    std::unique_ptr<TakeWriter> m_writer;
    QTimer m_poll;
    Phase m_phase = Phase::Idle;
    int m_pad = -1;
    int m_bars = 0;
    bool m_overdub = false;
    bool m_monitoring = false;
    bool m_ended = false; // the writer was told the take's length
    bool m_lostInput = false;
    std::uint32_t m_serial = 0;     // the recorder's serial of this take or measurement
    std::uint64_t m_generation = 0; // the mixer's run the take is cut on
    std::int64_t m_lastShownBar = -1;
    std::optional<Undo> m_undo;
};
