// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Program-wide state: the folders and names every window shares, and how the program ends. The
// folders end in the native separator.
namespace AppModul {

inline QString ProgramFolder;  // folder of the program file
inline QString ProgramName;    // program file name without extension
inline QString TempFolder;     // the user's private temporary folder (reference sounds)
inline QString AppTitle;       // "Quendel": message title and main settings section
inline QString SettingsFile;   // the INI file: beside the program, or in the user's config folder
inline QString PadSection;     // "Samples"
inline QString SkinFolder;     // the default skin: ProgramFolder + "Skin/", or the installed one
inline QString UserSkinFolder; // installed: the user's own skin images, each replacing the default
inline QString SoundsFolder;   // the user's sample files: ProgramFolder + "Sounds/", or their own
inline short TunerLoopOn = 0;  // 1 while the tuner's loop switch is on

// The skin image baseName: from UserSkinFolder when the user has one of that name, else from
// SkinFolder; the ".bmp" file when it can be read, else the ".jpg".
QString SkinImageFile(const QString& baseName);

// Appends the native separator unless the path already ends in one.
void AddBackslash(QString& path);

// There are no short names here: an existing path is returned as it is. A path that does not
// exist comes back in title case (TitleCasePath).
QString ExpandShortPath(const QString& path);

// Going from the second character on, a character becomes upper case when the one before it is
// a blank, "-", "(", "_" or a path separator, lower case otherwise; then the first character
// becomes upper case. C:\PROGRA~1\MY-PADS\PAD_DECK.EXE -> C:\Progra~1\My-Pads\Pad_Deck.exe
QString TitleCasePath(const QString& path);

// The program file's path with its extension replaced by ".ini" (appended when it has none).
QString SettingsFileFor(const QString& programFilePath);

// The program file's full path, as folder setup found it.
QString ProgramFile();

// Folder setup: ProgramFolder and ProgramName from the program file's path, and TempFolder.
void SetupFolders(const QString& programFilePath, const QString& tempFolder);

// Resets the shared state to its values before start-up (tests start many times in one process).
void ResetState();

// Ends the program at once: every window goes and the event loop returns. No close handler runs.
void EndProgram();
bool ProgramEnded();

} // namespace AppModul
