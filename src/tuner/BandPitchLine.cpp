// SPDX-License-Identifier: GPL-3.0-or-later
#include "BandPitchLine.h"

#include "skin/LabelControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor kDim{0x86, 0x8c, 0x94};
const QColor kAmber{0xff, 0xa8, 0x30};
const QColor kGreen{0x5c, 0xff, 0x6a};
const QColor kPlateInk{0xe0, 0xc4, 0x96};

QString oneDecimal(double value)
{
    return QString::number(value, 'f', 1);
}

QString plusMinusCents(double cents)
{
    return QStringLiteral("\u00b1%1 cents").arg(oneDecimal(cents));
}

} // namespace

BandPitchLine::BandPitchLine(QWidget* parent, const QRect& rect) : QWidget(parent)
{
    setGeometry(rect);
    setAttribute(Qt::WA_Hover); // the offer lights under the mouse
    setToolTip(QStringLiteral("BAND PITCH: let the band play a few notes, and the tuner says "
                              "where it is tuned. Right-click to go back to 440 Hz"));
}

QRect BandPitchLine::buttonArea()
{
    return {0, 0, 96, 18};
}

QRect BandPitchLine::messageArea() const
{
    return {buttonArea().right() + 10, 0, width() - buttonArea().width() - 10, height()};
}

void BandPitchLine::set(Mode mode, const QString& text, const QString& spread)
{
    m_mode = mode;
    m_text = text;
    m_spread = spread;
    setCursor(mode == Mode::Offer ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

void BandPitchLine::showIdle(double following)
{
    set(Mode::Idle,
        following > 0.0
            ? QStringLiteral("Following the band at A4 = %1 Hz").arg(oneDecimal(following))
            : QString());
}

void BandPitchLine::showMeasuring(int notes)
{
    set(Mode::Measuring, notes == 0 ? QStringLiteral("Hearing the band \u2026 play a few notes")
                                    : QStringLiteral("Hearing the band \u2026 %1 steady note%2")
                                          .arg(notes)
                                          .arg(notes == 1 ? QString() : QStringLiteral("s")));
}

void BandPitchLine::showOffer(double a4, double spreadCents)
{
    set(Mode::Offer, QStringLiteral("Band at A4 = %1 Hz: tune the pads").arg(oneDecimal(a4)),
        plusMinusCents(spreadCents));
}

void BandPitchLine::showTooFew(int notes)
{
    set(Mode::TooFew,
        QStringLiteral("Too few steady notes (%1): play longer notes and try again").arg(notes));
}

void BandPitchLine::showTooWide(double spreadCents)
{
    set(Mode::TooWide, QStringLiteral("The notes disagree too much: try again"),
        plusMinusCents(spreadCents));
}

void BandPitchLine::showTooFar(double a4)
{
    set(Mode::TooFar,
        QStringLiteral("The band (A4 = %1 Hz) is too far from 440 to follow").arg(oneDecimal(a4)));
}

void BandPitchLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The button: drawn like the reference pitch's steps, amber while it hears the band.
    const bool measuring = m_mode == Mode::Measuring;
    painter.setPen(QPen(measuring ? kAmber : QColor(0x3a, 0x3e, 0x44), 1.0));
    painter.setBrush(QColor(0x1f, 0x22, 0x26));
    painter.drawRoundedRect(QRectF(buttonArea()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    QFont font = BoldSansFont(7.5);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    painter.setFont(font);
    painter.setPen(measuring ? kAmber : kPlateInk);
    painter.drawText(buttonArea(), Qt::AlignCenter, QStringLiteral("BAND PITCH"));

    const QRect message = messageArea();
    painter.setFont(BoldSansFont(9));
    QColor ink = kDim;
    if (m_mode == Mode::Offer)
        ink = underMouse() ? kGreen.lighter(130) : kGreen;
    else if (m_mode == Mode::TooFew || m_mode == Mode::TooWide || m_mode == Mode::TooFar)
        ink = kAmber;
    painter.setPen(ink);
    QRect used;
    painter.drawText(message, Qt::AlignLeft | Qt::AlignVCenter, m_text, &used);
    if (m_mode == Mode::Offer && underMouse())
        painter.drawLine(used.bottomLeft() + QPointF(0, -1), used.bottomRight() + QPointF(0, -1));
    if (!m_spread.isEmpty()) {
        painter.setPen(kDim);
        painter.drawText(message.adjusted(used.width() + 12, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, m_spread);
    }
}

void BandPitchLine::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        if (Cleared)
            Cleared();
    } else if (event->button() == Qt::LeftButton && buttonArea().contains(at)) {
        const auto& press = m_mode == Mode::Measuring ? Stopped : Started;
        if (press)
            press();
    } else if (event->button() == Qt::LeftButton && m_mode == Mode::Offer &&
               messageArea().contains(at) && Accepted) {
        Accepted();
    }
}
