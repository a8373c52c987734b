// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pitch {

enum class TuningKind { Standard, DropD, DStandard, OpenG, OpenD, Dadgad, HalfStepDown, Chromatic };

// The string (or, in chromatic mode, the note) a heard frequency is compared with.
struct Target {
    int note = 69;          // MIDI numbering, 69 = A4
    int string = -1;        // 0 = lowest string; -1 in chromatic mode
    double frequency = 0.0; // Hz at the chosen A4
    double cents = 0.0;     // how far the heard frequency lies above (+) or below (-) it
};

// A guitar tuning at a reference pitch A4. Pure values: cheap to copy, no state.
//
// The six strings run low to high (index 0 is the low string, the thickest). Chromatic mode
// has no strings of its own to aim at: its nearest target is any note, and its reference tones
// are those of standard tuning at the chosen A4.
class Tuning {
public:
    static constexpr double kMinA4 = 430.0;
    static constexpr double kMaxA4 = 450.0;
    static constexpr double kA4Step = 0.5;
    // A band's measured pitch is followed more finely than the face's steps.
    static constexpr double kFineA4Step = 0.1;
    static constexpr double kDefaultA4 = 440.0;
    static constexpr int kStrings = 6;

    Tuning() = default;
    // a4 is rounded to the nearest step and kept in range; NaN gives the default.
    explicit Tuning(TuningKind kind, double a4 = kDefaultA4);
    // The same with a4 rounded to the nearest tenth of a hertz instead (a band's pitch).
    static Tuning withFineA4(TuningKind kind, double a4);

    TuningKind kind() const { return m_kind; }
    double a4() const { return m_a4; }
    bool isChromatic() const { return m_kind == TuningKind::Chromatic; }

    std::string_view displayName() const { return displayName(m_kind); }
    static std::string_view displayName(TuningKind kind);
    static const std::array<TuningKind, 8>& allKinds();

    // The strings' notes (MIDI), low to high.
    std::array<int, kStrings> stringNotes() const;
    double noteFrequency(int midiNote) const;
    double stringFrequency(int string) const; // string 0..5, low to high; 0 outside
    std::string stringName(int string) const; // "D2", "F#3"; "" outside

    // The rate a stored reference sound of this string (recorded in standard tuning at
    // A4 = 440 Hz) must be played at to sound this tuning's string at this A4.
    double referencePlaybackRatio(int string) const;

    // The string (or note) nearest to frequency, with the deviation in cents. A frequency that
    // is not above zero gives A4 at zero cents.
    Target nearestTarget(double frequency) const;
    // The same comparison against one chosen string (or note).
    Target targetFor(int note, int string, double frequency) const;

    // Settings-file text: "440.0", "438.6", "Drop D". Parsing refuses anything else (more than
    // one decimal, out of range) and falls back.
    std::string a4Text() const;
    std::string tuningText() const { return std::string(displayName()); }
    static std::optional<double> parseA4(std::string_view text);
    static std::optional<TuningKind> parseTuning(std::string_view text);
    // Both stored values at once; what does not parse takes its default.
    static Tuning fromText(std::string_view a4Text, std::string_view tuningText);

    bool operator==(const Tuning&) const = default;

private:
    TuningKind m_kind = TuningKind::Standard;
    double m_a4 = kDefaultA4;
};

// The name of a MIDI note, sharps for the black keys, with its octave: "A4", "D#2".
std::string noteName(int midiNote);
// The same without its octave, as a guitarist names a string: "A", "F#".
std::string noteLetter(int midiNote);

// How many cents frequency lies above reference (both above zero).
double centsBetween(double frequency, double reference);

} // namespace pitch
