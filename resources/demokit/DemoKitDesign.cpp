// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoKitDesign.h"

#include "Instruments.h"
#include "Reverb.h"
#include "Svf.h"
#include "sounds/NoiseGenerator.h"
#include "sounds/ReferenceSoundDesign.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace demokit {

namespace {

constexpr int kStepsPerBar = 16;
constexpr int kLoopSteps = kBars * kStepsPerBar;
constexpr double kStepFrames = static_cast<double>(kBarFrames) / kStepsPerBar; // 5512.5
// How late the off sixteenths fall, as a fraction of a sixteenth: a 55 % shuffle.
constexpr double kSwing = 0.1;

// The full mix peaks here; the parts are scaled with it, so none of them can come near full
// scale, and the MP3 encoder's ripple has room.
constexpr double kMixPeak = 0.7943; // -2 dBFS

int frameOfStep(double step)
{
    const bool offBeat = std::fmod(step, 2.0) == 1.0;
    return static_cast<int>(std::lround((step + (offBeat ? kSwing : 0.0)) * kStepFrames));
}

double seconds(double steps)
{
    return steps * kStepFrames / kSampleRate;
}

double pitch(int midiNote)
{
    return sounds::notePitch(midiNote);
}

// The harmony, one chord per bar.
struct Chord {
    int bassRoot;                // MIDI note, in the bass register
    std::array<int, 4> pad;      // the held chord, voiced close around middle C
    std::array<int, 5> arpeggio; // chord tones an octave up, low to high
};

const std::array<Chord, kBars>& chords()
{
    static const std::array<Chord, kBars> table = {{
        {33, {57, 60, 64, 67}, {69, 72, 76, 79, 81}}, // Am7:   A1 | A3 C4 E4 G4
        {29, {53, 57, 60, 64}, {65, 69, 72, 76, 77}}, // Fmaj7: F1 | F3 A3 C4 E4
        {36, {55, 60, 64, 67}, {64, 67, 72, 76, 79}}, // C:     C2 | G3 C4 E4 G4
        {31, {55, 59, 62, 67}, {62, 67, 71, 74, 79}}, // G:     G1 | G3 B3 D4 G4
    }};
    return table;
}

// Sends `send` through `effect` as the loop plays round and mixes the wet result into `part`,
// its loudness a fixed ratio of the send's, whatever the effect's own gain.
template <class Effect>
void addWet(LoopCanvas& part, const LoopCanvas& send, Effect effect, double ratio)
{
    LoopCanvas wet = processLooped(send, effect);
    const double wetLevel = wet.rms();
    if (wetLevel > 0.0)
        part.mix(wet, ratio * send.rms() / wetLevel);
}

// The pump of a part ducking under the kick, as a side-chained compressor would make it: a dip
// right after each beat that has fully recovered by the next one.
void pumpWithKick(LoopCanvas& part, double depth)
{
    for (int i = 0; i < part.frames(); ++i) {
        const double since = static_cast<double>(i % kBeatFrames) / kSampleRate;
        const double toNext = 1.0 - static_cast<double>(i % kBeatFrames) / kBeatFrames;
        const double dip = (1.0 - std::exp(-since / 0.008)) * std::exp(-since / 0.11) * toNext;
        part.left(i) *= 1.0 - depth * dip;
        part.right(i) *= 1.0 - depth * dip;
    }
}

// A steep cut below the audible range, then exact DC removal: the parts carry no offset and
// no rumble that would eat a speaker's headroom.
class SubsonicCut {
public:
    SubsonicCut()
    {
        for (Svf& filter : m_filters)
            filter.setCutoff(22.0, 0.7071);
    }
    void process(double& left, double& right)
    {
        left = m_filters[1].highpass(m_filters[0].highpass(left));
        right = m_filters[3].highpass(m_filters[2].highpass(right));
    }

private:
    std::array<Svf, 4> m_filters;
};

void finishPart(LoopCanvas& part)
{
    SubsonicCut cut;
    part = processLooped(part, cut);
    part.removeDc();
}

// A hit-by-hit seed, so no two hits of the same drum are the same noise.
std::uint64_t seedFor(std::uint64_t instrument, int step)
{
    return instrument * 1000003u + static_cast<std::uint64_t>(step);
}

LoopCanvas renderDrums()
{
    LoopCanvas drums(kLoopFrames);
    LoopCanvas roomSend(kLoopFrames);
    sounds::NoiseGenerator feel(0x6472756d);

    const std::vector<double> kickHit = kick();
    for (const Hit& hit : patternHits("X...X...X...X..."))
        drums.add(hit.frame, kickHit, 1.0 * hit.velocity);

    for (const Hit& hit : patternHits("....X.......X...")) {
        const std::vector<double> sound = clap(seedFor(1, hit.step));
        drums.add(hit.frame, sound, 0.42 * hit.velocity, -0.05);
        roomSend.add(hit.frame, sound, 0.42 * hit.velocity);
    }
    // The snare doubles the clap, and the last bar ends on a little pickup into the next pass.
    for (const Hit& hit : patternHits("....x.......x...|....x.......x...|"
                                      "....x.......x...|....x.......x.ox")) {
        const std::vector<double> sound = snare(seedFor(2, hit.step));
        drums.add(hit.frame, sound, 0.3 * hit.velocity, 0.05);
        roomSend.add(hit.frame, sound, 0.3 * hit.velocity);
    }

    // Closed hats on the sixteenths, an open hat on every off-beat; the next closed hat chokes
    // the open one, as the foot closing the hats would.
    const std::vector<Hit> closed = patternHits("xo.oxo.oxo.oxo.o");
    for (const Hit& hit : closed) {
        const double human = 1.0 + 0.12 * feel.bipolar();
        drums.add(hit.frame, hat(0.032, seedFor(3, hit.step)), 0.2 * hit.velocity * human, 0.3);
    }
    for (const Hit& hit : patternHits("..X...X...X...X.")) {
        std::vector<double> sound = hat(0.2, seedFor(4, hit.step));
        const auto next = std::find_if(closed.begin(), closed.end(),
                                       [&](const Hit& c) { return c.frame > hit.frame; });
        const int nextFrame =
            next != closed.end() ? next->frame : closed.front().frame + kLoopFrames;
        choke(sound, nextFrame - hit.frame);
        drums.add(hit.frame, sound, 0.25 * hit.velocity, -0.2);
    }

    addWet(drums, roomSend, Reverb(0.78, 0.4, 0.012), 0.35);
    return drums;
}

LoopCanvas renderBass()
{
    // Off-beat bass that leaves the kick its downbeats; octave pops and the fifth keep it moving,
    // and the last bar walks G - A - G# back into the A.
    struct Note {
        double step;
        int interval;  // semitones above the bar's root
        double length; // sixteenths
    };
    static const std::vector<Note> kGroove = {{2, 0, 1.6},  {6, 0, 1.2},  {7, 12, 0.6},
                                              {10, 0, 1.6}, {13, 7, 0.6}, {14, 12, 1.2}};
    static const std::vector<Note> kTurnaround = {{2, 0, 1.6},  {6, 0, 1.2},  {7, 12, 0.6},
                                                  {10, 0, 1.6}, {13, 2, 0.6}, {14, 1, 1.2}};

    LoopCanvas bass(kLoopFrames);
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord& chord = chords()[static_cast<std::size_t>(bar)];
        for (const Note& note : bar == kBars - 1 ? kTurnaround : kGroove) {
            const double step = bar * kStepsPerBar + note.step;
            bass.add(frameOfStep(step),
                     bassNote(pitch(chord.bassRoot + note.interval), seconds(note.length)), 1.0);
        }
    }
    return bass;
}

// The pad's filter breathes open and shut once per pass of the loop.
class PadFilter {
public:
    void process(double& left, double& right)
    {
        const double phase =
            2.0 * std::numbers::pi * static_cast<double>(m_frame % kLoopFrames) / kLoopFrames;
        const double cutoff =
            1500.0 * std::pow(2.0, 0.7 * std::sin(phase - 0.5 * std::numbers::pi));
        m_left.setCutoff(cutoff, 0.9);
        m_right.setCutoff(cutoff, 0.9);
        left = m_left.lowpass(left);
        right = m_right.lowpass(right);
        ++m_frame;
    }

private:
    long long m_frame = 0;
    Svf m_left;
    Svf m_right;
};

LoopCanvas renderChords()
{
    LoopCanvas dry(kLoopFrames);
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord& chord = chords()[static_cast<std::size_t>(bar)];
        for (std::size_t voice = 0; voice < chord.pad.size(); ++voice) {
            const StereoSound note = padNote(pitch(chord.pad[voice]), seconds(kStepsPerBar),
                                             seedFor(5, bar * 4 + static_cast<int>(voice)));
            dry.add(bar * kBarFrames, note.left, note.right, 1.0);
        }
    }
    PadFilter filter;
    LoopCanvas pad = processLooped(dry, filter);
    const LoopCanvas send = pad;
    addWet(pad, send, Reverb(0.88, 0.5, 0.03), 0.55);
    pumpWithKick(pad, 0.3);
    return pad;
}

LoopCanvas renderArpeggio()
{
    // A 3-3-2 figure (the tresillo) climbing through the chord; its dotted-eighth echo fills
    // the gaps between the notes from the other side.
    static const std::array<std::size_t, 6> kTones = {0, 1, 2, 3, 4, 2};
    LoopCanvas dry(kLoopFrames);
    std::size_t note = 0;
    for (const Hit& hit : patternHits("X..x..x.X..x..x.")) {
        if (hit.step % kStepsPerBar == 0)
            note = 0;
        const Chord& chord = chords()[static_cast<std::size_t>(hit.step / kStepsPerBar)];
        const int midi = chord.arpeggio[kTones[note++ % kTones.size()]];
        dry.add(hit.frame, pluckNote(pitch(midi), seedFor(6, hit.step)), hit.velocity);
    }
    LoopCanvas arpeggio = dry;
    // The echo keeps straight time: three sixteenths, unswung.
    const int dottedEighth = static_cast<int>(std::lround(3 * kStepFrames));
    addWet(arpeggio, dry, PingPongDelay(dottedEighth, 0.42, 3200.0), 0.5);
    addWet(arpeggio, dry, Reverb(0.85, 0.45, 0.02), 0.3);
    pumpWithKick(arpeggio, 0.15);
    return arpeggio;
}

LoopCanvas renderPercussion()
{
    LoopCanvas percussion(kLoopFrames);
    sounds::NoiseGenerator feel(0x70657263);
    for (const Hit& hit : patternHits("oxXxoxXxoxXxoxXx")) {
        const double human = 1.0 + 0.1 * feel.bipolar();
        percussion.add(hit.frame, shaker(seedFor(7, hit.step)), 0.35 * hit.velocity * human, 0.35);
    }
    // Two congas tuned to the key (A3 and E4) and a son clave across two bars.
    const std::vector<double> low = conga(pitch(57), 0x6c6f77);
    const std::vector<double> high = conga(pitch(64), 0x68696768);
    for (const Hit& hit : patternHits("...x......x.....|...x......x...x."))
        percussion.add(hit.frame, low, 0.6 * hit.velocity, -0.2);
    for (const Hit& hit : patternHits("......ox......x.|......ox..o...Xx"))
        percussion.add(hit.frame, high, 0.5 * hit.velocity, -0.4);
    const std::vector<double> wood = clave();
    for (const Hit& hit : patternHits("X.....X.....X...|....X...X......."))
        percussion.add(hit.frame, wood, 0.25 * hit.velocity, 0.45);
    LoopCanvas send = percussion;
    addWet(percussion, send, Reverb(0.8, 0.4, 0.015), 0.35);
    return percussion;
}

void levelTo(LoopCanvas& part, double decibels)
{
    const double level = part.rms();
    if (level > 0.0)
        part.scale(std::pow(10.0, decibels / 20.0) / level);
}

} // namespace

const std::vector<DemoLoopFile>& demoKitFiles()
{
    static const std::vector<DemoLoopFile> files = {
        {"Full Mix 120 Am.mp3", FileKind::Mp3},  {"Drums 120.wav", FileKind::Wave},
        {"Bass 120 Am.wav", FileKind::Wave},     {"Chords 120 Am.wav", FileKind::Wave},
        {"Arpeggio 120 Am.wav", FileKind::Wave}, {"Percussion 120.wav", FileKind::Wave},
    };
    return files;
}

std::vector<Hit> patternHits(const std::string& pattern)
{
    std::string steps;
    for (char c : pattern)
        if (c != '|')
            steps += c;
    std::vector<Hit> hits;
    if (steps.empty())
        return hits;
    for (int step = 0; step < kLoopSteps; ++step) {
        const char c = steps[static_cast<std::size_t>(step) % steps.size()];
        const double velocity = c == 'X' ? 1.0 : c == 'x' ? 0.75 : c == 'o' ? 0.45 : 0.0;
        if (velocity > 0.0)
            hits.push_back({frameOfStep(step), velocity, step});
    }
    return hits;
}

std::vector<LoopCanvas> renderDemoKit()
{
    // The balance of the band: each part's loudness relative to the drums.
    std::vector<LoopCanvas> parts;
    parts.push_back(renderDrums());
    parts.push_back(renderBass());
    parts.push_back(renderChords());
    parts.push_back(renderArpeggio());
    parts.push_back(renderPercussion());
    const std::array<double, 5> balance = {0.0, -1.5, -7.0, -10.0, -11.0};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        finishPart(parts[i]);
        levelTo(parts[i], balance[i]);
    }

    LoopCanvas mix(kLoopFrames);
    for (const LoopCanvas& part : parts)
        mix.mix(part);
    const double gain = mix.peak() > 0.0 ? kMixPeak / mix.peak() : 1.0;
    mix.scale(gain);
    std::vector<LoopCanvas> kit;
    kit.push_back(mix);
    for (LoopCanvas& part : parts) {
        part.scale(gain);
        kit.push_back(std::move(part));
    }
    return kit;
}

} // namespace demokit
