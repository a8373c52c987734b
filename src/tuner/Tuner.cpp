#include "Tuner.h"

#include "skin/SkinBlit.h"
#include "skin/SkinLayout.h"
#include "core/ProgramState.h"
#include "core/SoundFiles.h"

#include <QFile>

Tuner::Tuner() : LitSkinnedForm(kClientSize)
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
    for (PictureBox* string : Picture1)
        DrawControl(string, false);

    Silence(DMC);
    DMC.OpenSample(AudioPath(AppModul::TempFolder + QStringLiteral("Chord.wav")));
    DMC.PlaySample(false);
}

void Tuner::Form_Unload()
{
    Silence(DMC);
    AppModul::TunerLoopOn = 0;
    Timer1.stop();
}

void Tuner::Picture1_MouseDown(int index, int, int, double, double)
{
    for (PictureBox* string : Picture1)
        DrawControl(string, false);
    DrawControl(Picture1[index], true);
    Silence(DMC);
    DMC.OpenSample(AudioPath(AppModul::TempFolder + StringFile(index)));
    DMC.PlaySample(AppModul::TunerLoopOn == 1);
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
    for (PictureBox* string : Picture1)
        DrawControl(string, false);
    Timer1.stop();
}
