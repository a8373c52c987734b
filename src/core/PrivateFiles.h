// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The user's private temporary folder: a per-user subfolder of the system's temporary folder,
// owner-only. A shared temporary folder would let another user plant or redirect the files
// Quendel writes there, so a folder that is a symbolic link, is not a folder, or belongs to
// someone else is refused.

// The private folder inside base (created 0700 when missing), ending in a separator, or an empty
// string when base holds a folder of that name that cannot be trusted or none can be made.
QString PreparePrivateFolder(const QString& base, const QString& name);

// The user's private temporary folder for Quendel. Falls back to a fresh folder of its own when
// the usual one is refused.
QString UserPrivateTempFolder();

// Writes bytes to path through a new file beside it that is then renamed over path: a reader
// never sees a half-written file, and a symbolic link at path is replaced, never followed.
bool WriteFileReplacing(const QString& path, const QByteArray& bytes);
