#include "PadDeck.h"

#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"

void PadDeck::press(int index)
{
    using namespace AppModul;
    if (index < 0 || index >= kPadCount)
        return;
    for (int pad = 0; pad < kPadCount; ++pad)
        setLit(pad, false);
    setLit(index, true);

    const QString name = ReadSetting(PadSection, QStringLiteral("Sample %1").arg(index + 1),
                                     SettingsFile, QString());
    const QString path = SoundsFolder + name;
    if (name.isEmpty() || !FileExists(path)) {
        PadPressFailed = 1;
        return;
    }

    silence();
    if (index == ActivePad) { // the playing pad pressed again stops it
        setLit(index, false);
        setActivePad(kNoPad);
        return;
    }

    PlayFile(DMC, AudioPath(path), true);
    const int pan = RoundHalfEven(LeadingNumber(
        ReadSetting(AppTitle, QStringLiteral("PanVal"), SettingsFile, QStringLiteral("0"))));
    DMC.SamplePan(pan);
    DMC.StreamPan(pan);
    const int volume = RoundHalfEven(LeadingNumber(
        ReadSetting(AppTitle, QStringLiteral("Volume"), SettingsFile, QStringLiteral("80"))));
    DMC.SampleVol(volume);
    DMC.StreamVol(volume);

    setActivePad(static_cast<short>(index));
    PadPressFailed = 0;
}

void PadDeck::release(int index)
{
    // A failed press showed the pad only while held: the pads return to how they were.
    if (PadPressFailed != 1)
        return;
    setLit(ActivePad, true);
    setLit(index, false);
}

void PadDeck::silence()
{
    Silence(DMC);
}

void PadDeck::forgetActivePad()
{
    setLit(ActivePad, false);
    setActivePad(kNoPad);
}

bool PadDeck::isLit(int index) const
{
    return index >= 0 && index < kPadCount && m_lit[static_cast<std::size_t>(index)];
}

void PadDeck::setLit(int index, bool lit)
{
    if (index < 0 || index >= kPadCount)
        return;
    m_lit[static_cast<std::size_t>(index)] = lit;
    emit padLit(index, lit);
}

void PadDeck::setActivePad(short index)
{
    if (ActivePad == index)
        return;
    ActivePad = index;
    emit activePadChanged(index);
}
