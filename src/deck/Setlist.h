// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// The evening's songs in order. Each brings the pads it needs: a bank, and, where it says so, a
// session tempo and a key. They live in the settings file's section "Setlist", one song a line,
// its fields parted by "|", as a musician writes them by hand:
//
//   [Setlist]
//   Song 1=Opener | A | 96 | 0 | count four, drums first
//   Song 2=Ballad | C | off | -2
//   Song 3=Jam
//
// name | bank (A..H) | tempo (BPM, "off", or empty to leave it as it is) | transposition
// (semitones, optionally cents: "-2 +15"; empty leaves it) | a short note for the stage. Fields
// may be left out from the right. Songs are numbered from 1 without gaps; a line that names no
// song ends the list. The current song is "Song" in the main section.
struct Song {
    QString name;
    int bank = -1;                // 0..7; -1 leaves the shown bank
    std::optional<double> tempo;  // BPM, 0 = off; none leaves the session tempo
    std::optional<int> semitones; // none leaves the session key
    int cents = 0;
    QString note;

    bool operator==(const Song&) const = default;
};

class Setlist : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSongs = 128;

    static QList<Song> SongsIn(QByteArrayView settings);
    // "Song 2 of 12: Ballad", and the note.
    static QString Title(const QList<Song>& songs, int index);

    // Reads the songs and the current song (kept within the list) from the settings file, or
    // from its text just read.
    void reload();
    void reload(QByteArrayView settings);
    const QList<Song>& songs() const { return m_songs; }
    // 0-based; -1 with no songs.
    int current() const { return m_current; }
    const Song* currentSong() const;

    // Makes song `index` current, stores it and tells songChosen; out of range does nothing.
    // Next and previous stop at the ends: on stage a pedal pressed once too often must not jump
    // from the encore back to the opener.
    bool choose(int index);
    bool next() { return choose(m_current + 1); }
    bool previous() { return choose(m_current - 1); }

signals:
    // A song was chosen: the deck brings its bank, tempo and key.
    void songChosen(const Song& song);
    // The songs or the current one changed (what the bar shows).
    void changed();

private:
    QList<Song> m_songs;
    int m_current = -1;
};
