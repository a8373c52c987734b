// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadSettingValues.h"

#include "core/PadBanks.h"
#include "core/SettingsStore.h"

#include <cmath>

namespace PadSettingValues {

QString PadKey(const char* name, int pad)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(PadBanks::IndexOf(pad) + 1);
}

QString Section(int pad)
{
    return PadBanks::SectionOf(pad);
}

std::optional<double> NumberIn(const std::optional<QString>& value)
{
    if (!value)
        return std::nullopt;
    bool ok = false;
    const double number = value->trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

QString BoundNameIn(QByteArrayView text, int pad)
{
    return SettingIn(text, Section(pad), PadKey("Sample", pad), QString());
}

} // namespace PadSettingValues
