// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// The band pitch line under the tuner's switches: a BAND PITCH button, then what the measurement
// says. A click on the button starts (or stops) hearing the band; a click on an offer accepts
// it; a right click anywhere on the line forgets the band.
class BandPitchLine : public QWidget {
public:
    enum class Mode {
        Idle,      // nothing measured; or following a band accepted earlier
        Measuring, // hearing the band: how many steady notes so far
        Offer,     // "Band at A4 = 438.6 Hz: tune the pads", with the spread beside it
        TooFew,    // fewer steady notes than an estimate needs
        TooWide,   // the notes disagree too much to say where the band is
        TooFar,    // the band is outside the tuner's A4 range
    };

    BandPitchLine(QWidget* parent, const QRect& rect);

    // following: the A4 of a band accepted earlier and still in use (0 for none).
    void showIdle(double following = 0.0);
    void showMeasuring(int notes);
    void showOffer(double a4, double spreadCents);
    void showTooFew(int notes);
    void showTooWide(double spreadCents);
    void showTooFar(double a4);

    Mode mode() const { return m_mode; }
    // The texts as the line shows them, for the window's tests.
    QString text() const { return m_text; }
    QString spreadText() const { return m_spread; }
    bool isMeasuring() const { return m_mode == Mode::Measuring; }

    std::function<void()> Started; // the button, while not measuring
    std::function<void()> Stopped; // the button, while measuring
    std::function<void()> Accepted;
    std::function<void()> Cleared;

    // The button and the message, in the widget's own pixels.
    static QRect buttonArea();
    QRect messageArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void set(Mode mode, const QString& text, const QString& spread = {});

    Mode m_mode = Mode::Idle;
    QString m_text;
    QString m_spread;
};
