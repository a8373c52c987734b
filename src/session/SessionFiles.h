// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The files Quendel keeps for a session, in the folder the session manager names.

// The session's folder for the path the manager opens: the path itself made a folder, cleaned,
// ending in a separator. Empty for a path that is not absolute.
QString SessionFolderFor(const QString& openedPath);

// The running copy's name in a session: each session folder has its own, short enough for a
// local socket's path, so Quendels of different sessions run side by side.
QString SessionCopyName(const QString& sessionFolder);

// What a save asks: every setting is written when it changes, so this puts the settings file and
// its folder on the disk and checks that the next change can be stored. Empty when so, else why
// not.
QString PutSettingsOnDisk(const QString& settingsFile);
