// SPDX-License-Identifier: GPL-3.0-or-later
#include "BankSelector.h"

#include "TempoStrip.h"

#include "deck/PadDeck.h"

namespace {

constexpr int kCaptionWidth = 44;
constexpr int kButtonWidth = 26;
constexpr int kButtonStep = 31;

} // namespace

BankSelector::BankSelector(QWidget* parent, PadDeck& deck) : QWidget(parent), m_deck(deck)
{
    setGeometry(kArea);
    setFocusPolicy(Qt::NoFocus);
    auto* caption = new StripField(this, QStringLiteral("BANK"), QString(), 0, kCaptionWidth);
    caption->setToolTip(QStringLiteral("Banks A to H of 28 pads each\n"
                                       "Also the keypad's 1..8, MIDI program changes 0..7 and "
                                       "\"Bank A\"..\"Bank H\" in [Triggers]"));
    for (int bank = 0; bank < PadBanks::kBankCount; ++bank) {
        StripField* button = new StripField(this, QString(), QString(),
                                            kCaptionWidth + bank * kButtonStep, kButtonWidth);
        button->setToolTip(QStringLiteral("Bank %1").arg(PadBanks::Letter(bank)));
        button->LeftPress = [this, bank] { m_deck.showBank(bank); };
        Banks[static_cast<std::size_t>(bank)] = button;
    }
    QObject::connect(&deck, &PadDeck::bankShown, this, [this] { showBanks(); });
    QObject::connect(&deck, &PadDeck::activePadChanged, this, [this] { showBanks(); });
    showBanks();
}

void BankSelector::showBanks()
{
    const int playing = m_deck.activeDeckPad();
    const int playingBank = playing >= 0 ? PadBanks::BankOf(playing) : -1;
    for (int bank = 0; bank < PadBanks::kBankCount; ++bank) {
        const bool shown = bank == PadBanks::Shown();
        QString text(PadBanks::Letter(bank));
        if (bank == playingBank && !shown)
            text += QStringLiteral("\u2022");
        Banks[static_cast<std::size_t>(bank)]->setValue(text, shown);
    }
}
