// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// A set: what a gig needs of the settings file in one file that travels ("Friday.qset"). It
// holds the banks' pads with their modes, gains, tempos and keys, the setlist, and the session's
// tempo, key and switching, as the settings file's own sections, and a section "Sounds" naming
// every sound it uses with a hash of its bytes, so that a sound can be found again on another
// machine by its name or, renamed, by its content. The keyboard's keys and the machine's audio
// settings stay with the machine.
//
// Everything here works on the files only (no window, no audio), so it may run anywhere.
namespace SetFiles {

// The sections a set carries whole, and the main section's keys it carries.
const QStringList& CarriedSections();
const QStringList& CarriedMainKeys();

// The set of a settings file's text; the sounds are looked for in soundsFolder (which ends in a
// separator) to hash them.
QByteArray SetTextOf(QByteArrayView settings, const QString& soundsFolder);
// The bare names of the sounds the banks' pads are bound to, each once, in pad order.
QStringList SoundsUsed(QByteArrayView settings);

// A hash of a file's bytes (hex), empty when it cannot be read.
QString ContentHash(const QString& path);

// The folder "Friday Sounds/" beside "Friday.qset", where a collected set keeps its sounds.
QString CollectedFolder(const QString& setPath);

struct Saved {
    QString error;       // empty when the set was written
    int copied = 0;      // sounds copied into the collected folder
    QStringList missing; // sounds that were not in Sounds (named in the set all the same)
};
// Writes the settings file's set to setPath, replacing any file there only once the new one is
// whole. collect: also copies every sound the set uses into its collected folder (a copy already
// there is kept, and a different file of the same name is never overwritten).
Saved Save(const QString& setPath, const QString& settingsFile, const QString& soundsFolder,
           bool collect);

struct Opened {
    QString error;        // empty when the set was opened
    QStringList relinked; // "Old.wav -> New.wav": found under another name or in a folder
    QStringList missing;  // sounds found nowhere: their pads show them missing
};
// Opens the set at setPath into the settings file: its sections replace the settings file's own
// (a pad the set leaves unbound is unbound), and its main keys are written; everything else in
// the settings file stays as it is. Each sound not in Sounds with its content is looked for in
// the set's collected folder and then in searchFolders (and their subfolders), by name and by
// content, and copied into Sounds; the searched folders are only read. Nothing is written when
// the set cannot be read or is not a set.
Opened Open(const QString& setPath, const QString& settingsFile, const QString& soundsFolder,
            const QStringList& searchFolders);

} // namespace SetFiles
