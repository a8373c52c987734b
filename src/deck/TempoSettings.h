// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

// Tempo and key as the settings file keeps them, readable and editable by hand.
//
// Per pad, in the pads' section beside "Sample N":
//   Tempo 3=96.00        the loop's own tempo in BPM; "none" for a pad that never stretches
//   Bars 3=2             how many 4/4 bars the loop lasts
//   Tempo 3 of=Bass.wav  the file the tempo was found for: when the pad is bound to another
//                        file, its tempo reads as unknown and is found again
//   Transpose 3=-2       the pad's own shift in semitones (-12..12) ...
//   Cents 3=15           ... and cents (-50..50)
// A pad without "Tempo N" (every file written before tempo existed) reads as unknown.
//
// For the session, in the main section:
//   Tempo=off            or the session tempo in BPM; off plays every pad at its own tempo
//   Transpose=0          every pad's shift in semitones, and
//   TransposeCents=0     cents
//   BandA4=440.0         the band's A4 as the tuner measured it: every pad is tuned to it
//   Metronome=off        on: a click on every beat of the session tempo
//   MetronomeLevel=70    0..100
//   CountIn=off          on: one bar of clicks before a loop that starts from silence
// Anything unreadable reads as the default, so a file edited into nonsense plays as today.
struct PadTempo {
    enum class Kind { Unknown, Set, None };
    Kind kind = Kind::Unknown;
    double bpm = 0.0;
    int bars = 0;
    bool operator==(const PadTempo&) const = default;
};

struct PadKey {
    int semitones = 0;
    int cents = 0;
    bool operator==(const PadKey&) const = default;
};

struct SessionKeyAndTempo {
    double tempo = 0.0; // BPM; 0 = off
    int semitones = 0;
    int cents = 0;
    double bandA4 = 440.0;
    bool metronome = false;
    int metronomeLevel = 70;
    bool countIn = false;
    bool operator==(const SessionKeyAndTempo&) const = default;
};

namespace TempoSettings {

inline constexpr double kMinTempo = 30.0;
inline constexpr double kMaxTempo = 300.0;
inline constexpr int kMaxBars = 256;
inline constexpr int kMaxSemitones = 12;
inline constexpr int kMaxCents = 50;
inline constexpr double kMinBandA4 = 430.0;
inline constexpr double kMaxBandA4 = 450.0;
// A pad stretches from half to twice its own tempo; past that it plays at its own.
inline constexpr double kMinStretch = 0.5;
inline constexpr double kMaxStretch = 2.0;

// The (deck) pad's tempo in a settings file's text, checked against the file it is bound to.
PadTempo PadTempoIn(QByteArrayView text, int pad);
void StorePadTempo(int pad, const PadTempo& tempo, const QString& fileName);
PadKey PadKeyIn(QByteArrayView text, int pad);
void StorePadKey(int pad, const PadKey& key);

SessionKeyAndTempo SessionIn(QByteArrayView text);
void StoreSession(const SessionKeyAndTempo& session, const SessionKeyAndTempo& before);

// How far a pad is shifted: the session's and its own transposition and the band's pitch, as a
// frequency ratio (1 = as recorded).
double PitchScale(const SessionKeyAndTempo& session, const PadKey& key);
// How long one cycle of the pad's loop lasts at the session tempo, in frames at `rate`
// (fractional: the mixer carries the fraction); 0 when the pad plays at its own tempo (no
// session tempo, no tempo of its own, or a stretch beyond half or twice).
double CycleFrames(const SessionKeyAndTempo& session, const PadTempo& tempo, int rate);

// A tempo for people and the settings file: "120.0" (one decimal), "off" for 0.
QString TempoText(double bpm);
// "+2 st -15 ct", "0 st": a shift for the bar and the settings page.
QString KeyText(int semitones, int cents);

} // namespace TempoSettings
