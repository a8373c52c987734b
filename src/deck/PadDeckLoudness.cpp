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
        if (pad == activeDeckPad())
            DMC.Trim(gain);
    }
    if (shownIndex(pad) >= 0)
        emit padLoudnessChanged(shownIndex(pad));
}

PadLoudness PadDeck::padLoudness(int index) const
{
    if (index < 0 || index >= kPadCount)
        return {};
    return LoudnessSettings::PadLoudnessIn(SettingsNow(), PadBanks::DeckPad(index));
}

double PadDeck::padGain(int index) const
{
    if (index < 0 || index >= kPadCount)
        return 0.0;
    return LoudnessSettings::PadGainIn(SettingsNow(), PadBanks::DeckPad(index));
}

int PadDeck::matchLoudness()
{
    LoudnessSettings::StoreMatch(true);
    const QByteArray settings = SettingsNow();
    const double target = LoudnessSettings::TargetIn(settings);
    int matched = 0;
    // Every bank's pads, so a bank shown later plays at the same loudness.
    for (int pad = 0; pad < PadBanks::kDeckPads; ++pad) {
        const PadLoudness loudness = LoudnessSettings::PadLoudnessIn(settings, pad);
        const double gain = LoudnessSettings::MatchGainDb(loudness, target);
        if (loudness.kind == PadLoudness::Kind::Set)
            ++matched;
        if (pad == activeDeckPad())
            DMC.Trim(gain);
        if (gain == LoudnessSettings::PadGainIn(settings, pad))
            continue;
        LoudnessSettings::StorePadGain(pad, gain);
        if (shownIndex(pad) >= 0)
            emit padLoudnessChanged(shownIndex(pad));
    }
    return matched;
}

void PadDeck::clearLoudnessMatch()
{
    LoudnessSettings::StoreMatch(false);
    const QByteArray settings = SettingsNow();
    for (int pad = 0; pad < PadBanks::kDeckPads; ++pad) {
        if (LoudnessSettings::PadGainIn(settings, pad) == 0.0)
            continue;
        LoudnessSettings::StorePadGain(pad, 0.0);
        if (shownIndex(pad) >= 0)
            emit padLoudnessChanged(shownIndex(pad));
    }
    DMC.Trim(0.0);
}
