// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

// Loudness as the settings file keeps it, readable and editable by hand. Per pad, in the pads'
// section beside "Sample N":
//   Loudness 3=-18.2         the bound file's integrated loudness in LUFS; "none" for a file
//                            without one (silence, too short to tell)
//   Peak 3=-3.1              its true peak in dBTP
//   Loudness 3 of=Bass.wav   the file it was measured for: bound to another, it is measured again
//   Gain 3=2.2               what matching gave the pad, in dB, on top of the volume (0 without)
// In the main section:
//   LoudnessTarget=-16       the loudness matching aims at, in LUFS (-40..-5)
//   LoudnessMatch=off        on: the pads are matched, and a pad measured later is matched too
// Anything unreadable reads as unmeasured, no gain and the default target, so a file without
// these keys plays as it did.
struct PadLoudness {
    enum class Kind { Unknown, Set, None };
    Kind kind = Kind::Unknown;
    double lufs = 0.0;
    double peakDbtp = 0.0;
    bool operator==(const PadLoudness&) const = default;
};

namespace LoudnessSettings {

inline constexpr double kDefaultTarget = -16.0;
inline constexpr double kCeilingDbtp = -1.0;
inline constexpr double kMaxGainDb = 24.0;

PadLoudness PadLoudnessIn(QByteArrayView text, int pad);
void StorePadLoudness(int pad, const PadLoudness& loudness, const QString& fileName);
double PadGainIn(QByteArrayView text, int pad);
void StorePadGain(int pad, double gainDb);
double TargetIn(QByteArrayView text);
bool MatchIn(QByteArrayView text);
void StoreMatch(bool on);
// The gain matching gives a pad of `loudness` (0 for one not measured or without loudness).
double MatchGainDb(const PadLoudness& loudness, double targetLufs);

} // namespace LoudnessSettings
