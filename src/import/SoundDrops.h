// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QDropEvent;
class QMimeData;

// What the windows that take dropped sound files (the bar's pads, the settings window's file
// list) do alike.
namespace SoundDrops {

// The files a drag carries, in the order they were picked.
struct DraggedFiles {
    QStringList paths;    // local files
    QStringList problems; // addresses that are no files on this computer
};
DraggedFiles FilesOf(const QMimeData* data);
// True when the drag carries at least one local file: only such drags are taken.
bool CarriesFiles(const QMimeData* data);

// Takes the drag as a copy whatever action the source proposed: the dropped file stays where it
// is, and a source that offers a move must never delete it on our account. False when the
// source allows no copy.
bool TakeAsCopy(QDropEvent* event);

// "Notes.txt is not a sound file", or the first of several problems with how many more there are.
QString ProblemSummary(const QStringList& problems);

} // namespace SoundDrops
