#include "frmToneGen.h"

#include "ToneBlock.h"
#include "ToneScale.h"
#include "deck/PadDeck.h"
#include "skin/SkinBlit.h"
#include "core/ProgramState.h"
#include "core/NumberText.h"
#include "core/SoundFiles.h"

#include <QAction>
#include <QFile>
#include <QLocale>
#include <QMenu>

#include <algorithm>

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

frmToneGen::frmToneGen() : LitSkinnedForm(kClientSize)
{
    setWindowTitle(QStringLiteral("Tone Generator"));

    Picture1 = new PictureBox(this, kMarkerDesignRect);
    Picture1->setToolTip(QStringLiteral("Right-Click for more Options"));
    Picture1->MouseDown = [this](int b, int s, double x, double y) {
        Picture1_MouseDown(b, s, x, y);
    };
    Picture1->MouseMove = [this](int b, int s, double x, double y) {
        Picture1_MouseMove(b, s, x, y);
    };

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
    for (std::size_t i = 0; i < ranges.size(); ++i)
        mnuBereich[i] = mnuBer->addAction(ranges[i]); // offered, but they choose nothing
    mnuNix = mnuPop->addSeparator();
    for (std::size_t i = 0; i < kMenuFrequencies.size(); ++i) {
        mnuHz[i] = mnuPop->addAction(QStringLiteral("%1 Hz").arg(kMenuFrequencies[i]));
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
        dx = std::make_unique<DirectX7>();
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
}

void frmToneGen::Form_Unload()
{
    // The buffer stays with the window object and loops silence until the next opening.
    RefreshTone(Frequency, 0.0f);
    mnuPop->close();
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
    Frequency = ToneScale::ScaleToFrequency(left - (kMarkerMinLeft - 1));
    Label1->setText(QStringLiteral("%1 - %2").arg(Frequency).arg(left));
    // Every move rebuilds the tone, even one that left the marker where it was.
    RefreshTone(Frequency, volume());
}

void frmToneGen::mnuHz_Click(int index)
{
    const auto i = static_cast<std::size_t>(index);
    if (i >= kMenuFrequencies.size())
        return;
    // The marker goes to the menu frequency's point of the scale; a later drag carries on from
    // the scale's own value there. The menu works in pink mode too: the sine then sounds beside
    // the noise.
    Frequency = kMenuFrequencies[i];
    Picture1->move(kMenuMarkerLefts[i], Picture1->y());
    RefreshTone(Frequency, volume());
    lblFreq->setText(QStringLiteral("%1 Hz").arg(Frequency));
}

// ---- Level knob -------------------------------------------------------------------------------

void frmToneGen::Picture3_MouseDown(int, int, double, double)
{
    KnobDragging = true;
}

void frmToneGen::Picture3_MouseUp(int, int, double, double)
{
    KnobDragging = false;
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
    RefreshTone(Frequency, volume());
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
