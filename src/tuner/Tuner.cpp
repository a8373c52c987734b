// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tuner.h"

#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"
#include "skin/SkinBlit.h"
#include "skin/SkinLayout.h"

#include <QFile>

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
    TuningChoice->Chosen = [this](pitch::TuningKind kind) {
        ChooseTuning(pitch::Tuning(kind, CurrentTuning.a4()));
    };
    PitchChoice = new ReferencePitch(this, SkinLayout::kReferencePlate.adjusted(8, 22, -8, -4));
    PitchChoice->Changed = [this](double a4) {
        ChooseTuning(pitch::Tuning(CurrentTuning.kind(), a4));
    };
    QObject::connect(&Listener, &TunerListener::changed, this, [this] { showListening(); });
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
    showTuning();
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
