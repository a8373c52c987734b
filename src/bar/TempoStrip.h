// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "deck/TempoSettings.h"

#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class PadDeck;
class QLineEdit;

// One reading on the tempo strip, engraved as the bar's own lettering is: a caption in the
// engraving's grey, the value beside it in the bright grey of "QUENDEL SP-28" (amber while it
// is on), and an optional unit after it. The mouse works it: a left press (at once, so a tap
// lands on the beat), a right press, the wheel in whole steps (Shift held says so). It never
// takes the keyboard focus: the pads' keys keep working while the mouse is on the strip.
class StripField : public QWidget {
public:
    StripField(QWidget* parent, const QString& caption, const QString& unit, int left, int width);

    void setValue(const QString& value, bool lit = false);
    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }
    QString value() const { return m_value; }
    bool lit() const { return m_lit; }
    // Where the value is written: an inline editor lies over it.
    QRect valueRect() const;

    std::function<void()> LeftPress;
    std::function<void()> RightPress;
    std::function<void(int steps, bool shift)> Wheel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int captionWidth() const;

    QString m_caption;
    QString m_unit;
    QString m_value;
    bool m_lit = false;
    bool m_hover = false;
    int m_wheelRest = 0; // a touchpad's part of a step, kept for the next turn
};

// The session's tempo and key on the bar, under the status line: TEMPO (click to type, wheel
// ±1 BPM, right click off), TAP, KEY (wheel semitones, Shift+wheel cents, right click 0, click
// to type "-2 +15"), the band's A4 while one is set (right click: back to 440), CLICK (the
// metronome: click on/off, wheel its level), COUNT-IN and MIDI (click, then move the control
// that is to set the tempo). Everything goes to the deck's
// SessionTempo, and the strip shows whatever it announces, whoever changed it (keys, MIDI, a
// hand edit of the settings file).
class TempoStrip : public QWidget {
public:
    // Between the pad area's sides, below the status line and level with the clock.
    static constexpr QRect kArea{105, 714, 820, 24};
    static constexpr int kLevelStep = 5;

    TempoStrip(QWidget* parent, PadDeck& deck);
    ~TempoStrip() override;

    // A note for the status line (a typed value that is no tempo or key).
    std::function<void(const QString&)> Say;

    StripField* Tempo = nullptr;
    StripField* Tap = nullptr;
    StripField* Key = nullptr;
    StripField* BandPitch = nullptr;
    StripField* Click = nullptr;
    StripField* CountIn = nullptr;
    StripField* TempoMidi = nullptr;
    // The inline editor: shown only while a tempo or key is typed.
    QLineEdit* Editor = nullptr;

    void editTempo();
    void editKey();
    // Waits for the next MIDI control change, which then sets the session tempo; a second call
    // stops waiting.
    void learnTempoControl();
    // While the tempo is shared in an Ableton Link session, its caption says so and how many
    // other players are in it ("LINK 2"); -1: no session, "TEMPO" again.
    void showLinkPeers(int peers);

    // What may be typed: "96", "96.5", "96,5" or "off" (0); "-2", "-2 +15", "+2 st -15 ct".
    static std::optional<double> ParseTempo(const QString& text);
    static std::optional<PadKey> ParseKey(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSession(const SessionKeyAndTempo& now);
    void edit(StripField& field, const QString& text, std::function<bool(const QString&)> apply);
    void closeEditor();
    void showTempoControl();

    PadDeck& m_deck;
    std::function<bool(const QString&)> m_apply; // the open editor's: false keeps it open
    QTimer m_tapFlash;
    bool m_learning = false;
};
