// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/AudioInput.h"
#include "io/MonoRing.h"
#include "pitch/PitchDetector.h"
#include "pitch/TargetHold.h"
#include "pitch/Tuning.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The tuner's ears: while listening it hears the input (the JACK client's "in" or SDL's capture
// device), finds the pitch and keeps the string it names steady, for the tuner's face to show.
//
// The input's thread only copies its frames into a lock-free ring. Everything else runs on the
// UI thread: a timer (every kPollMilliseconds, only while listening) drains the ring into the
// pitch detector and the hold. Nothing of the analysis ever runs in the output's callback or
// the input's, so playback is not disturbed by listening.
//
// An input that is missing, fails, disappears or runs at a rate the detector cannot take reads
// as NoInput; the listener then tries to open one again every kReopenMilliseconds.
class TunerListener : public QObject {
    Q_OBJECT

public:
    enum class State {
        Off,     // not listening
        NoInput, // listening, but there is nothing to hear
        Paused,  // a reference tone sounds: the tuner does not read its own tone
        Parked,  // hearing silence or noise: the needle rests
        Pitch,   // held(): the string or note, its deviation in cents, the frequency
    };
    static constexpr int kPollMilliseconds = 20;
    static constexpr int kReopenMilliseconds = 1000;

    // Opens the input to hear, calling the sink; null when there is none.
    using InputOpener =
        std::function<std::unique_ptr<AudioInput>(AudioInput::Sink sink, void* context)>;
    explicit TunerListener(InputOpener openInput, QObject* parent = nullptr);
    ~TunerListener() override;

    // Opens the input and starts reading (does nothing while listening).
    void start();
    // Closes the input at once; the state turns Off.
    void stop();
    bool isListening() const { return m_listening; }

    // The strings to aim at and the A4 they are tuned to.
    void setTuning(const pitch::Tuning& tuning);
    const pitch::Tuning& tuning() const { return m_tuning; }

    // While paused, what is heard is thrown away and the held string forgotten; reading starts
    // afresh, from what is heard after it, when the pause ends.
    void setPaused(bool paused);

    State state() const { return m_shown.state; }
    // What State::Pitch shows; parked otherwise.
    const pitch::HeldTarget& held() const { return m_held; }
    // The input heard now ("jack", "sdl", "offline"; "" with none) and its rate (0 with none).
    const char* inputName() const { return m_input ? m_input->name() : ""; }
    int inputRate() const { return m_input ? m_input->rate() : 0; }
    // Frames the input sent that found the ring full (a UI thread held up for a long while).
    std::size_t droppedFrames() const { return m_ring.dropped(); }

    // Told of every reading the detector makes while listening, with its time in seconds of
    // input heard, before the face is told. A reading without pitch also comes where the wave
    // read next does not follow on from the last (a pause, a skipped backlog, a reopened input).
    // The band's pitch is measured from these.
    using ReadingListener = std::function<void(const pitch::PitchReading& reading, double seconds)>;
    void setReadingListener(ReadingListener listener) { m_readingListener = std::move(listener); }

    // One step of the timer, at once: drains what the input sent, or (with no input) tries to
    // open one. Tests drive the listener with it.
    void poll();

signals:
    // What the face shows changed: the state, the string or note, the cents or the frequency
    // to one decimal.
    void changed();

private:
    struct Shown {
        State state = State::Off;
        int note = 0;
        int string = -1;
        long centsTenths = 0;
        long frequencyTenths = 0;
        bool operator==(const Shown&) const = default;
    };

    static void sink(void* self, const float* mono, int frames);
    void openInput();
    void closeInput();
    void drain();
    void analyse(float* block, int frames);
    void restartReading();
    void publish();

    double heardSeconds() const;

    InputOpener m_openInput;
    ReadingListener m_readingListener;
    MonoRing m_ring;
    std::unique_ptr<AudioInput> m_input;
    std::unique_ptr<pitch::PitchDetector> m_detector;
    pitch::TargetHold m_hold;
    pitch::Tuning m_tuning;
    pitch::HeldTarget m_held;
    std::vector<float> m_block;
    std::uint64_t m_readingsSeen = 0;
    std::size_t m_droppedSeen = 0;
    std::int64_t m_heardFrames = 0; // the hold's clock: frames read since the input opened
    bool m_listening = false;
    bool m_paused = false;
    QTimer m_timer;
    Shown m_shown;
};
