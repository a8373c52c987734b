// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Runs once before the bar opens: sets the shared names and paths, ends the start when a required
// skin image is missing, and writes the reference sounds into TempFolder when they are missing.
// Returns false when the program must end. sessionFolder: under a session manager, the folder
// that holds the settings and sounds (SessionLayout); empty otherwise.
bool InstallationStep(const QString& sessionFolder = {});

// The shared names and paths that every window uses (the installation step's first step).
void SetSharedNames();

// Base names of the skin images without which Quendel does not start (".jpg" or ".bmp").
QStringList RequiredSkinImages();

// Writes the embedded resource type/name (":/WAVE/PINK") to path, replacing it. Returns path, or
// "" when the resource is missing or the file could not be written; never leaves a partly
// written file at path.
QString WriteResourceFile(const QString& path, const QString& name, const QString& type);

// A message box titled AppTitle with one OK button. kind: 1 information, 2 exclamation,
// 3 critical, 4 question; any other kind shows nothing.
void ShowMessage(const QString& text, int kind);

// Tests see the messages instead of a modal box; an empty presenter restores the box.
using MessagePresenter = std::function<void(const QString& text, int kind)>;
void SetMessagePresenter(MessagePresenter presenter);

inline const QString kMissingFilesMessage =
    QStringLiteral("Eine oder mehrere benötigte Datei(en) wurde(n) nicht gefunden.   ");
inline const QString kTempReadOnlyMessage = QStringLiteral("Temp-Ordner ist schreibgeschützt.   ");
