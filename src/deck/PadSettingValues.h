// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// The small readings every per-pad setting shares: its key, a number typed by hand, and the file
// the pad is bound to, so the tempo, the key and the loudness read the settings file alike.
namespace PadSettingValues {

// Pads here are deck pads (PadBanks: bank * 28 + index), so a pad of any bank can be read.
// "Tempo 3" for `name` "Tempo" and pad 2 of any bank (pads count from 0, keys from 1).
QString PadKey(const char* name, int pad);
// The section that pad's bank keeps its settings in.
QString Section(int pad);
// A number the whole value spells (blanks around it allowed), or nothing: "12abc" is not a value
// someone meant.
std::optional<double> NumberIn(const std::optional<QString>& value);
// The file pad is bound to in a settings file's text, as written; empty when unbound.
QString BoundNameIn(QByteArrayView text, int pad);

} // namespace PadSettingValues
