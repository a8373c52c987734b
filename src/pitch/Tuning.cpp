// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tuning.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace pitch {

namespace {
struct TuningEntry {
    TuningKind kind;
    std::string_view name;
    std::array<int, Tuning::kStrings> notes; // low to high
};

// Chromatic lists standard tuning's strings: they are what its reference tones play.
constexpr std::array<TuningEntry, 8> kTunings{{
    {TuningKind::Standard, "Standard", {40, 45, 50, 55, 59, 64}},
    {TuningKind::DropD, "Drop D", {38, 45, 50, 55, 59, 64}},
    {TuningKind::DStandard, "D Standard", {38, 43, 48, 53, 57, 62}},
    {TuningKind::OpenG, "Open G", {38, 43, 50, 55, 59, 62}},
    {TuningKind::OpenD, "Open D", {38, 45, 50, 54, 57, 62}},
    {TuningKind::Dadgad, "DADGAD", {38, 45, 50, 55, 57, 62}},
    {TuningKind::HalfStepDown, "Half Step Down", {39, 44, 49, 54, 58, 63}},
    {TuningKind::Chromatic, "Chromatic", {40, 45, 50, 55, 59, 64}},
}};

const TuningEntry& entryFor(TuningKind kind)
{
    for (const TuningEntry& entry : kTunings)
        if (entry.kind == kind)
            return entry;
    return kTunings[0];
}

// Steps counted in whole numbers per hertz, so that 438.6 is the same double however it came.
constexpr double kStepsPerHertz = 1.0 / Tuning::kA4Step;
constexpr double kFineStepsPerHertz = 10.0;
static_assert(Tuning::kFineA4Step == 1.0 / kFineStepsPerHertz);

double snappedA4(double a4, double stepsPerHertz)
{
    if (!std::isfinite(a4))
        return Tuning::kDefaultA4;
    const double clamped = std::clamp(a4, Tuning::kMinA4, Tuning::kMaxA4);
    return std::round(clamped * stepsPerHertz) / stepsPerHertz;
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
} // namespace

Tuning::Tuning(TuningKind kind, double a4)
    : m_kind(entryFor(kind).kind), m_a4(snappedA4(a4, kStepsPerHertz))
{
}

Tuning Tuning::withFineA4(TuningKind kind, double a4)
{
    Tuning tuning(kind);
    tuning.m_a4 = snappedA4(a4, kFineStepsPerHertz);
    return tuning;
}

std::string_view Tuning::displayName(TuningKind kind)
{
    return entryFor(kind).name;
}

const std::array<TuningKind, 8>& Tuning::allKinds()
{
    static const std::array<TuningKind, 8> kinds = [] {
        std::array<TuningKind, 8> all{};
        for (std::size_t i = 0; i < kTunings.size(); ++i)
            all[i] = kTunings[i].kind;
        return all;
    }();
    return kinds;
}

std::array<int, Tuning::kStrings> Tuning::stringNotes() const
{
    return entryFor(m_kind).notes;
}

double Tuning::noteFrequency(int midiNote) const
{
    return m_a4 * std::exp2((midiNote - 69) / 12.0);
}

double Tuning::stringFrequency(int string) const
{
    if (string < 0 || string >= kStrings)
        return 0.0;
    return noteFrequency(stringNotes()[static_cast<std::size_t>(string)]);
}

std::string Tuning::stringName(int string) const
{
    if (string < 0 || string >= kStrings)
        return {};
    return noteName(stringNotes()[static_cast<std::size_t>(string)]);
}

double Tuning::referencePlaybackRatio(int string) const
{
    if (string < 0 || string >= kStrings)
        return 1.0;
    const Tuning recorded(TuningKind::Standard, kDefaultA4);
    return stringFrequency(string) / recorded.stringFrequency(string);
}

Target Tuning::targetFor(int note, int string, double frequency) const
{
    Target target;
    target.note = note;
    target.string = string;
    target.frequency = noteFrequency(note);
    target.cents = centsBetween(frequency, target.frequency);
    return target;
}

Target Tuning::nearestTarget(double frequency) const
{
    if (!(frequency > 0.0) || !std::isfinite(frequency))
        return targetFor(69, -1, noteFrequency(69));
    if (isChromatic()) {
        const double note = 69.0 + 12.0 * std::log2(frequency / m_a4);
        const int nearest = static_cast<int>(std::lround(std::clamp(note, 0.0, 127.0)));
        return targetFor(nearest, -1, frequency);
    }
    // Nearest in cents, so the boundary between two strings lies halfway in pitch.
    const auto notes = stringNotes();
    Target best = targetFor(notes[0], 0, frequency);
    for (int s = 1; s < kStrings; ++s) {
        const Target candidate = targetFor(notes[static_cast<std::size_t>(s)], s, frequency);
        if (std::abs(candidate.cents) < std::abs(best.cents))
            best = candidate;
    }
    return best;
}

std::string Tuning::a4Text() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", m_a4);
    return text;
}

std::optional<double> Tuning::parseA4(std::string_view text)
{
    // Plain decimal with a point, as written by a4Text(); no locale, no exponent, no sign.
    text = trimmed(text);
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    const bool plain = std::all_of(text.begin(), text.end(),
                                   [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    if (!plain || std::count(text.begin(), text.end(), '.') > 1 || text.front() == '.' ||
        text.back() == '.')
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    if (value < kMinA4 || value > kMaxA4)
        return std::nullopt;
    // Tenths at most: the face's half-hertz steps and a band's measured pitch are all the tuner
    // writes.
    if (std::abs(value * kFineStepsPerHertz - std::round(value * kFineStepsPerHertz)) > 1e-6)
        return std::nullopt;
    return snappedA4(value, kFineStepsPerHertz);
}

std::optional<TuningKind> Tuning::parseTuning(std::string_view text)
{
    text = trimmed(text);
    for (const TuningEntry& entry : kTunings)
        if (sameLetters(text, entry.name))
            return entry.kind;
    return std::nullopt;
}

Tuning Tuning::fromText(std::string_view a4Text, std::string_view tuningText)
{
    return withFineA4(parseTuning(tuningText).value_or(TuningKind::Standard),
                      parseA4(a4Text).value_or(kDefaultA4));
}

std::string noteLetter(int midiNote)
{
    static constexpr std::array<std::string_view, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                             "F#", "G",  "G#", "A",  "A#", "B"};
    return std::string(kNames[static_cast<std::size_t>(((midiNote % 12) + 12) % 12)]);
}

std::string noteName(int midiNote)
{
    const int pitchClass = ((midiNote % 12) + 12) % 12;
    const int octave = (midiNote - pitchClass) / 12 - 1;
    return noteLetter(midiNote) + std::to_string(octave);
}

double centsBetween(double frequency, double reference)
{
    return 1200.0 * std::log2(frequency / reference);
}

} // namespace pitch
