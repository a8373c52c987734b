// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadBanks.h"

#include "ProgramState.h"

namespace PadBanks {

namespace {
int g_shown = 0;
}

QString Section(int bank)
{
    if (bank <= 0 || bank >= kBankCount)
        return QStringLiteral("Samples");
    return QStringLiteral("Samples ") + Letter(bank);
}

QChar Letter(int bank)
{
    return QChar(u'A' + (bank >= 0 && bank < kBankCount ? bank : 0));
}

int BankNamed(const QString& text)
{
    const QString name = text.trimmed();
    if (name.size() != 1)
        return -1;
    const QChar c = name.at(0).toUpper();
    if (c >= u'A' && c < QChar(u'A' + kBankCount))
        return c.unicode() - u'A';
    if (c >= u'1' && c < QChar(u'1' + kBankCount))
        return c.unicode() - u'1';
    return -1;
}

int Shown()
{
    return g_shown;
}

int DeckPad(int index)
{
    return g_shown * kPadCount + index;
}

QString PadName(int deckPad)
{
    const QString number = QString::number(IndexOf(deckPad) + 1);
    return BankOf(deckPad) == 0 ? number : Letter(BankOf(deckPad)) + number;
}

void Show(int bank)
{
    g_shown = bank >= 0 && bank < kBankCount ? bank : 0;
    AppModul::PadSection = Section(g_shown);
}

} // namespace PadBanks
