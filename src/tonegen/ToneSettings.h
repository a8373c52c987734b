// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ToneRange.h"

// What the tone generator remembers between openings, in the main section of the settings file:
// "ToneFreq" the frequency in Hz (1 to 20000), "ToneVol" the level as the knob's scale holds it
// (0 to 1000, 800 being 0.8) and "ToneRange" the picked range by its menu caption (absent until
// a range is picked). A stored value that is no whole number, lies out of range, or names no
// range stands for the value an opening starts with.
struct ToneSettings {
    static constexpr int kDefaultFrequency = 1000;
    static constexpr int kDefaultLevel = 800;

    int frequency = kDefaultFrequency;
    int level = kDefaultLevel;
    ToneRange::Range range = ToneRange::Range::Scale;

    // The three values of the settings file as one read finds them.
    static ToneSettings Read();

    // Stores the values that differ from before (what was read or last written), so a release
    // that changed nothing leaves the file alone.
    void WriteChanges(const ToneSettings& before) const;

    bool operator==(const ToneSettings&) const = default;
};
