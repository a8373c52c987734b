// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

#include <array>

#include "core/PadBanks.h"

class PadDeck;
class StripField;

// BANK A..H over the pads, engraved as the tempo strip is: the shown bank is lit, a click shows
// another. A bank whose loop plays while another is shown carries a dot after its letter, so the
// musician sees where the sound comes from. It never takes the keyboard focus.
class BankSelector : public QWidget {
public:
    // Over the pad area's left end, between the page buttons and the pads.
    static constexpr QRect kArea{147, 378, 300, 24};

    BankSelector(QWidget* parent, PadDeck& deck);

    std::array<StripField*, PadBanks::kBankCount> Banks{};

private:
    void showBanks();

    PadDeck& m_deck;
};
