// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadTempoPanel.h"

#include "SettingsLook.h"
#include "audio/tempo/TempoFit.h"
#include "core/PadCount.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"
#include "skin/LabelControl.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

using namespace SettingsLook;

namespace {

// A shift reads with its sign, as the bar shows it: "+2 st", "-15 ct".
class SignedSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override
    {
        return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
    }
};

// The fields are small: no arrows (the wheel and the arrow keys still step them), the number
// in the panel's bold face. Typing stores on Enter or when the field is left, not at every key.
template <class Box> Box* field(QWidget& window, const QRect& rect, const QString& tip)
{
    auto* box = new Box(&window);
    box->setGeometry(rect);
    box->setFont(BoldSansFont(8.25));
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setAlignment(Qt::AlignCenter);
    box->setKeyboardTracking(false);
    box->setToolTip(tip);
    darkControl(box);
    return box;
}

QPushButton* button(QWidget& window, const QRect& rect, const QString& caption, const QString& tip)
{
    auto* b = new QPushButton(caption, &window);
    b->setGeometry(rect);
    b->setFont(BoldSansFont(8.25));
    b->setToolTip(tip);
    darkControl(b);
    return b;
}

double oneDecimal(double bpm)
{
    return std::round(bpm * 10.0) / 10.0;
}

QByteArray settingsNow()
{
    return ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
}

} // namespace

PadTempoPanel::PadTempoPanel(QWidget& window, QPoint row, QPoint column)
    : QObject(&window), m_taps(std::make_unique<TapTempo>())
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_clock = [timer] { return static_cast<double>(timer->nsecsElapsed()) / 1e9; };
    createTempoRow(window, row);
    createFields(window, column);
    createLoudness(window, row, column);
    showPad(-1);
}

PadTempoPanel::~PadTempoPanel() = default;

// Along the top of the page: the tempo as it stands and what sets it without typing.
void PadTempoPanel::createTempoRow(QWidget& window, QPoint row)
{
    const int x = row.x();
    const int y = row.y();
    headingLabel(&window, QRect(x, y + 2, 44, 14), QStringLiteral("TEMPO"));
    TempoLabel = valueLabel(&window, QRect(x + 46, y, 128, 18), 8.25, Qt::AlignLeft);
    TempoLabel->setToolTip(QStringLiteral("The selected pad's own tempo and length"));
    Tap = button(window, QRect(x + 178, y, 36, 18), QStringLiteral("TAP"),
                 QStringLiteral("Tap the selected pad's beat: from the second tap on, the tempo "
                                "follows the taps"));
    NoTempo = new QCheckBox(QStringLiteral("no tempo"), &window);
    NoTempo->setGeometry(x + 220, y, 84, 18);
    NoTempo->setFont(BoldSansFont(8.25));
    NoTempo->setToolTip(QStringLiteral(
        "A pad without a beat (a drone, a spoken intro): it never stretches to the session tempo"));
    // The box stays light, like the page's other boxes; its caption reads on the dark panel.
    QPalette caption = NoTempo->palette();
    caption.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    NoTempo->setPalette(caption);
    FindAgain = button(window, QRect(x + 308, y, 42, 18), QStringLiteral("FIND"),
                       QStringLiteral("Find the selected pad's tempo again from its file"));

    QObject::connect(Tap, &QPushButton::clicked, this, [this] { tapped(); });
    QObject::connect(NoTempo, &QCheckBox::clicked, this, [this](bool on) { noTempoClicked(on); });
    QObject::connect(FindAgain, &QPushButton::clicked, this, [this] {
        if (m_deck && m_pad >= 0)
            m_deck->findPadTempoAgain(m_pad);
        refresh();
    });
}

// Down the column: the numbers typed in, each under its heading.
void PadTempoPanel::createFields(QWidget& window, QPoint column)
{
    const int x = column.x();
    const int y = column.y();
    const QRect fieldRect(x, 0, 46, 20);
    headingLabel(&window, QRect(x + 2, y, 44, 14), QStringLiteral("BPM"));
    Bpm = field<QDoubleSpinBox>(window, fieldRect.translated(0, y + 14),
                                QStringLiteral("The pad's own tempo, 30 to 300 BPM"));
    Bpm->setDecimals(1);
    // 0 stands for a tempo not known yet; anything typed is held to 30..300.
    Bpm->setRange(0.0, TempoSettings::kMaxTempo);
    Bpm->setSpecialValueText(QStringLiteral("–"));
    headingLabel(&window, QRect(x + 2, y + 38, 44, 14), QStringLiteral("BARS"));
    Bars = field<QSpinBox>(window, fieldRect.translated(0, y + 52),
                           QStringLiteral("How many 4/4 bars the loop lasts: its length stays, so "
                                          "the tempo follows"));
    Bars->setRange(0, TempoSettings::kMaxBars);
    Bars->setSpecialValueText(QStringLiteral("–"));
    headingLabel(&window, QRect(x + 2, y + 80, 44, 14), QStringLiteral("PITCH"));
    Semitones = field<SignedSpinBox>(window, fieldRect.translated(0, y + 94),
                                     QStringLiteral("The pad's own shift in semitones"));
    Semitones->setRange(-TempoSettings::kMaxSemitones, TempoSettings::kMaxSemitones);
    Semitones->setSuffix(QStringLiteral(" st"));
    Cents = field<SignedSpinBox>(window, fieldRect.translated(0, y + 118),
                                 QStringLiteral("The pad's own fine shift in cents"));
    Cents->setRange(-TempoSettings::kMaxCents, TempoSettings::kMaxCents);
    Cents->setSuffix(QStringLiteral(" ct"));

    QObject::connect(Bpm, &QDoubleSpinBox::valueChanged, this, [this](double v) { typedBpm(v); });
    QObject::connect(Bars, &QSpinBox::valueChanged, this, [this](int v) { typedBars(v); });
    QObject::connect(Semitones, &QSpinBox::valueChanged, this, [this] { keyChanged(); });
    QObject::connect(Cents, &QSpinBox::valueChanged, this, [this] { keyChanged(); });
}

// Beside the volume, the pad's loudness; under the pitch, the switch that matches them all.
void PadTempoPanel::createLoudness(QWidget& window, QPoint row, QPoint column)
{
    LoudnessLabel =
        valueLabel(&window, QRect(row.x() + 106, row.y() + 26, 140, 16), 7.5, Qt::AlignRight);
    LoudnessLabel->setToolTip(
        QStringLiteral("The selected pad's loudness (EBU R128) and the gain matching gave it"));
    Match = button(window, QRect(column.x(), column.y() + 146, 46, 18), QStringLiteral("MATCH"),
                   QStringLiteral("Match loudness: every measured pad gets the gain that brings it "
                                  "to the same loudness, its peaks kept under -1 dBTP; press "
                                  "again for none"));
    Match->setCheckable(true);
    QObject::connect(Match, &QPushButton::clicked, this, [this](bool on) { matchClicked(on); });
}

void PadTempoPanel::matchClicked(bool on)
{
    if (m_deck) {
        if (on)
            m_deck->matchLoudness();
        else
            m_deck->clearLoudnessMatch();
    }
    refresh();
}

QString PadTempoPanel::LoudnessCaption(const PadLoudness& loudness, double gainDb)
{
    switch (loudness.kind) {
    case PadLoudness::Kind::Unknown:
        return QStringLiteral("measuring…");
    case PadLoudness::Kind::None:
        return QStringLiteral("no loudness");
    case PadLoudness::Kind::Set:
        break;
    }
    QString text = QStringLiteral("%1 LUFS").arg(loudness.lufs, 0, 'f', 1);
    if (gainDb != 0.0)
        text += QStringLiteral("  %1%2 dB").arg(gainDb > 0.0 ? "+" : "").arg(gainDb, 0, 'f', 1);
    return text;
}

void PadTempoPanel::attachDeck(PadDeck& deck)
{
    if (m_deck == &deck)
        return;
    QObject::disconnect(m_deckChanges);
    QObject::disconnect(m_loudnessChanges);
    m_deck = &deck;
    // A tempo found or loudness measured in the background, or set from elsewhere, shows as soon
    // as the deck has it.
    const auto refreshShown = [this](int index) {
        if (index == m_pad)
            refresh();
    };
    m_deckChanges = QObject::connect(&deck, &PadDeck::padTempoChanged, this, refreshShown);
    m_loudnessChanges = QObject::connect(&deck, &PadDeck::padLoudnessChanged, this, refreshShown);
    refresh();
}

void PadTempoPanel::showPad(int index)
{
    m_pad = index >= 0 && index < kPadCount ? index : -1;
    m_taps->reset();
    refresh();
}

QString PadTempoPanel::TempoCaption(const PadTempo& tempo)
{
    switch (tempo.kind) {
    case PadTempo::Kind::Unknown:
        return QStringLiteral("finding…");
    case PadTempo::Kind::None:
        return QStringLiteral("no tempo");
    case PadTempo::Kind::Set:
        break;
    }
    return QStringLiteral("%1 BPM · %2 %3")
        .arg(TempoSettings::TempoText(tempo.bpm))
        .arg(tempo.bars)
        .arg(tempo.bars == 1 ? QStringLiteral("bar") : QStringLiteral("bars"));
}

PadTempo PadTempoPanel::tempoNow() const
{
    return m_pad >= 0 ? TempoSettings::PadTempoIn(settingsNow(), m_pad) : PadTempo{};
}

void PadTempoPanel::refresh()
{
    // A pad without a file has no tempo to show or set. One read for all of it.
    const QByteArray settings = settingsNow();
    const bool bound =
        m_pad >= 0 && !SettingIn(settings, AppModul::PadSection,
                                 QStringLiteral("Sample %1").arg(m_pad + 1), QString())
                           .trimmed()
                           .isEmpty();
    const PadTempo tempo = bound ? TempoSettings::PadTempoIn(settings, m_pad) : PadTempo{};
    const PadKey key = bound ? TempoSettings::PadKeyIn(settings, m_pad) : PadKey{};
    const bool set = tempo.kind == PadTempo::Kind::Set;
    const bool none = tempo.kind == PadTempo::Kind::None;

    const QSignalBlocker blockBpm(Bpm), blockBars(Bars), blockSt(Semitones), blockCt(Cents);
    TempoLabel->setText(bound ? TempoCaption(tempo) : QString());
    Bpm->setValue(set ? tempo.bpm : 0.0);
    Bars->setValue(set ? tempo.bars : 0);
    NoTempo->setChecked(none);
    Semitones->setValue(key.semitones);
    Cents->setValue(key.cents);

    Bpm->setEnabled(bound && !none);
    Tap->setEnabled(bound && !none);
    // Bars keep the loop's length, which only a known tempo tells.
    Bars->setEnabled(bound && set);
    NoTempo->setEnabled(bound);
    FindAgain->setEnabled(bound);
    Semitones->setEnabled(bound);
    Cents->setEnabled(bound);

    const PadLoudness loudness =
        bound ? LoudnessSettings::PadLoudnessIn(settings, m_pad) : PadLoudness{};
    LoudnessLabel->setText(
        bound ? LoudnessCaption(loudness, LoudnessSettings::PadGainIn(settings, m_pad))
              : QString());
    LoudnessLabel->setToolTip(
        loudness.kind == PadLoudness::Kind::Set
            ? QStringLiteral("The selected pad's loudness (EBU R128), true peak %1 dBTP, and the "
                             "gain matching gave it")
                  .arg(loudness.peakDbtp, 0, 'f', 1)
            : QStringLiteral(
                  "The selected pad's loudness (EBU R128) and the gain matching gave it"));
    // Lit amber while the pads are matched, as the page's other lit values are.
    const bool matched = LoudnessSettings::MatchIn(settings);
    Match->setChecked(matched);
    QPalette look = Match->palette();
    look.setColor(QPalette::ButtonText,
                  matched ? QColor(0xff, 0xa8, 0x30) : QColor(0xe0, 0xe0, 0xe0));
    Match->setPalette(look);
}

void PadTempoPanel::store(const PadTempo& tempo)
{
    if (m_deck && m_pad >= 0)
        m_deck->setPadTempo(m_pad, tempo);
    refresh();
}

void PadTempoPanel::typedBpm(double bpm)
{
    const PadTempo now = tempoNow();
    if (bpm <= 0.0 || now.kind == PadTempo::Kind::None)
        return refresh();
    const double held =
        std::clamp(oneDecimal(bpm), TempoSettings::kMinTempo, TempoSettings::kMaxTempo);
    store({PadTempo::Kind::Set, held, barsAt(held, now)});
}

int PadTempoPanel::barsAt(double bpm, const PadTempo& now) const
{
    // The whole bars the loop lasts at that tempo; without the file's length the bars stay as
    // they were (one, before a tempo was known).
    const double seconds = m_deck && m_pad >= 0 ? m_deck->padLoopSeconds(m_pad) : 0.0;
    if (seconds > 0.0)
        return std::clamp(BarsAtTempo(bpm, seconds), 1, TempoSettings::kMaxBars);
    return now.kind == PadTempo::Kind::Set ? now.bars : 1;
}

void PadTempoPanel::typedBars(int bars)
{
    const PadTempo now = tempoNow();
    if (now.kind != PadTempo::Kind::Set || bars < 1 || now.bars < 1)
        return refresh();
    // The loop lasts as long as it does: twice the bars in it is twice the tempo.
    const double seconds = m_deck ? m_deck->padLoopSeconds(m_pad) : 0.0;
    const double bpm = seconds > 0.0 ? TempoForBars(bars, seconds).bpm : now.bpm * bars / now.bars;
    if (bpm < TempoSettings::kMinTempo || bpm > TempoSettings::kMaxTempo)
        return refresh();
    store({PadTempo::Kind::Set, bpm, bars});
}

void PadTempoPanel::tapped()
{
    if (m_pad < 0)
        return;
    m_taps->tap(m_clock());
    const std::optional<double> bpm = m_taps->bpm();
    if (!bpm)
        return;
    const PadTempo now = tempoNow();
    if (now.kind == PadTempo::Kind::None)
        return;
    const double held =
        std::clamp(oneDecimal(*bpm), TempoSettings::kMinTempo, TempoSettings::kMaxTempo);
    store({PadTempo::Kind::Set, held, barsAt(held, now)});
}

void PadTempoPanel::noTempoClicked(bool none)
{
    if (m_pad < 0)
        return;
    // Untick: the tempo is found from the file again.
    if (!none && m_deck) {
        m_deck->findPadTempoAgain(m_pad);
        return refresh();
    }
    store(none ? PadTempo{PadTempo::Kind::None, 0.0, 0} : PadTempo{});
}

void PadTempoPanel::keyChanged()
{
    if (m_deck && m_pad >= 0)
        m_deck->setPadKey(m_pad, {Semitones->value(), Cents->value()});
}
