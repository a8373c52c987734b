// SPDX-License-Identifier: GPL-3.0-or-later
// A take recorded onto a pad, heard from the next bar line.

#include "PadDeck.h"
#include "PadSettingValues.h"
#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"

void PadDeck::playRecordedTake(int pad)
{
    using namespace AppModul;
    settlePending();
    const QByteArray settings = ReadSettingsText(SettingsFile).value_or(QByteArray());
    const QString name = PadSettingValues::BoundNameIn(settings, pad);
    const QString path = SoundsFolder + name;
    if (name.isEmpty() || !FileExists(path))
        return;
    const bool playing = ActivePad != kNoPad && (DMC.SampleIsActive() || DMC.StreamIsActive());
    if (playing && pad == activeDeckPad()) {
        // An overdub: the pad's loop becomes its new take on the bar line, the pad lit on.
        if (pendingDeckPad() >= 0 && pendingDeckPad() != pad)
            light(pendingDeckPad(), false);
        setPendingPad(-1);
        const SoundRender render = renderOf(pad, settings);
        DMC.SampleRender(render.cycleFrames, render.pitchScale);
        DMC.QueueAtLoopEnd(AudioPath(path), Mixer::SwitchAt::Bar);
        applyStoredGains(settings, pad);
        m_playingRender = DMC.sampleIsRendered() ? render : SoundRender{render.path};
        return;
    }
    if (playing) {
        pressAtLoopEnd(pad, path, settings, Mixer::SwitchAt::Bar);
        return;
    }
    for (int index = 0; index < kPadCount; ++index)
        setLit(index, false);
    light(pad, true);
    silenceLoop();
    startLoop(pad, path, settings, true);
}
