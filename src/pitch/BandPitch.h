// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pitch/PitchDetector.h"

#include <optional>
#include <vector>

namespace pitch {

// Where a band (or one musician) stands against equal temperament at A4 = 440 Hz.
struct BandEstimate {
    double cents = 0.0;       // -50..+50: how far the band's notes lie above 440 Hz tuning
    double a4 = 440.0;        // 440 * 2^(cents / 1200): the A4 the pads would have to follow
    double spreadCents = 0.0; // the notes' median absolute deviation around the band's pitch
    int notes = 0;            // the stable notes the estimate rests on
};

// One note held steady long enough to say where the band is tuned.
struct StableNote {
    double cents = 0.0;   // against 440 Hz equal temperament, folded to -50..+50
    double seconds = 0.0; // how long it stayed steady
};

// Hears a band for a few seconds and says where it is tuned, so the pads can be played with it.
//
// Readings come in at the detector's pace. Consecutive clear readings that move by at most
// kStepCents form a run; when the run ends (silence, a jump to another note, a loss of clarity)
// its readings within kSteadyCents of the run's median are its steady part, and if that part
// lasted kStableSeconds the run counts as a note, at the mean of its steady readings. A slide or
// a bend sweeps through and leaves too little steady part; a note held at the top of a bend does
// count, and the robust average below keeps it from moving the result.
//
// The estimate folds every note to -50..+50 cents (any note counts, not only A), centres them on
// their circular mean so a band near the fold is not split in two, then takes the duration-
// weighted median, and the weighted mean of the notes within kInlierCents of it. Too few notes
// or too wide a spread give nothing: guessing would put the pads out of tune with the band.
class BandPitch {
public:
    static constexpr double kMinClarity = 0.80;
    static constexpr double kStepCents = 6.0;
    static constexpr double kSteadyCents = 10.0;
    static constexpr double kStableSeconds = 0.15;
    static constexpr double kLongestWeightSeconds = 1.0; // one drone is not the whole band
    static constexpr double kInlierCents = 6.0;
    static constexpr int kMinNotes = 3;
    static constexpr double kMaxSpreadCents = 15.0;

    // seconds: the reading's time on any steady clock (frames heard / rate will do).
    void add(const PitchReading& reading, double seconds);
    // A stretch of input that does not follow on from what came before (a skipped backlog).
    void breakRun();
    void reset();

    // The notes heard so far, the one still sounding included when it is already stable.
    std::vector<StableNote> notes() const;
    // The band's pitch from notes(); nothing with fewer than kMinNotes or a spread beyond
    // kMaxSpreadCents.
    std::optional<BandEstimate> estimate() const;
    // The same for any notes; also what tells the two "nothing" cases apart, with its own
    // minimum and spread left to the caller.
    static BandEstimate measure(const std::vector<StableNote>& notes);
    static std::optional<BandEstimate> estimateOf(const std::vector<StableNote>& notes);

    // Cents against 440 Hz equal temperament, folded to -50..+50 (0 for no frequency).
    static double foldedCents(double frequency);
    static double a4For(double cents);

private:
    struct Heard {
        double seconds;
        double cents; // unfolded, against A4 = 440 Hz
    };
    std::optional<StableNote> steadyPart() const;
    void closeRun();

    std::vector<Heard> m_run;
    std::vector<StableNote> m_notes;
};

} // namespace pitch
