// SPDX-License-Identifier: GPL-3.0-or-later
#include "SetlistLine.h"

#include "TempoStrip.h"

#include "deck/PadDeck.h"

SetlistLine::SetlistLine(QWidget* parent, PadDeck& deck) : QWidget(parent), m_deck(deck)
{
    setGeometry(kArea);
    setFocusPolicy(Qt::NoFocus);
    Song = new StripField(this, QStringLiteral("SONG"), QString(), 0, 230);
    Note = new StripField(this, QString(), QString(), 236, kArea.width() - 236);
    Note->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (StripField* field : {Song, Note}) {
        field->LeftPress = [this] { m_deck.Songs.next(); };
        field->RightPress = [this] { m_deck.Songs.previous(); };
    }
    Song->setToolTip(QStringLiteral("The setlist ([Setlist] in the settings file)\n"
                                    "Click: the next song; right click: the previous one\n"
                                    "Also \"Next Song\" and \"Previous Song\" in [Triggers], MIDI "
                                    "program changes and OSC"));
    QObject::connect(&deck.Songs, &Setlist::changed, this, [this] { showSong(); });
    showSong();
}

void SetlistLine::showSong()
{
    const Setlist& songs = m_deck.Songs;
    setVisible(!songs.songs().isEmpty());
    Song->setValue(Setlist::Title(songs.songs(), songs.current()), true);
    const ::Song* song = songs.currentSong();
    Note->setCaption(song ? song->note : QString());
}
