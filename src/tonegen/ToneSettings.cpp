// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneSettings.h"

#include "ToneFrequencyText.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

namespace {

const QString kFrequencyKey = QStringLiteral("ToneFreq");
const QString kLevelKey = QStringLiteral("ToneVol");
const QString kRangeKey = QStringLiteral("ToneRange");

// A whole number in [lowest, highest], or fallback for anything else (hand edits included).
int wholeNumberIn(const QString& text, int lowest, int highest, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= lowest && value <= highest ? value : fallback;
}

QString captionOf(ToneRange::Range range)
{
    const std::string_view caption = ToneRange::Caption(range);
    return QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size()));
}

} // namespace

ToneSettings ToneSettings::Read()
{
    using namespace AppModul;
    ToneSettings settings;
    const QByteArray text = ReadSettingsText(SettingsFile).value_or(QByteArray());
    settings.frequency =
        wholeNumberIn(SettingIn(text, AppTitle, kFrequencyKey, QString()),
                      ToneFrequencyText::kLowest, ToneFrequencyText::kHighest, kDefaultFrequency);
    settings.level =
        wholeNumberIn(SettingIn(text, AppTitle, kLevelKey, QString()), 0, 1000, kDefaultLevel);
    const QByteArray range = SettingIn(text, AppTitle, kRangeKey, QString()).toUtf8();
    settings.range = ToneRange::FromCaption(std::string_view(range.constData(), range.size()))
                         .value_or(ToneRange::Range::Scale);
    return settings;
}

void ToneSettings::WriteChanges(const ToneSettings& before) const
{
    using namespace AppModul;
    if (frequency != before.frequency)
        WriteSetting(AppTitle, kFrequencyKey, QString::number(frequency), SettingsFile);
    if (level != before.level)
        WriteSetting(AppTitle, kLevelKey, QString::number(level), SettingsFile);
    // The printed scale cannot be picked from the menu: it is never written, only read when the
    // key is absent.
    if (range != before.range && range != ToneRange::Range::Scale)
        WriteSetting(AppTitle, kRangeKey, captionOf(range), SettingsFile);
}
