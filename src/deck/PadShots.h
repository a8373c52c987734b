// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioControl.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class AudioEngine;

// How a pad plays: loop (a press loops it, a second press stops it, as pads always did), one-shot
// (a press plays the file once to its end, a press again restarts it) or gate (it sounds while
// held, looping, and stops on release with the usual fade). Stored per pad as "Mode N" beside
// "Sample N" in the pad's bank ("loop", "one-shot", "gate"); anything else is loop.
enum class PadMode { Loop, OneShot, Gate };

namespace PadModes {
PadMode ModeIn(QByteArrayView settings, int deckPad);
QString Text(PadMode mode);
void Store(int deckPad, PadMode mode);
} // namespace PadModes

// The one-shots and gates that sound over the playing loop without touching it (a hit, a count, a
// cue): up to kVoices at once, each on an audio control of its own on the deck's engine. A sound
// beyond that takes the place of the one started longest ago.
class PadShots {
public:
    static constexpr int kVoices = 16;

    explicit PadShots(AudioEngine& engine);
    ~PadShots();
    PadShots(const PadShots&) = delete;
    PadShots& operator=(const PadShots&) = delete;

    // Starts deck pad `pad`'s file from its first frame: once, or looped for a gate. The pad's
    // own sound, if it still plays, starts again on the same voice. `gainDb` is the pad's own
    // gain; volume and pan are the bar's.
    void play(int pad, const std::string& path, bool loop, double gainDb, int volume, int pan);
    // A gate let go: its sound fades out. Nothing for a pad that does not sound.
    void stop(int pad);
    // Everything they play, as STOP and the tool windows silence the pads.
    void silence();
    // How many sound now.
    int sounding() const;
    bool sounds(int pad) const;

private:
    struct Shot {
        std::unique_ptr<AudioControl> control;
        int pad = -1;
        std::uint64_t started = 0;
    };
    bool active(const Shot& shot) const;
    Shot& voiceFor(int pad);

    AudioEngine& m_engine;
    std::array<Shot, kVoices> m_shots;
    std::uint64_t m_starts = 0;
};
