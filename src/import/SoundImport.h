// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Bringing a sound file into the Sounds folder, so that a pad can be bound to it by its bare
// name. These are the file-system steps only; whether a file decodes is asked of the caller, so
// this part needs no audio code. Everything here may run on a worker thread: it touches no
// window and no shared program state.
namespace SoundImport {

// The name endings of the formats the engine decodes, lower case, without the dot.
const QStringList& Extensions();
// The same as a file list pattern: "*.wav;*.mp3;...".
QString FilePattern();
// True when the name ends in one of them after at least one character of its own ("Kick.wav";
// not ".wav").
bool HasSoundExtension(const QString& fileName);

// Why path cannot be bound to a pad (a line to show the user), or nothing when it can: it has to
// be a readable regular file with a sound file's name that decodes says is sound.
std::optional<QString> Refusal(const QString& path,
                               const std::function<bool(const QString& path)>& decodes);

// The name a file keeps in the Sounds folder: line breaks and other control characters (which
// the settings file cannot hold) become blanks, and leading dots go (a hidden file would not show
// in the settings window's file list).
QString BindableName(const QString& fileName);
// The n-th choice of name for a file: n = 1 is the name itself, n >= 2 "Base (n).ext".
QString NumberedName(const QString& fileName, int n);
// True when both paths are regular files of the same size and the same bytes.
bool SameContents(const QString& a, const QString& b);

// How far a copy has come. Called before every chunk is read (done = 0 before the first);
// returning false abandons the copy.
using ChunkReport = std::function<bool(qint64 done, qint64 total)>;
inline constexpr qint64 kDefaultChunkBytes = 1 << 20;

struct Placement {
    QString name;        // the bare name in folder, when error is empty
    QString error;       // why the file could not be brought in
    bool copied = false; // a new copy was written (not the file itself, nor an identical one)
};

// Brings source into folder (which ends in a separator, and is made when missing). A file that
// lies in folder already keeps its name. Any other file takes the first of its NumberedName
// choices that is free, or that holds an identical file, which is then taken instead of a second
// copy; a different file is never overwritten. A copy is written in chunks to a hidden part file
// in folder and takes its name only when complete, so an interrupted copy never leaves a partial
// file under a sound's name.
Placement PlaceInFolder(const QString& source, const QString& folder, const ChunkReport& report,
                        qint64 chunkBytes = kDefaultChunkBytes);

// The hidden part file copies into folder are written to. There is one: copies into a folder run
// one at a time, and a part left by an interrupted copy is simply written over by the next.
QString PartFilePath(const QString& folder);

} // namespace SoundImport
