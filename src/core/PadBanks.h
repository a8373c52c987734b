// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PadCount.h"

#include <QString>

// Eight banks of 28 pads, A to H. Bank A is the pads' section as it always was ("Samples"), so a
// settings file written before banks opens as bank A with nothing lost; bank B keeps its pads in
// "Samples B", and so on to "Samples H", each with the same keys ("Sample 1".."Sample 28" and the
// per-pad tempo, key, loudness and mode beside them).
//
// The bar shows one bank at a time (AppModul::PadSection is its section, so whatever reads
// "the pads" reads the shown bank). Code that must name a pad of any bank uses a deck pad:
// bank * 28 + index, 0..223.
namespace PadBanks {

inline constexpr int kBankCount = 8;
inline constexpr int kDeckPads = kPadCount * kBankCount;

// "Samples", "Samples B" .. "Samples H"; bank A for anything out of range.
QString Section(int bank);
// 'A'..'H'.
QChar Letter(int bank);
// The bank a letter or a number names ("b", "B", "2" all give 1); -1 for anything else.
int BankNamed(const QString& text);

// The bank the bar shows (0 = A), and the deck pad of its pad `index`.
int Shown();
int DeckPad(int index);
inline int BankOf(int deckPad)
{
    return deckPad / kPadCount;
}
inline int IndexOf(int deckPad)
{
    return deckPad % kPadCount;
}
// The pads' section of a deck pad's bank.
inline QString SectionOf(int deckPad)
{
    return Section(BankOf(deckPad));
}

// How the musician reads a pad: "3" in bank A (as before banks), "B3" in the others.
QString PadName(int deckPad);

// Makes `bank` the shown one: AppModul::PadSection becomes its section.
void Show(int bank);

} // namespace PadBanks
