// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pitch/TargetHold.h"
#include "pitch/Tuning.h"

#include <QString>
#include <QWidget>

#include <functional>

// What the listening tuner writes over its face. None of these widgets takes the mouse except
// the tuning's line and the reference pitch, which are controls.

// The meter in its well: the note or string heard, a needle over -50..+50 cents with the
// in-tune zone, and the deviation and frequency to one decimal. Without a reading it says why.
class TunerMeter : public QWidget {
public:
    enum class Mode { Off, NoInput, Listening, Reading, HearingTone };
    // Within this many cents the string counts as in tune (the zone is green).
    static constexpr double kInTuneCents = 3.0;

    TunerMeter(QWidget* parent, const QRect& rect);
    void show(Mode mode, const pitch::HeldTarget& held = {}, bool chromatic = false);
    Mode mode() const { return m_mode; }
    // The texts as the face shows them, for the window's tests.
    QString noteText() const;
    QString centsText() const;
    QString frequencyText() const;
    QString statusText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Mode m_mode = Mode::Off;
    pitch::HeldTarget m_held;
    bool m_chromatic = false;
};

// The note and pitch of one string button, over the pad's face; dark ink while the pad is lit.
class StringLabel : public QWidget {
public:
    StringLabel(QWidget* parent, const QRect& rect);
    void setString(const QString& note, double frequency);
    void setLit(bool lit);
    QString note() const { return m_note; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_note;
    double m_frequency = 0.0;
    bool m_lit = false;
};

// The tuning's name and its strings; a click opens the menu of tunings.
class TuningLine : public QWidget {
public:
    TuningLine(QWidget* parent, const QRect& rect);
    void setTuning(const pitch::Tuning& tuning);
    std::function<void(pitch::TuningKind)> Chosen;
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString m_text;
    pitch::TuningKind m_kind = pitch::TuningKind::Standard;
};

// "A4 = 440.0 Hz" on the reference plate, with - and + beside it; the wheel steps it too.
class ReferencePitch : public QWidget {
public:
    ReferencePitch(QWidget* parent, const QRect& rect);
    void setA4(double a4);
    double a4() const { return m_a4; }
    std::function<void(double a4)> Changed;
    // The - and + areas, in the widget's own pixels.
    static QRect lowerArea();
    static QRect raiseArea();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void step(int steps);
    double m_a4 = pitch::Tuning::kDefaultA4;
};
