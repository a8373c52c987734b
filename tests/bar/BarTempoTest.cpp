// SPDX-License-Identifier: GPL-3.0-or-later
#include "BarTestSupport.h"

#include "core/SettingsStore.h"
#include "midi/MidiLearn.h"

#include <QFile>
#include <QLineEdit>
#include <QWheelEvent>

namespace {

class BarTempo : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        bar->activateWindow(); // the editor takes the focus only in the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(bar));
    }
    QString stored(const QString& key) const
    {
        QFile file(folder->settingsFile());
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("<no file>");
        return FindSettingValue(file.readAll(), AppModul::AppTitle, key)
            .value_or(QStringLiteral("<none>"));
    }
    static void wheel(QWidget* widget, int steps, Qt::KeyboardModifiers mods = {})
    {
        const QPointF at(5, 5);
        QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, steps * 120),
                          Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
    }
    static void rightClick(QWidget* widget)
    {
        QTest::mousePress(widget, Qt::RightButton, {}, QPoint(5, 5));
    }
    // Opens the field's editor with a click and types into it.
    void type(StripField* field, const QString& text, int finalKey = Qt::Key_Return) const
    {
        QTest::mousePress(field, Qt::LeftButton, {}, QPoint(5, 5));
        QLineEdit* editor = bar->Strip->Editor;
        ASSERT_TRUE(editor->isVisible());
        ASSERT_TRUE(editor->hasFocus());
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, static_cast<Qt::Key>(finalKey));
    }
    QString tempoShown() const { return bar->Strip->Tempo->value(); }
};

TEST_F(BarTempo, ATypedTempoIsStoredAndShownTheWheelNudgesItAndARightClickTurnsItOff)
{
    ASSERT_EQ(tempoShown(), "off");
    type(bar->Strip->Tempo, "96");
    EXPECT_EQ(stored("Tempo"), "96.0");
    EXPECT_EQ(tempoShown(), "96.0");
    EXPECT_TRUE(bar->Strip->Tempo->lit());
    EXPECT_FALSE(bar->Strip->Editor->isVisible());
    EXPECT_FALSE(bar->Strip->Editor->hasFocus()); // the keys are the pads' again

    wheel(bar->Strip->Tempo, 2);
    EXPECT_EQ(stored("Tempo"), "98.0");
    wheel(bar->Strip->Tempo, -1);
    EXPECT_EQ(tempoShown(), "97.0");

    // Esc and nonsense leave the tempo as it was; nonsense says why on the status line.
    type(bar->Strip->Tempo, "150", Qt::Key_Escape);
    EXPECT_FALSE(bar->Strip->Editor->isVisible());
    type(bar->Strip->Tempo, "fast");
    EXPECT_TRUE(bar->Strip->Editor->isVisible());
    EXPECT_TRUE(bar->StatusLine->text().startsWith("A tempo is 30..300 BPM"));
    QTest::keyClick(bar->Strip->Editor, Qt::Key_Escape);
    EXPECT_EQ(stored("Tempo"), "97.0");

    rightClick(bar->Strip->Tempo);
    EXPECT_EQ(stored("Tempo"), "off");
    EXPECT_EQ(tempoShown(), "off");
    // A decimal comma is read as a point.
    type(bar->Strip->Tempo, "128,5");
    EXPECT_EQ(stored("Tempo"), "128.5");
}

TEST_F(BarTempo, TheKeyWheelMovesSemitonesShiftWheelCentsAndItCanBeTypedAndCleared)
{
    StripField* key = bar->Strip->Key;
    EXPECT_EQ(key->value(), "0 st");
    wheel(key, 2);
    wheel(key, -1, Qt::ShiftModifier);
    EXPECT_EQ(key->value(), "+2 st -1 ct");
    EXPECT_EQ(stored("Transpose"), "2");
    EXPECT_EQ(stored("TransposeCents"), "-1");

    type(key, "-2 +15");
    EXPECT_EQ(key->value(), "-2 st +15 ct");
    type(key, "+3 st -4 ct"); // as the strip writes it
    EXPECT_EQ(key->value(), "+3 st -4 ct");
    type(key, "30"); // beyond an octave: refused, said, the editor stays
    EXPECT_TRUE(bar->Strip->Editor->isVisible());
    QTest::keyClick(bar->Strip->Editor, Qt::Key_Escape);

    rightClick(key);
    EXPECT_EQ(key->value(), "0 st");
    EXPECT_EQ(stored("Transpose"), "0");
    EXPECT_EQ(stored("TransposeCents"), "0");
}

TEST_F(BarTempo, TheMetronomeCountInAndBandPitchAreSetFromTheStrip)
{
    QTest::mousePress(bar->Strip->Click, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(stored("Metronome"), "on");
    EXPECT_TRUE(bar->Strip->Click->lit());
    wheel(bar->Strip->Click, 1);
    EXPECT_EQ(stored("MetronomeLevel"), "75");
    EXPECT_EQ(bar->Strip->Click->value(), "on  75 %");
    QTest::mousePress(bar->Strip->CountIn, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(stored("CountIn"), "on");

    // The band's pitch shows only while one is set; a right click tunes back to 440.
    EXPECT_FALSE(bar->Strip->BandPitch->isVisible());
    bar->Deck.Tempo.setBandA4(438.6);
    EXPECT_TRUE(bar->Strip->BandPitch->isVisible());
    EXPECT_EQ(bar->Strip->BandPitch->value(), "438.6");
    rightClick(bar->Strip->BandPitch);
    EXPECT_EQ(stored("BandA4"), "440.0");
    EXPECT_FALSE(bar->Strip->BandPitch->isVisible());

    // MIDI learns the control that sets the tempo: a note does not do, a control does.
    StripField* midi = bar->Strip->TempoMidi;
    EXPECT_EQ(midi->value(), "learn");
    QTest::mousePress(midi, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(MidiLearn::offer({MidiMessage::Type::NoteOn, 10, 36, 100}));
    EXPECT_TRUE(MidiLearn::offer({MidiMessage::Type::Control, 2, 20, 64}));
    EXPECT_EQ(midi->value(), "CC 20 Ch 2");
    QFile file(folder->settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(FindSettingValue(file.readAll(), u"Triggers", u"Tempo"), "CC 20 Ch 2");
    QTest::mousePress(midi, Qt::LeftButton, {}, QPoint(5, 5)); // waits again, then not
    QTest::mousePress(midi, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(MidiLearn::waiting());
    EXPECT_EQ(midi->value(), "CC 20 Ch 2");

    // No control of the strip takes the keyboard focus from the pads.
    const TempoStrip& strip = *bar->Strip;
    for (const QWidget* control : {strip.Tempo, strip.Tap, strip.Key, strip.BandPitch, strip.Click,
                                   strip.CountIn, strip.TempoMidi})
        EXPECT_EQ(control->focusPolicy(), Qt::NoFocus);
}

TEST_F(BarTempo, TheTempoKeysNudgeFromThePlayingPadsTempoButNotWhileTyping)
{
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
    bind(0, "Groove.wav");
    bar->Deck.setPadTempo(0, PadTempo{PadTempo::Kind::Set, 96.0, 1});
    click(0);
    ASSERT_EQ(bar->Deck.ActivePad, 0);

    QTest::keyClick(bar, Qt::Key_Up); // from off: the playing pad's tempo, one step up
    EXPECT_EQ(stored("Tempo"), "97.0");
    QTest::keyClick(bar, Qt::Key_Down);
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(tempoShown(), "95.0");
    QTest::keyClick(bar, Qt::Key_Plus);
    EXPECT_EQ(stored("Tempo"), "96.0");
    EXPECT_EQ(bar->Deck.ActivePad, 0); // no pad played or stopped

    QTest::mousePress(bar->Strip->Tempo, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(bar->Strip->Editor->hasFocus());
    QTest::keyClick(bar->Strip->Editor, Qt::Key_Up);
    QTest::keyClick(bar->Strip->Editor, Qt::Key_Plus);
    EXPECT_EQ(stored("Tempo"), "96.0");
    QTest::keyClick(bar->Strip->Editor, Qt::Key_Escape); // the keys are the pads' again
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    ASSERT_NE(focus, bar->Strip->Editor);
    QTest::keyClick(focus, Qt::Key_Up);
    EXPECT_EQ(stored("Tempo"), "97.0");
}

TEST_F(BarTempo, DeckNotesAndHandEditsReachTheBar)
{
    emit bar->Deck.note(QStringLiteral("Pad 3 plays at its own tempo until its stretch is ready"));
    EXPECT_EQ(bar->StatusLine->text(), "Pad 3 plays at its own tempo until its stretch is ready");

    // A tempo written into the settings file by hand shows as soon as the bar sees the file.
    writeSetting("Tempo", "88.5");
    writeSetting("Transpose", "-3");
    EXPECT_TRUE(Settles([&] { return tempoShown() == "88.5"; }));
    EXPECT_EQ(bar->Strip->Key->value(), "-3 st");
}

} // namespace
