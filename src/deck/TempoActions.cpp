// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoActions.h"

#include "PadDeck.h"
#include "PadTriggers.h"
#include "TempoSettings.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"

double PlayingPadTempo(const PadDeck& deck)
{
    // The playing loop may be in a bank not shown.
    const int pad = deck.activeDeckPad();
    if (pad < 0)
        return 0.0;
    const PadTempo own = TempoSettings::PadTempoIn(
        ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()), pad);
    return own.kind == PadTempo::Kind::Set ? own.bpm : 0.0;
}

bool PlayTempoAction(PadDeck& deck, int action, int steps)
{
    switch (action) {
    case PadTriggers::kTempoUp:
        deck.Tempo.nudgeTempo(steps, PlayingPadTempo(deck));
        return true;
    case PadTriggers::kTempoDown:
        deck.Tempo.nudgeTempo(-steps, PlayingPadTempo(deck));
        return true;
    case PadTriggers::kTapTempo:
        deck.Tempo.tap();
        return true;
    default:
        return false;
    }
}
