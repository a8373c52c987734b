// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class PadDeck;

// The trigger map's tempo actions, as every trigger plays them (a key, a MIDI note): Tempo Up and
// Tempo Down nudge the session tempo a step (from off they start at the playing pad's own tempo,
// when it has one), Tap Tempo taps it. Returns false for any other action, which it leaves alone.
bool PlayTempoAction(PadDeck& deck, int action, int steps = 1);

// The playing pad's own tempo in BPM, or 0 when no pad plays or its tempo is not known.
double PlayingPadTempo(const PadDeck& deck);
