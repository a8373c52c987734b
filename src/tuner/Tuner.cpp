// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tuner.h"

#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"
#include "skin/SkinBlit.h"
#include "skin/SkinLayout.h"

#include <QFile>

#include <cmath>

Tuner::Tuner(AudioEngine& engine)
    : LitSkinnedForm(kClientSize), DMC(engine),
      Listener([&engine](AudioInput::Sink sink, void* context) {
          return engine.openInput(sink, context);
      })
{
    setWindowTitle(QStringLiteral("Guitar Tuner"));
    for (int i = 0; i < kStringCount; ++i) {
        auto* string =
            new PictureBox(this, SkinLayout::kStringButtons[static_cast<std::size_t>(i)]);
        string->MouseDown = [this, i](int b, int s, double x, double y) {
            Picture1_MouseDown(i, b, s, x, y);
        };
        Picture1[i] = string;
    }
    Picture2 = new PictureBox(this, SkinLayout::kLoopSwitch);
    Picture2->MouseDown = [this](int b, int s, double x, double y) {
        Picture2_MouseDown(b, s, x, y);
    };
    Timer1.setInterval(200);
    QObject::connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    for (int i = 0; i < kStringCount; ++i)
        StringNames[static_cast<std::size_t>(i)] =
            new StringLabel(this, SkinLayout::kStringButtons[static_cast<std::size_t>(i)]);
    ListenSwitch = new PictureBox(this, SkinLayout::kListenSwitch);
    ListenSwitch->MouseDown = [this](int b, int s, double x, double y) {
        ListenSwitch_MouseDown(b, s, x, y);
    };
    Meter = new TunerMeter(this, SkinLayout::kTunerMeter);
    TuningChoice = new TuningLine(this, SkinLayout::kTuningLine);
    // Fine: an A4 taken from the band stays as it was measured.
    TuningChoice->Chosen = [this](pitch::TuningKind kind) {
        ChooseTuning(pitch::Tuning::withFineA4(kind, CurrentTuning.a4()));
    };
    PitchChoice = new ReferencePitch(this, SkinLayout::kReferencePlate.adjusted(8, 22, -8, -4));
    PitchChoice->Changed = [this](double a4) {
        ChooseTuning(pitch::Tuning::withFineA4(CurrentTuning.kind(), a4));
    };
    QObject::connect(&Listener, &TunerListener::changed, this, [this] { showListening(); });
    BandLine = new BandPitchLine(this, SkinLayout::kBandPitchLine);
    BandLine->Started = [this] { BandPitch_Start(); };
    BandLine->Stopped = [this] { BandPitch_Stop(); };
    BandLine->Accepted = [this] { BandPitch_Accept(); };
    BandLine->Cleared = [this] { BandPitch_Clear(); };
    Listener.setReadingListener(
        [this](const pitch::PitchReading& reading, double seconds) { hearBand(reading, seconds); });
}

QString Tuner::StringFile(int index)
{
    static const std::array<QString, kStringCount> files = {
        QStringLiteral("E2.wav"), QStringLiteral("H.wav"), QStringLiteral("G.wav"),
        QStringLiteral("D.wav"),  QStringLiteral("A.wav"), QStringLiteral("E.wav")};
    return files.at(static_cast<size_t>(index));
}

void Tuner::InitializeControls()
{
    Timer1.stop();
}

void Tuner::Form_Load()
{
    MakeTopmost(*this);
    LoadFaces(QStringLiteral("TunerOff"), QStringLiteral("TunerOn"), width() + 200);

    DrawControl(Picture2, false);
    for (int i = 0; i < kStringCount; ++i)
        drawString(i, false);
    DrawControl(ListenSwitch, false);

    // The tuning and A4 of the last session; anything the file holds that makes no sense
    // means standard tuning at 440 Hz.
    const std::optional<QByteArray> text = ReadSettingsText(AppModul::SettingsFile);
    const QByteArray settings = text.value_or(QByteArray());
    CurrentTuning = pitch::Tuning::fromText(
        SettingIn(settings, AppModul::AppTitle, QStringLiteral("TunerA4"), {}).toStdString(),
        SettingIn(settings, AppModul::AppTitle, QStringLiteral("TunerTuning"), {}).toStdString());
    const std::optional<double> band = pitch::Tuning::parseA4(
        SettingIn(settings, AppModul::AppTitle, QStringLiteral("BandA4"), {}).toStdString());
    m_bandStored = band.value_or(0.0) == pitch::Tuning::kDefaultA4 ? 0.0 : band.value_or(0.0);
    m_bandMeasuring = false;
    m_bandOffer = 0.0;
    showTuning();
    showBandIdle();
    showListening();

    Silence(DMC);
    // The chord is in standard tuning; it sounds at the chosen A4.
    DMC.SamplePitch(CurrentTuning.a4() / pitch::Tuning::kDefaultA4);
    DMC.OpenSample(AudioPath(AppModul::TempFolder + QStringLiteral("Chord.wav")));
    DMC.PlaySample(false);
}

void Tuner::Form_Unload()
{
    Silence(DMC);
    AppModul::TunerLoopOn = 0;
    Timer1.stop();
    Listener.stop(); // the input closes with the page
    m_bandMeasuring = false;
}

void Tuner::drawString(int index, bool lit)
{
    DrawControl(Picture1[index], lit);
    StringNames[static_cast<std::size_t>(index)]->setLit(lit);
}

void Tuner::Picture1_MouseDown(int index, int, int, double, double)
{
    for (int i = 0; i < kStringCount; ++i)
        drawString(i, false);
    drawString(index, true);
    Silence(DMC);
    // The recorded string sounds at the tuning's pitch for it.
    DMC.SamplePitch(CurrentTuning.referencePlaybackRatio(stringOf(index)));
    DMC.OpenSample(AudioPath(AppModul::TempFolder + StringFile(index)));
    DMC.PlaySample(AppModul::TunerLoopOn == 1);
    // The tuner does not read its own tone.
    Listener.setPaused(DMC.SampleIsActive());
    Timer1.start();
}

void Tuner::Picture2_MouseDown(int, int, double, double)
{
    if (AppModul::TunerLoopOn != 0) {
        // The string's light goes out at the next tick, once the engine reports the silence.
        DrawControl(Picture2, false);
        AppModul::TunerLoopOn = 0;
        Silence(DMC);
    } else {
        // A tone already sounding carries on as it was; the next string press loops.
        DrawControl(Picture2, true);
        AppModul::TunerLoopOn = 1;
    }
}

void Tuner::Timer1_Timer()
{
    if (DMC.SampleIsActive())
        return;
    for (int i = 0; i < kStringCount; ++i)
        drawString(i, false);
    Timer1.stop();
    Listener.setPaused(false);
}

void Tuner::ListenSwitch_MouseDown(int, int, double, double)
{
    if (Listener.isListening()) {
        Listener.stop();
        DrawControl(ListenSwitch, false);
        if (m_bandMeasuring)
            BandPitch_Stop(); // nothing more will be heard
    } else {
        Listener.setTuning(CurrentTuning);
        Listener.setPaused(Timer1.isActive() && DMC.SampleIsActive());
        Listener.start();
        DrawControl(ListenSwitch, true);
    }
    showListening();
}

void Tuner::ChooseTuning(const pitch::Tuning& tuning)
{
    if (tuning == CurrentTuning)
        return;
    // One write for what changed: a menu choice changes the tuning, a step the pitch.
    if (tuning.kind() != CurrentTuning.kind())
        WriteSetting(AppModul::AppTitle, QStringLiteral("TunerTuning"),
                     QString::fromStdString(tuning.tuningText()), AppModul::SettingsFile);
    if (tuning.a4() != CurrentTuning.a4())
        WriteSetting(AppModul::AppTitle, QStringLiteral("TunerA4"),
                     QString::fromStdString(tuning.a4Text()), AppModul::SettingsFile);
    CurrentTuning = tuning;
    showTuning();
}

void Tuner::showTuning()
{
    TuningChoice->setTuning(CurrentTuning);
    PitchChoice->setA4(CurrentTuning.a4());
    // Chromatic mode has no strings of its own: the buttons keep standard tuning's.
    const pitch::Tuning strings =
        CurrentTuning.isChromatic() ? pitch::Tuning(pitch::TuningKind::Standard, CurrentTuning.a4())
                                    : CurrentTuning;
    for (int i = 0; i < kStringCount; ++i) {
        const int string = stringOf(i);
        const int note = strings.stringNotes()[static_cast<std::size_t>(string)];
        StringNames[static_cast<std::size_t>(i)]->setString(
            QString::fromStdString(pitch::noteLetter(note)), strings.stringFrequency(string));
    }
    Listener.setTuning(CurrentTuning);
    if (BandLine->mode() == BandPitchLine::Mode::Idle)
        showBandIdle();
}

void Tuner::showListening()
{
    using Mode = TunerMeter::Mode;
    Mode mode = Mode::Off;
    switch (Listener.state()) {
    case TunerListener::State::Off:
        mode = Mode::Off;
        break;
    case TunerListener::State::NoInput:
        mode = Mode::NoInput;
        break;
    case TunerListener::State::Paused:
        mode = Mode::HearingTone;
        break;
    case TunerListener::State::Parked:
        mode = Mode::Listening;
        break;
    case TunerListener::State::Pitch:
        mode = Mode::Reading;
        break;
    }
    Meter->show(mode, Listener.held(), CurrentTuning.isChromatic());
}

// ---- The band's pitch -----------------------------------------------------------------------

void Tuner::BandPitch_Start()
{
    if (!Listener.isListening())
        ListenSwitch_MouseDown(1, 0, 0, 0);
    Band.reset();
    m_bandMeasuring = true;
    m_bandHeard = 0.0;
    m_bandLast = -1.0;
    m_bandNotes = 0;
    m_bandOffer = 0.0;
    BandLine->showMeasuring(0);
}

void Tuner::BandPitch_Stop()
{
    if (m_bandMeasuring)
        finishBand();
}

void Tuner::hearBand(const pitch::PitchReading& reading, double seconds)
{
    if (!m_bandMeasuring)
        return;
    // The listener's clock starts again with a reopened input: only time moving on counts.
    if (m_bandLast >= 0.0 && seconds > m_bandLast)
        m_bandHeard += seconds - m_bandLast;
    m_bandLast = seconds;
    Band.add(reading, seconds);
    const int notes = static_cast<int>(Band.notes().size());
    if (notes != m_bandNotes) {
        m_bandNotes = notes;
        BandLine->showMeasuring(notes);
    }
    if (m_bandHeard >= kBandSeconds || notes >= kBandEnoughNotes)
        finishBand();
}

void Tuner::finishBand()
{
    m_bandMeasuring = false;
    const pitch::BandEstimate band = pitch::BandPitch::measure(Band.notes());
    // What the offer says is what is taken: A4 to one decimal.
    const double a4 = std::round(band.a4 * 10.0) / 10.0;
    if (band.notes < pitch::BandPitch::kMinNotes)
        BandLine->showTooFew(band.notes);
    else if (band.spreadCents > pitch::BandPitch::kMaxSpreadCents)
        BandLine->showTooWide(band.spreadCents);
    else if (a4 < pitch::Tuning::kMinA4 || a4 > pitch::Tuning::kMaxA4)
        BandLine->showTooFar(a4);
    else {
        m_bandOffer = a4;
        BandLine->showOffer(a4, band.spreadCents);
    }
}

void Tuner::BandPitch_Accept()
{
    if (m_bandOffer <= 0.0)
        return;
    const pitch::Tuning tuning = pitch::Tuning::withFineA4(CurrentTuning.kind(), m_bandOffer);
    m_bandOffer = 0.0;
    ChooseTuning(tuning);
    storeBandA4(tuning.a4());
    showBandIdle();
    emit bandPitchAccepted(tuning.a4());
}

void Tuner::BandPitch_Clear()
{
    m_bandMeasuring = false;
    m_bandOffer = 0.0;
    if (m_bandStored > 0.0) {
        // An A4 stepped by hand since is the user's own and stays.
        if (CurrentTuning.a4() == m_bandStored)
            ChooseTuning(
                pitch::Tuning::withFineA4(CurrentTuning.kind(), pitch::Tuning::kDefaultA4));
        storeBandA4(pitch::Tuning::kDefaultA4);
        emit bandPitchAccepted(pitch::Tuning::kDefaultA4);
    }
    showBandIdle();
}

void Tuner::storeBandA4(double a4)
{
    const pitch::Tuning tuning = pitch::Tuning::withFineA4(CurrentTuning.kind(), a4);
    WriteSetting(AppModul::AppTitle, QStringLiteral("BandA4"),
                 QString::fromStdString(tuning.a4Text()), AppModul::SettingsFile);
    m_bandStored = tuning.a4() == pitch::Tuning::kDefaultA4 ? 0.0 : tuning.a4();
}

void Tuner::showBandIdle()
{
    // A band is followed while the tuner's A4 is still the one taken from it.
    BandLine->showIdle(m_bandStored > 0.0 && CurrentTuning.a4() == m_bandStored ? m_bandStored
                                                                                : 0.0);
}
