// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadSettingValues.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <cmath>

namespace PadSettingValues {

QString PadKey(const char* name, int pad)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(pad + 1);
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
    return SettingIn(text, AppModul::PadSection, PadKey("Sample", pad), QString());
}

} // namespace PadSettingValues
