// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarTestSupport.h"

#include "core/SettingsStore.h"

void BarFixture::bind(int pad, const QString& name) const
{
    WriteSetting(QStringLiteral("Samples"), QStringLiteral("Sample %1").arg(pad + 1), name,
                 folder->settingsFile());
}

void BarFixture::writeSetting(const QString& key, const QString& value) const
{
    WriteSetting(QStringLiteral("Quendel"), key, value, folder->settingsFile());
}
