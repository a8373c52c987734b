// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoudnessSettings.h"
#include "PadSettingValues.h"

#include "audio/sounds/Loudness.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace LoudnessSettings {
namespace {

using PadSettingValues::NumberIn;
const auto padKey = PadSettingValues::PadKey;

} // namespace

PadLoudness PadLoudnessIn(QByteArrayView text, int pad)
{
    const QString section = PadSettingValues::Section(pad);
    const std::optional<QString> value = FindSettingValue(text, section, padKey("Loudness", pad));
    if (!value || value->trimmed().isEmpty())
        return {};
    // Measured for another file than the one bound now: says nothing about this one.
    const QString of =
        FindSettingValue(text, section, padKey("Loudness", pad) + QStringLiteral(" of"))
            .value_or(QString())
            .trimmed();
    const QString bound = PadSettingValues::BoundNameIn(text, pad).trimmed();
    if (of.isEmpty() || of != bound)
        return {};
    if (value->trimmed().compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return {PadLoudness::Kind::None, 0.0, 0.0};
    const std::optional<double> lufs = NumberIn(value);
    const std::optional<double> peak =
        NumberIn(FindSettingValue(text, section, padKey("Peak", pad)));
    if (!lufs || !peak || *lufs < -120.0 || *lufs > 30.0 || *peak < -200.0 || *peak > 60.0)
        return {};
    return {PadLoudness::Kind::Set, *lufs, *peak};
}

void StorePadLoudness(int pad, const PadLoudness& loudness, const QString& fileName)
{
    using namespace AppModul;
    QString value;
    if (loudness.kind == PadLoudness::Kind::None) {
        value = QStringLiteral("none");
    } else if (loudness.kind == PadLoudness::Kind::Set) {
        value = QString::number(loudness.lufs, 'f', 1);
        WriteSetting(PadSettingValues::Section(pad), padKey("Peak", pad), QString::number(loudness.peakDbtp, 'f', 1),
                     SettingsFile);
    }
    WriteSetting(PadSettingValues::Section(pad), padKey("Loudness", pad), value, SettingsFile);
    WriteSetting(PadSettingValues::Section(pad), padKey("Loudness", pad) + QStringLiteral(" of"), fileName,
                 SettingsFile);
}

double PadGainIn(QByteArrayView text, int pad)
{
    const std::optional<double> gain =
        NumberIn(FindSettingValue(text, PadSettingValues::Section(pad), padKey("Gain", pad)));
    return gain ? std::clamp(*gain, -kMaxGainDb, kMaxGainDb) : 0.0;
}

void StorePadGain(int pad, double gainDb)
{
    const double held = std::clamp(gainDb, -kMaxGainDb, kMaxGainDb);
    WriteSetting(PadSettingValues::Section(pad), padKey("Gain", pad),
                 std::abs(held) < 0.05 ? QString() : QString::number(held, 'f', 1),
                 AppModul::SettingsFile);
}

double TargetIn(QByteArrayView text)
{
    const std::optional<double> target =
        NumberIn(FindSettingValue(text, AppModul::AppTitle, QStringLiteral("LoudnessTarget")));
    return target && *target >= -40.0 && *target <= -5.0 ? *target : kDefaultTarget;
}

bool MatchIn(QByteArrayView text)
{
    const std::optional<QString> value =
        FindSettingValue(text, AppModul::AppTitle, QStringLiteral("LoudnessMatch"));
    return value && value->trimmed().compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
}

void StoreMatch(bool on)
{
    WriteSetting(AppModul::AppTitle, QStringLiteral("LoudnessMatch"),
                 on ? QStringLiteral("on") : QStringLiteral("off"), AppModul::SettingsFile);
}

double MatchGainDb(const PadLoudness& loudness, double targetLufs)
{
    if (loudness.kind != PadLoudness::Kind::Set)
        return 0.0;
    return LoudnessMatchGainDb({loudness.lufs, loudness.peakDbtp}, targetLufs, kCeilingDbtp);
}

} // namespace LoudnessSettings
