// SPDX-License-Identifier: GPL-3.0-or-later
// The deck's loudness: what the scout measured of each pad's file, and the gains that match the
// pads to one loudness.
#include "PadDeck.h"
#include "PadSettingValues.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"

namespace {

QByteArray SettingsNow()
{
    return ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
}

} // namespace

void PadDeck::loudnessMeasured(int pad, const QString& fileName, const PadLoudness& loudness)
{
    // Rebound meanwhile: what was measured is not this pad's any more.
    const QByteArray settings = SettingsNow();
    if (PadSettingValues::BoundNameIn(settings, pad) != fileName)
        return;
    LoudnessSettings::StorePadLoudness(pad, loudness, fileName);
    // Matched pads stay matched: one bound or measured later takes its gain as it comes.
    if (LoudnessSettings::MatchIn(settings)) {
        const double gain =
            LoudnessSettings::MatchGainDb(loudness, LoudnessSettings::TargetIn(settings));
        LoudnessSettings::StorePadGain(pad, gain);
        if (pad == ActivePad)
            DMC.Trim(gain);
    }
    emit padLoudnessChanged(pad);
}

PadLoudness PadDeck::padLoudness(int index) const
{
    return LoudnessSettings::PadLoudnessIn(SettingsNow(), index);
}

double PadDeck::padGain(int index) const
{
    return LoudnessSettings::PadGainIn(SettingsNow(), index);
}

int PadDeck::matchLoudness()
{
    LoudnessSettings::StoreMatch(true);
    const QByteArray settings = SettingsNow();
    const double target = LoudnessSettings::TargetIn(settings);
    int matched = 0;
    for (int pad = 0; pad < kPadCount; ++pad) {
        const PadLoudness loudness = LoudnessSettings::PadLoudnessIn(settings, pad);
        const double gain = LoudnessSettings::MatchGainDb(loudness, target);
        if (loudness.kind == PadLoudness::Kind::Set)
            ++matched;
        if (pad == ActivePad)
            DMC.Trim(gain);
        if (gain == LoudnessSettings::PadGainIn(settings, pad))
            continue;
        LoudnessSettings::StorePadGain(pad, gain);
        emit padLoudnessChanged(pad);
    }
    return matched;
}

void PadDeck::clearLoudnessMatch()
{
    LoudnessSettings::StoreMatch(false);
    const QByteArray settings = SettingsNow();
    for (int pad = 0; pad < kPadCount; ++pad) {
        if (LoudnessSettings::PadGainIn(settings, pad) == 0.0)
            continue;
        LoudnessSettings::StorePadGain(pad, 0.0);
        emit padLoudnessChanged(pad);
    }
    DMC.Trim(0.0);
}
