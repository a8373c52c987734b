// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoActions.h"

#include "PadDeck.h"
#include "PadTriggers.h"

double PlayingPadTempo(const PadDeck& deck)
{
    const PadTempo own = deck.padTempo(deck.ActivePad);
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
