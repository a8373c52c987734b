// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoudnessSettings.h"
#include "PadShots.h"
#include "SessionTempo.h"
#include "Setlist.h"
#include "TempoSettings.h"
#include "audio/AudioControl.h"
#include "audio/sounds/StretchedSounds.h"
#include "core/PadBanks.h"
#include "core/PadCount.h"

class PadBindings;
class TempoScout;

#include <QObject>
#include <QTimer>

#include <array>
#include <map>
#include <optional>

// What the 28 pads share, and the one way into them: every trigger (the mouse on the bar, keys,
// and whatever else plays pads) presses and releases pads here. The deck owns the bar's audio
// control, which the settings window's previews and the tone generator's pink noise play on as
// well; it knows which pad plays and which pads are lit, and tells whoever draws the pads.
class PadDeck : public QObject {
    Q_OBJECT
public:
    static constexpr short kNoPad = 100;

    // When a press on another pad takes over: at once, on the frame after the playing loop's
    // current cycle ends, or on the next beat or bar line of the session tempo (counted from the
    // playing loop's start), so a live set changes in time.
    enum class SwitchMode { AtOnce, AtLoopEnd, OnNextBeat, OnNextBar };

    AudioControl DMC;
    // Pad 0..27 whose file plays on DMC, in its bank (activeDeckPad() names the bank too); 100 =
    // none. A loop goes on playing when another bank is shown, so it may not be a shown pad.
    short ActivePad = kNoPad;
    short PadPressFailed = 0; // 1 when the last press found nothing to play
    // The pad that takes over at the playing loop's cycle end; ActivePad itself when the loop is
    // to stop there; 100 = nothing waits. In its own bank, as ActivePad.
    short PendingPad = kNoPad;

    // The pads play through `engine`.
    explicit PadDeck(AudioEngine& engine);
    ~PadDeck() override;

    // A press on pad index: it lights alone, and its file loops, stops (the playing pad) or
    // takes over from the one that played. A pad without a playable file lights only until its
    // release.
    void press(int index);
    void release(int index);
    // The same for a pad of any bank (a deck pad, PadBanks: bank * 28 + index).
    void pressPad(int pad);
    void releasePad(int pad);

    // ---- Banks ------------------------------------------------------------------------------
    // Shows bank 0..7 (A..H) on the pads and stores it ("Bank" in the main section); the loop
    // that plays goes on playing, lit again when its bank is shown. Out of range, or the bank
    // shown already, does nothing.
    void showBank(int bank);
    // The bank a settings file's text stores as shown; A for none or nonsense.
    static int StoredBank(QByteArrayView settings);
    // The playing and the waiting pad as deck pads (-1: none), and as shown pads (kNoPad when
    // none, or when it is in another bank than the shown one).
    int activeDeckPad() const;
    int pendingDeckPad() const;
    short shownActivePad() const;
    short shownPendingPad() const;

    // Selects channel 1 and stops what sounds on the sample channel and the stream, and every
    // one-shot and gate.
    void silence();
    // The one-shots and gates that sound over the loop (pads in those modes, see PadShots).
    const PadShots& shots() const { return m_shots; }
    // The pad that played plays no more (something else took the audio control): it goes dark.
    void forgetActivePad();

    // The next (direction +1) or previous (-1) pad with a binding after the pad that waits to
    // take over, else the one that plays, wrapping round; with neither, the first (last) bound
    // pad. -1 when no other pad is bound. For foot pedals and page turners.
    int steppedPad(int direction) const;
    // Presses and releases that pad at once, as a pedal's tap does; false when there is none.
    bool step(int direction);

    // Another program started the music (a MIDI Start, JACK's transport rolling): with nothing
    // playing, the last pad played (else the first bound one) starts, its loop's first frame the
    // grid's first bar line (a stop from outside still waiting is called off). Stopped: the
    // playing loop ends at its cycle's end, on a bar line.
    void startFromOutside();
    void stopFromOutside();

    // A take just recorded onto deck pad `pad` (already bound to it) loops from the grid's next
    // bar line: it takes over from the loop that plays there (the pad's own, for an overdub),
    // or starts there from silence. Without a grid it starts at once.
    void playRecordedTake(int pad);

    // The bound pads' files are decoded in the background, so a press starts them at once.
    void keepBoundSoundsReady(const PadBindings& bindings);

    // How far the playing pad's loop is through its current cycle, 0..1.
    double loopProgress() const { return DMC.LoopProgress(); }

    // The switch mode, stored in the main section of the settings file ("Switch": "at once",
    // "at loop end", "on next beat" or "on next bar"); anything else reads as at once. Without a
    // session tempo, the beat and the bar switch at the loop's end.
    static SwitchMode StoredSwitchMode();
    static SwitchMode SwitchModeIn(const QByteArray& settings);
    static void StoreSwitchMode(SwitchMode mode);

    // ---- Tempo and key ----------------------------------------------------------------------
    // The session's tempo, key, band pitch and metronome; the deck follows every change.
    SessionTempo Tempo;
    // The evening's songs: choosing one shows its bank and sets its tempo and key.
    Setlist Songs;
    // A pad's own tempo and shift, as stored for the file it is bound to.
    PadTempo padTempo(int index) const;
    PadKey padKey(int index) const;
    // Stores a pad's tempo (typed, tapped, "none") or shift, and renders it again.
    void setPadTempo(int index, const PadTempo& tempo);
    void setPadKey(int index, const PadKey& key);
    // Forgets the pad's stored tempo and has it found again from its file.
    void findPadTempoAgain(int index);
    // How long the pad's file lasts, in seconds (0 when it is unbound or unreadable): typed bars
    // give the tempo at which the loop lasts them.
    double padLoopSeconds(int index) const;
    // Loudness: the pad's bound file as measured (unknown until the scout has heard it), the
    // gain in dB it plays with on top of the volume, and matching, which gives every measured
    // pad the gain that brings it to the target loudness without its true peak passing the
    // ceiling. Returns how many pads it matched; the playing pad takes its new gain at once.
    PadLoudness padLoudness(int index) const;
    double padGain(int index) const;
    int matchLoudness();
    // Every pad back to no gain of its own.
    void clearLoudnessMatch();
    // The session tempo's beat in frames at the engine's rate; 0 without a tempo.
    double beatFrames() const;
    // Hands the session's tempo and metronome to the engine, which forgets them when it starts.
    void applySessionToEngine();
    // Has every bound pad's render made ready as the settings file now says (also after a hand
    // edit of a pad's tempo or key), and listens to pads whose tempo is unknown.
    void renderBoundPads();

    bool isLit(int index) const;
    // Index 100 (no pad) and other indexes outside the pads do nothing.
    void setLit(int index, bool lit);

signals:
    // A pad was drawn lit or unlit (also when it already was: every press redraws all pads).
    void padLit(int index, bool lit);
    // ActivePad changed.
    void activePadChanged(int index);
    // PendingPad changed (100: nothing waits any more).
    void pendingPadChanged(int index);
    // Another bank is shown: the pads' names, lights and notes are to follow it.
    void bankShown(int bank);
    // A pad's tempo was found, typed or changed.
    void padTempoChanged(int index);
    // A pad's loudness was measured, or its gain changed.
    void padLoudnessChanged(int index);
    // Something the musician should know, for the status line ("Pad 3 plays at its own tempo
    // until its stretch is ready").
    void note(const QString& text);

private:
    // Deck pads; -1 for none.
    void setActivePad(int pad);
    void setPendingPad(int pad);
    // Lights a deck pad, if its bank is shown.
    void light(int pad, bool lit);
    // The shown index of a deck pad; -1 when its bank is not shown.
    static int shownIndex(int pad);
    // Starts the pad's loop from silence (on the grid's next bar line with `onNextBar`), at the
    // session's tempo and key, with its stored gains.
    void startLoop(int pad, const QString& path, const QByteArray& settings, bool onNextBar);
    void pressAtLoopEnd(int pad, const QString& path, const QByteArray& settings,
                        std::optional<Mixer::SwitchAt> at = std::nullopt);
    // A press on a one-shot or a gate pad.
    void pressShot(int pad, PadMode mode, const std::string& path, const QByteArray& settings);
    // The loop alone stops (a press on a loop pad leaves one-shots sounding).
    void silenceLoop();
    // Brings ActivePad and the lights up to date once the audio thread made the switch or the
    // stop at the cycle's end.
    void settlePending();
    // Volume and pan as the settings file's text stores them, and the pad's own gain.
    void applyStoredGains(const QByteArray& settings, int pad);
    // Loudness (PadDeckLoudness.cpp).
    void loudnessMeasured(int pad, const QString& fileName, const PadLoudness& loudness);

    // Tempo and key (PadDeckTempo.cpp).
    void setUpTempo();
    void playSong(const Song& song);
    void tearDownTempo();
    // How the pad's file is to be heard now: at the session tempo and in the session's key.
    SoundRender renderOf(int pad, const QByteArray& settings) const;
    static bool isPlain(const SoundRender& render);
    void tempoFound(int pad, const QString& fileName, const PadTempo& tempo);
    void sessionChanged();
    // The playing loop takes the render it should now play at the next bar line, once that is
    // ready; until then it plays on as it is.
    void followPlayingRender();
    void followPlayingRender(const QByteArray& settings);
    // After a press started the pad: what it plays, and a note when its render is not ready.
    void startedWithRender(int pad, const SoundRender& render, bool rendered,
                           const QByteArray& settings);

    QTimer m_pendingWatch; // runs while something waits for the cycle end
    std::unique_ptr<TempoScout> m_scout;
    std::array<QString, PadBanks::kDeckPads> m_scouted;  // the file each pad was listened to for
    std::array<QString, PadBanks::kDeckPads> m_measured; // the file each pad was measured for
    SoundRender m_playingRender;                         // what the playing loop plays
    SoundRender m_queuedRender;  // what the pad waiting for the switch plays
    bool m_followRender = false; // the playing loop waits for its new render

    PadShots m_shots;
    std::map<int, PadMode> m_heldShots; // one-shot and gate pads held down, as pressed
    std::array<bool, kPadCount> m_lit{};
    int m_activeBank = 0;  // the bank of ActivePad
    int m_pendingBank = 0; // the bank of PendingPad
    int m_lastPlayed = -1; // the deck pad a start from outside plays
};
