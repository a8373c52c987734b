// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiTrigger.h"

#include <QStringList>

namespace {

std::optional<int> numberIn(const QString& word, int low, int high)
{
    bool ok = false;
    const int value = word.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<MidiTrigger> MidiTrigger::Parse(QStringView token)
{
    const QStringList words = token.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 2 && words.size() != 4)
        return std::nullopt;
    MidiTrigger trigger;
    if (words[0].compare(QLatin1String("Note"), Qt::CaseInsensitive) == 0)
        trigger.kind = Kind::Note;
    else if (words[0].compare(QLatin1String("CC"), Qt::CaseInsensitive) == 0)
        trigger.kind = Kind::Control;
    else
        return std::nullopt;
    const std::optional<int> number = numberIn(words[1], 0, 127);
    if (!number)
        return std::nullopt;
    trigger.number = *number;
    if (words.size() == 4) {
        const std::optional<int> channel = numberIn(words[3], 1, 16);
        if (words[2].compare(QLatin1String("Ch"), Qt::CaseInsensitive) != 0 || !channel)
            return std::nullopt;
        trigger.channel = *channel;
    }
    return trigger;
}

QString MidiTrigger::text() const
{
    QString text =
        (kind == Kind::Note ? QStringLiteral("Note %1") : QStringLiteral("CC %1")).arg(number);
    if (channel != kAnyChannel)
        text += QStringLiteral(" Ch %1").arg(channel);
    return text;
}
