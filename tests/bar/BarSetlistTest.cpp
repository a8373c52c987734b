// SPDX-License-Identifier: GPL-3.0-or-later
// The setlist as a musician walks through it on stage: each song brings its bank, tempo and key,
// and the bar shows the song and its note.

#include "BarTestSupport.h"
#include "bar/SetlistLine.h"
#include "bar/TempoStrip.h"
#include "core/PadBanks.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QKeyEvent>

namespace {

class BarSetlist : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        const QString file = folder->settingsFile();
        WriteSetting("Setlist", "Song 1", "Opener | A | 96 | 0 | count four, drums first", file);
        WriteSetting("Setlist", "Song 2", " Ballad|b|off|-2 +15|capo 2 | soft", file);
        WriteSetting("Setlist", "Song 3", "Jam | Z | fast | high", file); // nonsense leaves all
        WriteSetting("Setlist", "Song 5", "after a gap: not in the list", file);
        bar->Deck.Songs.reload();
    }
    void tapKey(int key, quint32 scan) const
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, scan, 0, 0);
        QApplication::sendEvent(bar, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, scan, 0, 0);
        QApplication::sendEvent(bar, &release);
    }
    const SessionKeyAndTempo& session() const { return bar->Deck.Tempo.now(); }
    QString stored() const
    {
        return ReadSetting("Quendel", "Song", folder->settingsFile(), "<none>");
    }
};

TEST_F(BarSetlist, EachSongBringsItsBankTempoAndKeyAndTheBarShowsItAndItsNote)
{
    const QList<Song>& songs = bar->Deck.Songs.songs();
    ASSERT_EQ(songs.size(), 3);
    EXPECT_EQ(songs[1].note, "capo 2 | soft");
    EXPECT_TRUE(bar->Songs->isVisibleTo(bar));
    EXPECT_EQ(bar->Songs->Song->value(), "1/3 Opener");
    EXPECT_EQ(stored(), "<none>") << "opening the list stores nothing";

    QTest::mouseClick(bar->Songs->Song, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(bar->Songs->Song->value(), "2/3 Ballad");
    EXPECT_EQ(bar->Songs->Note->caption(), "capo 2 | soft");
    EXPECT_EQ(PadBanks::Shown(), 1);
    EXPECT_EQ(session().tempo, 0.0);
    EXPECT_EQ(session().semitones, -2);
    EXPECT_EQ(session().cents, 15);
    EXPECT_EQ(stored(), "2");

    bar->Deck.Tempo.setTempo(110.0);
    QTest::mouseClick(bar->Songs->Song, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(bar->Songs->Song->value(), "3/3 Jam");
    EXPECT_EQ(PadBanks::Shown(), 1) << "what the song does not say stays";
    EXPECT_EQ(session().tempo, 110.0);
    EXPECT_EQ(session().semitones, -2);
    EXPECT_FALSE(bar->Deck.Songs.next()) << "the last song stays the last";
    EXPECT_EQ(bar->Deck.Songs.current(), 2);

    // A pedal's key learned by hand; the right mouse button goes back too.
    WriteSetting("Triggers", "Previous Song", "F11", folder->settingsFile());
    bar->Keys.reload();
    tapKey(Qt::Key_F11, 95);
    EXPECT_EQ(bar->Deck.Songs.current(), 1);
    QTest::mouseClick(bar->Songs->Song, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(bar->Deck.Songs.current(), 0);
    EXPECT_EQ(PadBanks::Shown(), 0);
    EXPECT_EQ(session().tempo, 96.0);
    EXPECT_EQ(session().semitones, 0);
}

TEST_F(BarSetlist, TheSongPlayedLastIsCurrentAgainAndAListRemovedHidesTheLine)
{
    WriteSetting("Quendel", "Song", "3", folder->settingsFile());
    bar->Deck.Songs.reload();
    EXPECT_EQ(bar->Songs->Song->value(), "3/3 Jam");
    WriteSetting("Quendel", "Song", "99", folder->settingsFile()); // by hand: the last one
    WriteSetting("Setlist", "Song 1", "", folder->settingsFile());
    bar->Deck.Songs.reload();
    EXPECT_TRUE(bar->Deck.Songs.songs().isEmpty());
    EXPECT_FALSE(bar->Songs->isVisibleTo(bar));
    EXPECT_FALSE(bar->Deck.Songs.next());
}

TEST_F(BarSetlist, AnOpenedSetShowsItsBankItsPadsItsSongAndItsTempoAtOnce)
{
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Riff.wav", Constant(0.2f, 4410)));
    const QString set = folder->root() + "Gig.qset";
    QFile file(set);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Set]\nFormat=1\n[Quendel]\nTempo=104\nBank=C\nSong=2\n"
               "[Samples C]\nSample 3=Riff.wav\nMode 3=gate\n"
               "[Setlist]\nSong 1=One | A\nSong 2=Two | C | 104\n[Sounds]\nSound 1=Riff.wav\n");
    file.close();
    bar->openSet(set);
    EXPECT_EQ(PadBanks::Shown(), 2);
    EXPECT_EQ(bar->Deck.Tempo.now().tempo, 104.0);
    EXPECT_EQ(bar->Songs->Song->value(), "2/2 Two");
    EXPECT_TRUE(Settles([&] { return bar->PadNames[2]->lines().join(' ') == "Riff"; }));
    EXPECT_TRUE(bar->StatusLine->text().startsWith("Set opened: Gig.qset"));
}

} // namespace
