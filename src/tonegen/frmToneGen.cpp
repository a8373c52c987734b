// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmToneGen.h"

#include "ToneBlock.h"
#include "ToneFrequencyEntry.h"
#include "ToneFrequencyText.h"
#include "ToneScale.h"
#include "ToneScaleMarks.h"
#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SoundFiles.h"
#include "deck/PadDeck.h"
#include "skin/SkinBlit.h"

#include <QAction>
#include <QFile>
#include <QLocale>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace {
constexpr QRect kMarkerDesignRect{430, frmToneGen::kMarkerTop, 71, 46};

QFont readoutFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(14.25);
    font.setBold(true);
    return font;
}

// Beside the knob in the small bold print of the panel's legends.
constexpr QRect kLevelRect{753, 159, 63, 14};

// The level against the 8-bit full scale: 800 of 1000 is -1.9 dBFS.
QString levelCaption(int level, const QLocale& locale)
{
    if (level <= 0)
        return QStringLiteral("-\u221e dBFS");
    const double decibels = 20.0 * std::log10(level / 1000.0);
    return locale.toString(decibels, 'f', 1) + QStringLiteral(" dBFS");
}

QString menuCaption(int frequency)
{
    // Up to the old "1000 Hz" in hertz, the kilohertz entries after it as such.
    return frequency <= 1000 ? QStringLiteral("%1 Hz").arg(frequency)
                             : QStringLiteral("%1 kHz").arg(frequency / 1000);
}

} // namespace

void HiddenScrollBar::setValue(int value)
{
    value = std::clamp(value, Min, Max);
    if (value == Value)
        return;
    Value = value;
    if (Change)
        Change();
}

frmToneGen::frmToneGen(AudioEngine& engine) : LitSkinnedForm(kClientSize), m_engine(engine)
{
    setWindowTitle(QStringLiteral("Tone Generator"));

    // First, so the marker and the readout lie above it.
    scaleMarks = new ToneScaleMarks(this);

    Picture1 = new PictureBox(this, kMarkerDesignRect);
    Picture1->setToolTip(QStringLiteral("Right-Click for more Options"));
    Picture1->MouseDown = [this](int b, int s, double x, double y) {
        Picture1_MouseDown(b, s, x, y);
    };
    Picture1->MouseMove = [this](int b, int s, double x, double y) {
        Picture1_MouseMove(b, s, x, y);
    };
    Picture1->MouseUp = [this](int b, int s, double x, double y) { Picture1_MouseUp(b, s, x, y); };

    Picture2 = new PictureBox(this, QRect(524, 136, 57, 63));
    Picture2->Click = [this] { Picture2_Click(); };

    Picture3 = new PictureBox(this, QRect(679, 132, 73, 68));
    Picture3->MouseDown = [this](int b, int s, double x, double y) {
        Picture3_MouseDown(b, s, x, y);
    };
    Picture3->MouseUp = [this](int b, int s, double x, double y) { Picture3_MouseUp(b, s, x, y); };
    Picture3->MouseMove = [this](int b, int s, double x, double y) {
        Picture3_MouseMove(b, s, x, y);
    };

    picOsc = new PictureBox(this, QRect(59, 97, 400, 136));

    lblFreq = new LabelControl(this, QRect(425, 15, 187, 26));
    lblFreq->setFont(readoutFont());
    lblFreq->setForeColor(Qt::white);
    lblFreq->DblClick = [this] { lblFreq_DblClick(); };
    txtFreq = new ToneFrequencyEntry(this);
    txtFreq->setFont(readoutFont());
    txtFreq->Accepted = [this](int frequency) { txtFreq_Accepted(frequency); };
    lblLevel = new LabelControl(this, kLevelRect);
    lblLevel->setFont(BoldSansPixelFont(10));
    lblLevel->setForeColor(QColor(0xc9, 0xcd, 0xd2));
    lblLevel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblVol = new LabelControl(this, QRect(0, 0, 100, 17));
    lblVol->hide();
    Label1 = new LabelControl(this, QRect(0, 0, 100, 17));
    Label1->hide();

    picClip = new PictureBox(this);
    picClip->hide();

    hscFreq = HiddenScrollBar{1, 1000, 50, 185, {}};
    hscVol = HiddenScrollBar{0, 1000, 50, 800, [this] { hscVol_Change(); }};

    mnuPop = new QMenu(QStringLiteral("Popup"), this);
    mnuBer = mnuPop->addMenu(QStringLiteral("Bereich"));
    const std::array<QString, 3> ranges = {QStringLiteral("1 Hz - 500 Hz"),
                                           QStringLiteral("300 Hz - 3 kHz"),
                                           QStringLiteral("20 Hz - 20 kHz")};
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        mnuBereich[i] = mnuBer->addAction(ranges[i]);
        QObject::connect(mnuBereich[i], &QAction::triggered, this,
                         [this, i] { mnuBereich_Click(static_cast<int>(i)); });
    }
    mnuNix = mnuPop->addSeparator();
    for (std::size_t i = 0; i < kMenuFrequencies.size(); ++i) {
        mnuHz[i] = mnuPop->addAction(menuCaption(kMenuFrequencies[i]));
        QObject::connect(mnuHz[i], &QAction::triggered, this,
                         [this, i] { mnuHz_Click(static_cast<int>(i)); });
    }
}

frmToneGen::~frmToneGen() = default;

void frmToneGen::InitializeControls()
{
    Picture1->setGeometry(kMarkerDesignRect);
    Picture1->setPicture(QImage(QStringLiteral(":/images/marker.png")));
    for (PictureBox* control : {Picture2, Picture3}) {
        control->matchFaceToSize();
        control->face().fill(Qt::black);
    }
    picOsc->matchFaceToSize();
    picOsc->face().fill(ToneDisplay::kBackground);
    for (PictureBox* holder : {picClip, picAllOff, picAllOn})
        holder->setPicture(QImage(), true);
    lblFreq->setText(QStringLiteral("1000 Hz"));
    lblVol->setText(QStringLiteral("Volume: 80 %"));
    Label1->clear();
    lblLevel->clear();
    txtFreq->cancel();
    scaleMarks->showRange(ToneRange::Range::Scale, QImage());
    hscFreq.Value = 185;
    hscVol.Value = 800;
    mnuPop->close();
}

// ---- Load and unload --------------------------------------------------------------------------

void frmToneGen::Form_Load()
{
    MakeTopmost(*this);
    LoadFaces(QStringLiteral("ToneOff"), QStringLiteral("ToneOn"), width() + 200);
    picClip->setPicture(LoadSkinImage(QStringLiteral("PotiClip")), true);

    KnobFrame = kKnobStartFrame;
    drawKnob();
    KnobLastY = kKnobStartFrame;

    DrawControl(Picture2, false);

    Amplitude = 1.0f;

    // The root object stays with the window; the device and the buffer are taken afresh, so the
    // first refresh of every opening creates a new buffer.
    if (!dx)
        dx = std::make_unique<DirectX7>(m_engine);
    ds = dx->DirectSoundCreate("");
    dsb.reset();
    if (ds) // the level tells the device which window asks; any value that names this one does
        ds->SetCooperativeLevel(reinterpret_cast<std::uintptr_t>(this), DSSCL_NORMAL);

    waveFormat = WAVEFORMATEX{};
    waveFormat.nFormatTag = WAVE_FORMAT_PCM;
    waveFormat.nChannels = 1;
    waveFormat.lSamplesPerSec = ToneBlock::kSampleRate;
    waveFormat.nBlockAlign = 1;
    waveFormat.nBitsPerSample = 8;
    waveFormat.lAvgBytesPerSec = waveFormat.lSamplesPerSec * waveFormat.nBlockAlign;
    bufferDesc.lFlags = DSBCAPS_STATIC;

    // The frequency of the last opening (0 at the first, which makes no sound) and then the
    // start frequency: every opening sounds at once.
    RefreshTone(Frequency, volume());
    hscFreq_Scroll();

    Picture1->move(kMarkerStartLeft, kMarkerTop);
    lblFreq->setText(frequencyCaption(Frequency));
    PinkOn = 0;

    // What the user set last time, in place of the start values.
    restoreSettings();
}

void frmToneGen::Form_Unload()
{
    // The buffer stays with the window object and loops silence until the next opening.
    RefreshTone(Frequency, 0.0f);
    mnuPop->close();
    txtFreq->cancel();
}

// ---- Marker and frequency menu ----------------------------------------------------------------

void frmToneGen::Picture1_MouseDown(int button, int, double x, double y)
{
    MarkerGrabX = static_cast<float>(x);
    if (button == kRightButton)
        mnuPop->popup(Picture1->mapToGlobal(QPointF(x, y)).toPoint());
}

void frmToneGen::Picture1_MouseMove(int button, int, double x, double)
{
    if (button != kLeftButton || PinkOn != 0)
        return;
    const int left = std::clamp(RoundHalfEven(Picture1->x() + x - MarkerGrabX.value_or(0.0f)),
                                kMarkerMinLeft, kMarkerMaxLeft);
    Picture1->move(left, Picture1->y());
    Frequency = ToneRange::FrequencyAt(Range, left);
    Label1->setText(QStringLiteral("%1 - %2").arg(Frequency).arg(left));
    // Every move rebuilds the tone, even one that left the marker where it was.
    RefreshTone(Frequency, volume());
}

void frmToneGen::Picture1_MouseUp(int button, int, double, double)
{
    // The frequency is kept once the marker is let go, not on each step of the drag.
    if (button == kLeftButton)
        storeSettings();
}

void frmToneGen::mnuHz_Click(int index)
{
    const auto i = static_cast<std::size_t>(index);
    if (i >= kMenuFrequencies.size())
        return;
    // The marker goes to the menu frequency's point of the scale (the right stop for those
    // beyond it); a later drag carries on from the scale's own value there. The menu works in
    // pink mode too: the sine then sounds beside the noise.
    Frequency = kMenuFrequencies[i];
    Picture1->move(ToneRange::MarkerLeftFor(Range, Frequency), Picture1->y());
    RefreshTone(Frequency, volume());
    lblFreq->setText(QStringLiteral("%1 Hz").arg(Frequency));
    storeSettings();
}

void frmToneGen::mnuBereich_Click(int index)
{
    const auto i = static_cast<std::size_t>(index);
    if (i >= ToneRange::kChoices.size())
        return;
    Range = ToneRange::kChoices[i];
    scaleMarks->showRange(Range, background());
    // The tone stays when the range holds it and goes to the nearer end otherwise; the marker
    // shows it on the new marks.
    const ToneRange::Span span = ToneRange::SpanOf(Range);
    const int frequency = std::clamp(Frequency, span.low, span.high);
    Picture1->move(ToneRange::MarkerLeftFor(Range, frequency), Picture1->y());
    if (frequency != Frequency) {
        Frequency = frequency;
        RefreshTone(Frequency, sineVolume());
    }
    storeSettings();
}

void frmToneGen::lblFreq_DblClick()
{
    txtFreq->open(lblFreq->geometry(), Frequency);
}

void frmToneGen::txtFreq_Accepted(int frequency)
{
    Frequency = frequency;
    Picture1->move(ToneRange::MarkerLeftFor(Range, Frequency), Picture1->y());
    RefreshTone(Frequency, sineVolume());
    storeSettings();
}

// ---- Level knob -------------------------------------------------------------------------------

void frmToneGen::Picture3_MouseDown(int, int, double, double)
{
    KnobDragging = true;
}

void frmToneGen::Picture3_MouseUp(int, int, double, double)
{
    KnobDragging = false;
    storeSettings(); // the level is kept once the knob is let go
}

void frmToneGen::Picture3_MouseMove(int, int, double, double y)
{
    // One step per mouse move however far the mouse went, and only beyond five pixels from the
    // last step: a press does not restart the count.
    if (!KnobDragging || PinkOn != 0)
        return;
    if (!(y > KnobLastY + kKnobStep || y < KnobLastY - kKnobStep))
        return;
    KnobFrame = static_cast<short>(y > KnobLastY ? KnobFrame - 1 : KnobFrame + 1);
    KnobLastY = static_cast<short>(std::clamp(RoundHalfEven(y), -32768, 32767));
    drawKnob();
    if (KnobFrame >= 0 && KnobFrame <= kKnobFrames)
        hscVol.setValue(RoundHalfEven(KnobFrame * 31.25));
}

void frmToneGen::drawKnob()
{
    // The frame count may run past either end of the strip; the knob then shows the end it went
    // past rather than anything beside the strip.
    DrawStripFrame(*Picture3, *picClip, std::clamp<int>(KnobFrame, 0, kKnobFrames - 1), kKnobFrames,
                   1);
}

void frmToneGen::hscVol_Change()
{
    showLevel();
    RefreshTone(Frequency, volume());
}

void frmToneGen::showLevel()
{
    lblLevel->setText(levelCaption(hscVol.Value, locale()));
}

void frmToneGen::hscFreq_Scroll()
{
    Frequency = ToneScale::ScaleToFrequency(hscFreq.Value);
    RefreshTone(Frequency, volume());
    lblFreq->setText(QString::number(hscFreq.Value));
}

// ---- Pink noise -------------------------------------------------------------------------------

void frmToneGen::Picture2_Click()
{
    // The noise plays on the pad deck's audio control; without a deck there is nothing to play
    // on.
    if (m_deck != nullptr) {
        m_deck->DMC.SampleChanToModify(1);
        if (m_deck->DMC.SampleIsActive())
            m_deck->DMC.StopSample(); // whatever sounds there, a pad's sample too
    }
    if (PinkOn != 0) {
        DrawControl(Picture2, false);
        PinkOn = 0;
        RefreshTone(Frequency, volume());
    } else {
        DrawControl(Picture2, true);
        PinkOn = 1;
        RefreshTone(Frequency, 0.0f); // the sine's buffer loops silence beside the noise
        if (m_deck != nullptr) {
            m_deck->DMC.OpenSample(AudioPath(AppModul::TempFolder + QStringLiteral("pink.wav")));
            m_deck->DMC.PlaySample(true);
        }
    }
}

// ---- Settings ---------------------------------------------------------------------------------

void frmToneGen::restoreSettings()
{
    m_stored = ToneSettings::Read();
    Range = m_stored.range;
    scaleMarks->showRange(Range, background());
    const bool changed = m_stored.frequency != Frequency || m_stored.level != hscVol.Value;
    Frequency = m_stored.frequency;
    hscVol.Value = m_stored.level; // no change event: the one refresh below is enough
    KnobFrame = static_cast<short>(RoundHalfEven(m_stored.level / 31.25));
    drawKnob();
    Picture1->move(ToneRange::MarkerLeftFor(Range, Frequency), kMarkerTop);
    if (changed)
        RefreshTone(Frequency, volume());
    lblFreq->setText(frequencyCaption(Frequency));
    showLevel();
}

void frmToneGen::storeSettings()
{
    if (Frequency < ToneFrequencyText::kLowest || Frequency > ToneFrequencyText::kHighest)
        return;
    const ToneSettings now{Frequency, hscVol.Value, Range};
    now.WriteChanges(m_stored);
    m_stored = now;
}

// ---- Tone -------------------------------------------------------------------------------------

QString frmToneGen::frequencyCaption(int frequency) const
{
    return locale().toString(frequency) + QStringLiteral(" Hz");
}

void frmToneGen::RefreshTone(int frequency, float volume)
{
    lblFreq->setText(frequencyCaption(Frequency));
    lblVol->setText(locale().toString(RoundHalfEven(volume * 100.0)) + QStringLiteral(" %"));
    if (frequency == 0)
        return; // no period to build; buffer and picture stay as they were

    ToneBlock::Fill(m_block, frequency, volume, Amplitude);
    const int length = static_cast<int>(m_block.size());
    if (length == 0)
        return;
    if (!dsb || bufferDesc.lBufferBytes != length) {
        bufferDesc.lBufferBytes = length;
        // The old buffer goes when the new one takes its place; the engine fades it out while
        // the new one starts on its zero crossing, so the change does not click.
        dsb = ds ? ds->CreateSoundBuffer(bufferDesc, waveFormat) : nullptr;
    }
    if (dsb) {
        dsb->WriteBuffer(0, 0, m_block.data(), DSBLOCK_ENTIREBUFFER);
        dsb->Play(DSBPLAY_LOOPING);
    }
    DrawToneDisplay(frequency, volume);
}

void frmToneGen::DrawToneDisplay(int frequency, float volume)
{
    picOsc->matchFaceToSize();
    m_display.draw(picOsc->face(), frequency, volume, Amplitude);
    picOsc->update();
}
