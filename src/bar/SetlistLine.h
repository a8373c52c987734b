// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

class PadDeck;
class StripField;

// The current song over the pads, right of the banks: "SONG 2/12 Ballad" and its note for the
// stage. A click goes to the next song, a right click to the previous one. Shown only while the
// settings file holds a setlist.
class SetlistLine : public QWidget {
public:
    static constexpr QRect kArea{460, 378, 465, 24};

    SetlistLine(QWidget* parent, PadDeck& deck);

    StripField* Song = nullptr;
    StripField* Note = nullptr;

private:
    void showSong();

    PadDeck& m_deck;
};
