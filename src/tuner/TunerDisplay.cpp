// SPDX-License-Identifier: GPL-3.0-or-later
#include "TunerDisplay.h"

#include "skin/LabelControl.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

const QColor kDim{0x86, 0x8c, 0x94};
const QColor kInk{0xc9, 0xcd, 0xd2};
const QColor kAmber{0xff, 0xa8, 0x30};
const QColor kGreen{0x5c, 0xff, 0x6a};
const QColor kPlateInk{0xe0, 0xc4, 0x96};

QString letterOf(int midiNote)
{
    return QString::fromStdString(pitch::noteLetter(midiNote));
}

QString oneDecimal(double value)
{
    return QString::number(value, 'f', 1);
}

} // namespace

// ---- Meter ----------------------------------------------------------------------------------

TunerMeter::TunerMeter(QWidget* parent, const QRect& rect) : QWidget(parent)
{
    setGeometry(rect);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TunerMeter::show(Mode mode, const pitch::HeldTarget& held, bool chromatic)
{
    // The listener reports only what changes on the face, so every call is worth a repaint.
    m_mode = mode == Mode::Reading && held.parked ? Mode::Listening : mode;
    m_held = held;
    m_chromatic = chromatic;
    update();
}

QString TunerMeter::noteText() const
{
    if (m_mode != Mode::Reading)
        return {};
    return m_chromatic ? QString::fromStdString(pitch::noteName(m_held.target.note))
                       : letterOf(m_held.target.note);
}

QString TunerMeter::centsText() const
{
    if (m_mode != Mode::Reading)
        return {};
    const double cents = m_held.target.cents;
    // A plus for sharp, the minus sign for flat: the two read apart at a glance.
    const QString number = oneDecimal(std::fabs(cents));
    const bool zero = number == QLatin1String("0.0");
    return (zero        ? QString()
            : cents > 0 ? QStringLiteral("+")
                        : QStringLiteral("\u2212")) +
           number + QStringLiteral(" cents");
}

QString TunerMeter::frequencyText() const
{
    return m_mode == Mode::Reading ? oneDecimal(m_held.frequency) + QStringLiteral(" Hz")
                                   : QString();
}

QString TunerMeter::statusText() const
{
    switch (m_mode) {
    case Mode::Off:
        return QStringLiteral("Press a string to hear it, or LISTEN to tune by eye");
    case Mode::NoInput:
        return QStringLiteral("no input");
    case Mode::Listening:
        return QStringLiteral("Listening \u2026 play one string");
    case Mode::HearingTone:
        return QStringLiteral("Reference tone sounding: not reading");
    case Mode::Reading:
        break;
    }
    return {};
}

void TunerMeter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF noteArea(8, 4, 96, height() - 8);
    const QRectF scale(118, 14, width() - 132, 34);
    const qreal centre = scale.center().x();
    const auto xOf = [&](double cents) {
        return centre + std::clamp(cents, -50.0, 50.0) / 50.0 * scale.width() / 2;
    };
    const bool reading = m_mode == Mode::Reading;
    const bool inTune = reading && std::fabs(m_held.target.cents) <= kInTuneCents;

    // The in-tune zone, then the ticks every 10 cents with 0 and the ends marked.
    painter.setPen(Qt::NoPen);
    painter.setBrush(inTune ? QColor(0x5c, 0xff, 0x6a, 90) : QColor(0x5c, 0xff, 0x6a, 36));
    painter.drawRoundedRect(QRectF(xOf(-kInTuneCents), scale.top(),
                                   xOf(kInTuneCents) - xOf(-kInTuneCents), scale.height()),
                            2, 2);
    for (int cents = -50; cents <= 50; cents += 5) {
        const bool major = cents % 10 == 0;
        painter.setPen(QPen(cents == 0 ? kInk : kDim, cents == 0 ? 2.0 : 1.0));
        const qreal top = scale.bottom() - (cents == 0 ? scale.height() : major ? 14 : 8);
        painter.drawLine(QPointF(xOf(cents), top), QPointF(xOf(cents), scale.bottom()));
    }
    painter.setFont(BoldSansFont(7.5));
    painter.setPen(kDim);
    for (int cents : {-50, -25, 0, 25, 50})
        painter.drawText(QRectF(xOf(cents) - 20, scale.bottom() + 1, 40, 12), Qt::AlignCenter,
                         cents == 0 ? QStringLiteral("0")
                                    : (cents > 0 ? QStringLiteral("+") : QStringLiteral("\u2212")) +
                                          QString::number(std::abs(cents)));

    // The needle: parked at the centre, dim, without a reading.
    const qreal needleX = reading ? xOf(m_held.target.cents) : centre;
    const QColor needle = !reading ? QColor(0x55, 0x5a, 0x60) : inTune ? kGreen : kAmber;
    painter.setPen(QPen(needle, 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(needleX, scale.top() - 6), QPointF(needleX, scale.bottom()));
    QPainterPath tip;
    tip.moveTo(needleX - 6, scale.top() - 11);
    tip.lineTo(needleX + 6, scale.top() - 11);
    tip.lineTo(needleX, scale.top() - 3);
    tip.closeSubpath();
    painter.fillPath(tip, needle);

    if (reading) {
        painter.setFont(BoldSansFont(m_chromatic ? 24 : 30));
        painter.setPen(inTune ? kGreen : kInk);
        painter.drawText(noteArea, Qt::AlignCenter, noteText());
        painter.setFont(BoldSansFont(10.5));
        painter.setPen(inTune ? kGreen : kAmber);
        const QRectF line(scale.left(), scale.bottom() + 16, scale.width(), 18);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, centsText());
        painter.setPen(kInk);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, frequencyText());
    } else {
        painter.setFont(BoldSansFont(m_mode == Mode::NoInput ? 10.5 : 9));
        painter.setPen(m_mode == Mode::NoInput ? kAmber : kDim);
        painter.drawText(
            QRectF(noteArea.right(), scale.bottom() + 16, width() - noteArea.right() - 8, 18),
            Qt::AlignCenter, statusText());
        painter.setFont(BoldSansFont(30));
        painter.setPen(QColor(0x3a, 0x3e, 0x44));
        painter.drawText(noteArea, Qt::AlignCenter, QStringLiteral("\u2013"));
    }
}

// ---- String labels ----------------------------------------------------------------------------

StringLabel::StringLabel(QWidget* parent, const QRect& rect) : QWidget(parent)
{
    setGeometry(rect);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void StringLabel::setString(const QString& note, double frequency)
{
    m_note = note;
    m_frequency = frequency;
    update();
}

void StringLabel::setLit(bool lit)
{
    if (lit != m_lit) {
        m_lit = lit;
        update();
    }
}

void StringLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(3, 3, -3, -3);
    const QColor ink = m_lit ? kAmber.darker(330) : QColor(0xa4, 0xa9, 0xb0);
    painter.setPen(ink);
    painter.setFont(BoldSansFont(m_note.size() > 1 ? 12 : 16));
    painter.drawText(QRectF(body.left(), body.top() + body.height() * 0.12, body.width(), 30),
                     Qt::AlignCenter, m_note);
    painter.setFont(BoldSansFont(6.5));
    painter.setPen(m_lit ? ink : kDim);
    painter.drawText(QRectF(body.left(), body.top() + body.height() * 0.12 + 30, body.width(), 14),
                     Qt::AlignCenter, oneDecimal(m_frequency));
}

// ---- Tuning line ------------------------------------------------------------------------------

TuningLine::TuningLine(QWidget* parent, const QRect& rect) : QWidget(parent)
{
    setGeometry(rect);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to choose the tuning"));
}

void TuningLine::setTuning(const pitch::Tuning& tuning)
{
    m_kind = tuning.kind();
    QString text = QString::fromUtf8(tuning.displayName().data(),
                                     static_cast<qsizetype>(tuning.displayName().size()))
                       .toUpper();
    if (!tuning.isChromatic()) {
        text += QStringLiteral("  ");
        for (int note : tuning.stringNotes())
            text += QStringLiteral("  ") + letterOf(note);
    } else {
        text += QStringLiteral("    ANY NOTE");
    }
    m_text = text + QStringLiteral("   \u25be");
    update();
}

void TuningLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QFont font = BoldSansFont(8.5);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    painter.setFont(font);
    painter.setPen(underMouse() ? kInk : kDim);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

void TuningLine::mousePressEvent(QMouseEvent* event)
{
    QMenu menu(this);
    for (pitch::TuningKind kind : pitch::Tuning::allKinds()) {
        const std::string_view name = pitch::Tuning::displayName(kind);
        QAction* action =
            menu.addAction(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        action->setCheckable(true);
        action->setChecked(kind == m_kind);
        QObject::connect(action, &QAction::triggered, this, [this, kind] {
            if (Chosen)
                Chosen(kind);
        });
    }
    menu.exec(event->globalPosition().toPoint());
}

// ---- Reference pitch --------------------------------------------------------------------------

ReferencePitch::ReferencePitch(QWidget* parent, const QRect& rect) : QWidget(parent)
{
    setGeometry(rect);
    setToolTip(QStringLiteral("A4 from 430 to 450 Hz: click - or +, or turn the wheel"));
}

QRect ReferencePitch::lowerArea()
{
    return {140, 2, 24, 24};
}

QRect ReferencePitch::raiseArea()
{
    return {168, 2, 24, 24};
}

void ReferencePitch::setA4(double a4)
{
    m_a4 = pitch::Tuning::withFineA4(pitch::TuningKind::Standard, a4).a4();
    update();
}

void ReferencePitch::step(int steps)
{
    const double before = m_a4;
    // From a band's pitch between two steps, a step moves about half a hertz onto a step.
    setA4(pitch::Tuning(pitch::TuningKind::Standard, m_a4 + steps * pitch::Tuning::kA4Step).a4());
    if (m_a4 != before && Changed)
        Changed(m_a4);
}

void ReferencePitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(BoldSansFont(12));
    painter.setPen(kPlateInk);
    painter.drawText(QRectF(4, 0, 134, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("A4 = %1 Hz").arg(oneDecimal(m_a4)));
    for (const auto& [area, sign, enabled] :
         {std::tuple{lowerArea(), QStringLiteral("\u2212"), m_a4 > pitch::Tuning::kMinA4},
          std::tuple{raiseArea(), QStringLiteral("+"), m_a4 < pitch::Tuning::kMaxA4}}) {
        painter.setPen(QPen(QColor(0x3a, 0x3e, 0x44), 1.0));
        painter.setBrush(QColor(0x1f, 0x22, 0x26));
        painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter.setPen(enabled ? kPlateInk : QColor(0x55, 0x5a, 0x60));
        painter.drawText(area, Qt::AlignCenter, sign);
    }
}

void ReferencePitch::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (lowerArea().contains(at))
        step(-1);
    else if (raiseArea().contains(at))
        step(1);
}

void ReferencePitch::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0)
        step(notches);
    event->accept();
}
