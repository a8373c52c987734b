// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoStrip.h"

#include "deck/PadDeck.h"
#include "deck/TempoActions.h"
#include "midi/MidiControls.h"
#include "midi/MidiLearn.h"
#include "skin/LabelControl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QWheelEvent>

#include <cmath>

using namespace TempoSettings;

namespace {

// The colours of the bar's engraving: the grey of "SAMPLE STATION", the bright grey of
// "QUENDEL SP-28", and the warm tone of the title's legend for what is on.
const QColor kCaptionColour(0x86, 0x8c, 0x94);
const QColor kValueColour(0xc9, 0xcd, 0xd2);
const QColor kLitColour(0xe6, 0xb8, 0x78);
const QColor kHoverColour(0xf0, 0xf2, 0xf4);
constexpr int kGap = 6; // between caption, value and unit

QFont captionFont()
{
    QFont font = BoldSansFont(7.5);
    font.setLetterSpacing(QFont::PercentageSpacing, 125);
    return font;
}

QFont valueFont()
{
    return BoldSansFont(9.0);
}

} // namespace

// ---- One reading ------------------------------------------------------------------------------

StripField::StripField(QWidget* parent, const QString& caption, const QString& unit, int left,
                       int width)
    : QWidget(parent), m_caption(caption), m_unit(unit)
{
    setGeometry(left, 0, width, parent->height());
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void StripField::setValue(const QString& value, bool lit)
{
    if (value == m_value && lit == m_lit)
        return;
    m_value = value;
    m_lit = lit;
    update();
}

void StripField::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

int StripField::captionWidth() const
{
    return m_caption.isEmpty() ? 0 : QFontMetrics(captionFont()).horizontalAdvance(m_caption);
}

QRect StripField::valueRect() const
{
    const int left = m_caption.isEmpty() ? 0 : captionWidth() + kGap;
    const int unit =
        m_unit.isEmpty() ? 0 : QFontMetrics(captionFont()).horizontalAdvance(m_unit) + kGap;
    return QRect(left, 1, width() - left - unit, height() - 2);
}

void StripField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor valueColour = m_lit ? kLitColour : m_hover ? kHoverColour : kValueColour;
    if (m_caption.isEmpty()) {
        // A button: its word in a thin engraved frame.
        painter.setPen(QPen(m_lit ? kLitColour : kCaptionColour, 1.0));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 3.5, -0.5, -3.5), 3, 3);
        painter.setFont(captionFont());
        painter.setPen(valueColour);
        painter.drawText(rect(), Qt::AlignCenter, m_value);
        return;
    }
    painter.setFont(captionFont());
    painter.setPen(kCaptionColour);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    const QRect value = valueRect();
    painter.setFont(valueFont());
    painter.setPen(valueColour);
    painter.drawText(value, Qt::AlignLeft | Qt::AlignVCenter, m_value);
    if (!m_unit.isEmpty() && m_value != QStringLiteral("off")) {
        const int right = value.left() + QFontMetrics(valueFont()).horizontalAdvance(m_value);
        painter.setFont(captionFont());
        painter.setPen(kCaptionColour);
        painter.drawText(QRect(right + kGap / 2, 0, width() - right, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, m_unit);
    }
}

void StripField::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && LeftPress)
        LeftPress();
    else if (event->button() == Qt::RightButton && RightPress)
        RightPress();
    event->accept(); // never a drag of the bar
}

void StripField::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (!Wheel)
        return;
    // Some systems turn a wheel with Shift held into a sideways one.
    const QPoint delta = event->angleDelta();
    m_wheelRest += delta.y() != 0 ? delta.y() : delta.x();
    const int steps = m_wheelRest / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRest %= QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        Wheel(steps, event->modifiers().testFlag(Qt::ShiftModifier));
}

void StripField::enterEvent(QEnterEvent*)
{
    m_hover = true;
    update();
}

void StripField::leaveEvent(QEvent*)
{
    m_hover = false;
    update();
}

// ---- The strip --------------------------------------------------------------------------------

TempoStrip::TempoStrip(QWidget* parent, PadDeck& deck) : QWidget(parent), m_deck(deck)
{
    setGeometry(kArea);
    setFocusPolicy(Qt::NoFocus);
    SessionTempo& tempo = deck.Tempo;

    Tempo = new StripField(this, QStringLiteral("TEMPO"), QStringLiteral("BPM"), 0, 134);
    Tempo->setToolTip(
        QStringLiteral("Session tempo: every pad with a tempo of its own plays at it\n"
                       "Click: type a tempo (Enter applies, Esc cancels)\n"
                       "Wheel: %1 BPM up or down\nRight click: off, every pad at its own tempo")
            .arg(SessionTempo::kNudgeBpm, 0, 'f', 0));
    Tempo->LeftPress = [this] { editTempo(); };
    Tempo->RightPress = [&tempo] { tempo.setTempo(0.0); };
    // The pad that plays gives a tempo to start from when there is none.
    Tempo->Wheel = [this, &tempo](int steps, bool) {
        tempo.nudgeTempo(steps, PlayingPadTempo(m_deck));
    };

    Tap = new StripField(this, QString(), QString(), 140, 40);
    Tap->setValue(QStringLiteral("TAP"));
    Tap->setToolTip(QStringLiteral("Tap the tempo: from the second tap on, the taps set it\n"
                                   "(also the Tap Tempo key or MIDI note in [Triggers])"));
    m_tapFlash.setSingleShot(true);
    m_tapFlash.setInterval(120);
    QObject::connect(&m_tapFlash, &QTimer::timeout, this,
                     [this] { Tap->setValue(QStringLiteral("TAP"), false); });
    Tap->LeftPress = [this, &tempo] {
        Tap->setValue(QStringLiteral("TAP"), true);
        m_tapFlash.start();
        tempo.tap();
    };

    Key = new StripField(this, QStringLiteral("KEY"), QString(), 204, 126);
    Key->setToolTip(QStringLiteral("Session key: every pad is transposed by it\n"
                                   "Wheel: semitones; Shift+wheel: cents\n"
                                   "Click: type semitones and cents, as \"-2 +15\"\n"
                                   "Right click: back to 0"));
    Key->LeftPress = [this] { editKey(); };
    Key->RightPress = [&tempo] { tempo.setTranspose(0, 0); };
    Key->Wheel = [&tempo](int steps, bool shift) {
        const SessionKeyAndTempo& now = tempo.now();
        if (shift)
            tempo.setTranspose(now.semitones, now.cents + steps);
        else
            tempo.setTranspose(now.semitones + steps, now.cents);
    };

    BandPitch = new StripField(this, QStringLiteral("A4"), QStringLiteral("Hz"), 352, 84);
    BandPitch->setToolTip(QStringLiteral("The band's pitch as the tuner measured it: every pad "
                                         "is tuned to it\nRight click: back to 440 Hz"));
    BandPitch->RightPress = [&tempo] { tempo.setBandA4(440.0); };

    Click = new StripField(this, QStringLiteral("CLICK"), QString(), 458, 120);
    Click->setToolTip(QStringLiteral("Metronome: a click on every beat of the session tempo\n"
                                     "Click: on or off\nWheel: its level (0..100)"));
    Click->LeftPress = [&tempo] { tempo.setMetronome(!tempo.now().metronome); };
    Click->Wheel = [&tempo](int steps, bool) {
        tempo.setMetronomeLevel(tempo.now().metronomeLevel + steps * kLevelStep);
    };

    CountIn = new StripField(this, QStringLiteral("COUNT-IN"), QString(), 600, 90);
    CountIn->setToolTip(QStringLiteral("Count-in: one bar of clicks before a loop that starts "
                                       "from silence\nClick: on or off"));
    CountIn->LeftPress = [&tempo] { tempo.setCountIn(!tempo.now().countIn); };

    TempoMidi = new StripField(this, QStringLiteral("MIDI"), QString(), 706, 110);
    TempoMidi->LeftPress = [this] { learnTempoControl(); };
    QObject::connect(&MidiControlChanges::instance(), &MidiControlChanges::learned, this,
                     [this] { showTempoControl(); });
    showTempoControl();

    Editor = new QLineEdit(this);
    Editor->setFont(valueFont());
    Editor->setFrame(false);
    Editor->setStyleSheet(QStringLiteral("QLineEdit { background: #0e1014; color: #f0f2f4; "
                                         "border: 1px solid #868c94; border-radius: 2px; }"));
    Editor->hide();
    Editor->installEventFilter(this);
    QObject::connect(Editor, &QLineEdit::returnPressed, this, [this] {
        if (m_apply && m_apply(Editor->text()))
            closeEditor();
    });

    QObject::connect(&tempo, &SessionTempo::changed, this,
                     [this](const SessionKeyAndTempo& now) { showSession(now); });
    showSession(tempo.now());
}

TempoStrip::~TempoStrip()
{
    MidiLearn::stopWaiting(this);
}

void TempoStrip::learnTempoControl()
{
    if (m_learning) {
        m_learning = false;
        MidiLearn::stopWaiting(this);
        showTempoControl();
        return;
    }
    m_learning = true;
    TempoMidi->setValue(QStringLiteral("move…"), true);
    MidiLearn::wait(
        this,
        [this](const MidiMessage& message) {
            if (message.type != MidiMessage::Type::Control)
                return false;
            m_learning = false;
            MidiLearn::stopWaiting(this);
            MidiControls::StoreLearned(MidiControls::Tempo, message.channel, message.number);
            showTempoControl();
            return true;
        },
        [this] {
            m_learning = false;
            showTempoControl();
        });
}

void TempoStrip::showTempoControl()
{
    if (m_learning)
        return;
    const std::optional<MidiTrigger> learned = MidiControls::Stored(MidiControls::Tempo);
    TempoMidi->setValue(learned ? learned->text() : QStringLiteral("learn"));
    TempoMidi->setToolTip(
        learned ? QStringLiteral("The tempo follows MIDI %1 (0..127: %2..%3 BPM)\n"
                                 "Click, then move another control to change it")
                      .arg(learned->text())
                      .arg(MidiControls::kFirstTempo)
                      .arg(MidiControls::kFirstTempo + 127)
                : QStringLiteral("Click, then move a MIDI control: it sets the tempo"));
}

void TempoStrip::showLinkPeers(int peers)
{
    Tempo->setCaption(peers < 0 ? QStringLiteral("TEMPO") : QStringLiteral("LINK %1").arg(peers));
}

void TempoStrip::showSession(const SessionKeyAndTempo& now)
{
    Tempo->setValue(TempoText(now.tempo), now.tempo > 0.0);
    Key->setValue(KeyText(now.semitones, now.cents), now.semitones != 0 || now.cents != 0);
    BandPitch->setValue(QString::number(now.bandA4, 'f', 1), true);
    BandPitch->setVisible(now.bandA4 != 440.0);
    Click->setValue(QStringLiteral("%1  %2 %")
                        .arg(now.metronome ? QStringLiteral("on") : QStringLiteral("off"))
                        .arg(now.metronomeLevel),
                    now.metronome);
    CountIn->setValue(now.countIn ? QStringLiteral("on") : QStringLiteral("off"), now.countIn);
}

// ---- Typing -----------------------------------------------------------------------------------

void TempoStrip::editTempo()
{
    const double now = m_deck.Tempo.now().tempo;
    edit(*Tempo, now > 0.0 ? TempoText(now) : QString(), [this](const QString& text) {
        const std::optional<double> bpm = ParseTempo(text);
        if (!bpm) {
            if (Say)
                Say(QStringLiteral("A tempo is %1..%2 BPM, or off")
                        .arg(kMinTempo, 0, 'f', 0)
                        .arg(kMaxTempo, 0, 'f', 0));
            return false;
        }
        m_deck.Tempo.setTempo(*bpm);
        return true;
    });
}

void TempoStrip::editKey()
{
    const SessionKeyAndTempo& now = m_deck.Tempo.now();
    const QString text = now.cents != 0 ? QStringLiteral("%1 %2").arg(now.semitones).arg(now.cents)
                                        : QString::number(now.semitones);
    edit(*Key, text, [this](const QString& typed) {
        const std::optional<PadKey> key = ParseKey(typed);
        if (!key) {
            if (Say)
                Say(QStringLiteral("A key is semitones and cents, as \"-2 +15\""));
            return false;
        }
        m_deck.Tempo.setTranspose(key->semitones, key->cents);
        return true;
    });
}

void TempoStrip::edit(StripField& field, const QString& text,
                      std::function<bool(const QString&)> apply)
{
    m_apply = std::move(apply);
    const QRect where = field.valueRect().translated(field.pos());
    Editor->setGeometry(where.left() - 2, 2, std::max(where.width(), 70), height() - 4);
    Editor->setText(text);
    Editor->selectAll();
    Editor->show();
    Editor->raise();
    Editor->setFocus(Qt::MouseFocusReason);
}

void TempoStrip::closeEditor()
{
    m_apply = nullptr;
    const bool hadFocus = Editor->hasFocus();
    Editor->hide();
    // The keys go back to the pads.
    if (hadFocus)
        window()->setFocus(Qt::OtherFocusReason);
}

bool TempoStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Editor && Editor->isVisible()) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            closeEditor();
            return true;
        }
        // Clicking elsewhere leaves the value as it was; the editor's own menu, or another
        // program for a moment, does not.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                QTimer::singleShot(0, this, [this] {
                    if (!Editor->hasFocus())
                        closeEditor();
                });
        }
    }
    return QWidget::eventFilter(watched, event);
}

std::optional<double> TempoStrip::ParseTempo(const QString& text)
{
    QString typed = text.trimmed().toLower();
    if (typed == QStringLiteral("off") || typed == QStringLiteral("0"))
        return 0.0;
    typed.remove(QStringLiteral("bpm"));
    typed.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double bpm = typed.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(bpm) || bpm < kMinTempo || bpm > kMaxTempo)
        return std::nullopt;
    return std::round(bpm * 10.0) / 10.0;
}

std::optional<PadKey> TempoStrip::ParseKey(const QString& text)
{
    // Two signed numbers at most, each with an optional unit ("st", "ct").
    static const QRegularExpression kKey(
        QStringLiteral(R"(^\s*([+-]?\d{1,3})\s*(?:st)?\s*(?:([+-]?\d{1,3})\s*(?:ct)?)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = kKey.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const PadKey key{match.captured(1).toInt(), match.captured(2).toInt()};
    if (std::abs(key.semitones) > kMaxSemitones || std::abs(key.cents) > kMaxCents)
        return std::nullopt;
    return key;
}
