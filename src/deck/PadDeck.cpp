// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadDeck.h"
#include "LoudnessSettings.h"

#include "PadBindings.h"
#include "TempoScout.h"

#include "audio/AudioEngine.h"

#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"

namespace {

const QString kSwitchKey = QStringLiteral("Switch");
const QString kAtLoopEnd = QStringLiteral("at loop end");
const QString kOnNextBeat = QStringLiteral("on next beat");
const QString kOnNextBar = QStringLiteral("on next bar");

// How often the deck looks whether the audio thread made a waiting switch: well under a frame
// of the pads' redraw, so the lights follow the sound at once.
constexpr int kPendingWatchMs = 10;

} // namespace

PadDeck::PadDeck(AudioEngine& engine) : DMC(engine)
{
    m_pendingWatch.setInterval(kPendingWatchMs);
    QObject::connect(&m_pendingWatch, &QTimer::timeout, this, [this] { settlePending(); });
    // The pads' loops are what the session's beats and bars are counted from.
    DMC.AnchorGrid(true);
    setUpTempo();
}

PadDeck::~PadDeck()
{
    tearDownTempo();
}

PadDeck::SwitchMode PadDeck::SwitchModeIn(const QByteArray& settings)
{
    const QString stored = SettingIn(settings, AppModul::AppTitle, kSwitchKey, QString()).trimmed();
    const auto is = [&](const QString& text) {
        return stored.compare(text, Qt::CaseInsensitive) == 0;
    };
    if (is(kAtLoopEnd))
        return SwitchMode::AtLoopEnd;
    if (is(kOnNextBeat))
        return SwitchMode::OnNextBeat;
    if (is(kOnNextBar))
        return SwitchMode::OnNextBar;
    return SwitchMode::AtOnce;
}

PadDeck::SwitchMode PadDeck::StoredSwitchMode()
{
    return SwitchModeIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
}

void PadDeck::StoreSwitchMode(SwitchMode mode)
{
    using namespace AppModul;
    const QString text = mode == SwitchMode::AtLoopEnd    ? kAtLoopEnd
                         : mode == SwitchMode::OnNextBeat ? kOnNextBeat
                         : mode == SwitchMode::OnNextBar  ? kOnNextBar
                                                          : QStringLiteral("at once");
    WriteSetting(AppTitle, kSwitchKey, text, SettingsFile);
}

void PadDeck::press(int index)
{
    using namespace AppModul;
    if (index < 0 || index >= kPadCount)
        return;
    settlePending();

    // The binding, the switch mode, volume and pan, all from one read of the settings file.
    const QByteArray settings = ReadSettingsText(SettingsFile).value_or(QByteArray());
    const QString name =
        SettingIn(settings, PadSection, QStringLiteral("Sample %1").arg(index + 1), QString());
    const QString path = SoundsFolder + name;
    const bool playable = !name.isEmpty() && FileExists(path);
    // Switching at the loop's end needs a loop that plays; with none the press acts at once.
    if (playable && ActivePad != kNoPad && (DMC.SampleIsActive() || DMC.StreamIsActive()) &&
        SwitchModeIn(settings) != SwitchMode::AtOnce) {
        pressAtLoopEnd(index, path, settings);
        return;
    }

    for (int pad = 0; pad < kPadCount; ++pad)
        setLit(pad, false);
    setLit(index, true);
    if (!playable) {
        PadPressFailed = 1;
        return;
    }

    silence();
    if (index == ActivePad) { // the playing pad pressed again stops it
        setLit(index, false);
        setActivePad(kNoPad);
        return;
    }

    const SoundRender render = renderOf(index, settings);
    DMC.SampleRender(render.cycleFrames, render.pitchScale);
    // A loop from silence starts the session's grid at its tempo.
    DMC.engine().mixer().setTempo(beatFrames());
    PlayFile(DMC, AudioPath(path), true);
    applyStoredGains(settings, index);
    setActivePad(static_cast<short>(index));
    PadPressFailed = 0;
    startedWithRender(index, render, DMC.sampleIsRendered(), settings);
}

void PadDeck::pressAtLoopEnd(int index, const QString& path, const QByteArray& settings)
{
    PadPressFailed = 0;
    const short pad = static_cast<short>(index);
    if (pad == PendingPad) { // pressed again: what waited is called off, the loop plays on
        DMC.CancelQueued();
        if (pad != ActivePad)
            setLit(pad, false);
        setPendingPad(kNoPad);
        return;
    }
    if (PendingPad != kNoPad && PendingPad != ActivePad)
        setLit(PendingPad, false);
    if (pad == ActivePad) {
        DMC.StopAtLoopEnd();
    } else {
        const SoundRender render = renderOf(index, settings);
        DMC.SampleRender(render.cycleFrames, render.pitchScale);
        const SwitchMode mode = SwitchModeIn(settings);
        DMC.QueueAtLoopEnd(AudioPath(path), mode == SwitchMode::OnNextBeat ? Mixer::SwitchAt::Beat
                                            : mode == SwitchMode::OnNextBar
                                                ? Mixer::SwitchAt::Bar
                                                : Mixer::SwitchAt::CycleEnd);
        m_queuedRender = DMC.sampleIsRendered() ? render : SoundRender{render.path};
        applyStoredGains(settings, index); // reaches the queued file from its first frame
        setLit(pad, true);
    }
    setPendingPad(pad);
    settlePending(); // a loop that had already ended switches at once
}

void PadDeck::applyStoredGains(const QByteArray& settings, int pad)
{
    using namespace AppModul;
    DMC.Trim(LoudnessSettings::PadGainIn(settings, pad));
    const int pan = RoundHalfEven(LeadingNumber(
        SettingIn(settings, AppTitle, QStringLiteral("PanVal"), QStringLiteral("0"))));
    DMC.SamplePan(pan);
    DMC.StreamPan(pan);
    const int volume = RoundHalfEven(LeadingNumber(
        SettingIn(settings, AppTitle, QStringLiteral("Volume"), QStringLiteral("80"))));
    DMC.SampleVol(volume);
    DMC.StreamVol(volume);
}

void PadDeck::settlePending()
{
    if (PendingPad == kNoPad || DMC.HasQueued())
        return;
    // The cycle ended: the waiting pad took over, or the loop stopped.
    const short next = PendingPad;
    setPendingPad(kNoPad);
    setLit(ActivePad, false);
    if (next == ActivePad) {
        setActivePad(kNoPad);
    } else {
        setActivePad(next);
        setLit(next, true);
        m_playingRender = m_queuedRender;
        followPlayingRender(); // a queued pad that was not rendered yet may be by now
    }
}

void PadDeck::keepBoundSoundsReady(const PadBindings& bindings)
{
    std::vector<std::string> paths;
    for (int pad = 0; pad < kPadCount; ++pad) {
        const PadBindings::Pad& bound = bindings.pad(pad);
        if (!bound.fileName.isEmpty() && !bound.missing)
            paths.push_back(AudioPath(AppModul::SoundsFolder + bound.fileName));
    }
    DMC.KeepSamplesReady(paths);
    renderBoundPads();
}

int PadDeck::steppedPad(int direction) const
{
    using namespace AppModul;
    // One read of the settings file for all 28 bindings.
    const QByteArray text = ReadSettingsText(SettingsFile).value_or(QByteArray());
    const auto bound = [&](int pad) {
        const std::optional<QString> name =
            FindSettingValue(text, PadSection, QStringLiteral("Sample %1").arg(pad + 1));
        return name && !name->trimmed().isEmpty();
    };

    const int current = PendingPad != kNoPad ? PendingPad : ActivePad;
    const int from = current != kNoPad ? current : (direction > 0 ? -1 : kPadCount);
    for (int n = 1; n <= kPadCount; ++n) {
        const int pad = ((from + direction * n) % kPadCount + kPadCount) % kPadCount;
        if (pad == current)
            break; // round once: the pad that plays is not pressed again, which would stop it
        if (bound(pad))
            return pad;
    }
    return -1;
}

bool PadDeck::step(int direction)
{
    const int pad = steppedPad(direction);
    if (pad < 0)
        return false;
    press(pad);
    release(pad);
    return true;
}

void PadDeck::startFromOutside()
{
    const bool playing = DMC.SampleIsActive() || DMC.StreamIsActive();
    if (ActivePad != kNoPad && playing) {
        if (PendingPad == ActivePad) { // a stop from outside not yet made is called off
            DMC.CancelQueued();
            setPendingPad(kNoPad);
        }
        return;
    }
    if (ActivePad != kNoPad)
        forgetActivePad(); // its loop ended by itself: a press would only stop what is silent
    const int pad = m_lastPlayed != kNoPad ? m_lastPlayed : steppedPad(1);
    if (pad < 0)
        return;
    press(pad);
    release(pad);
}

void PadDeck::stopFromOutside()
{
    if (ActivePad == kNoPad || PendingPad == ActivePad ||
        !(DMC.SampleIsActive() || DMC.StreamIsActive()))
        return;
    if (PendingPad != kNoPad)
        setLit(PendingPad, false); // a switch waiting for the loop's end is called off
    DMC.StopAtLoopEnd();
    setPendingPad(ActivePad);
    settlePending();
}

void PadDeck::release(int index)
{
    // A failed press showed the pad only while held: the pads return to how they were.
    if (PadPressFailed != 1)
        return;
    setLit(ActivePad, true);
    setLit(index, false);
    setLit(PendingPad, true); // it still waits for the cycle end
}

void PadDeck::silence()
{
    Silence(DMC); // also drops what waited for the cycle end
    if (PendingPad != kNoPad && PendingPad != ActivePad)
        setLit(PendingPad, false);
    setPendingPad(kNoPad);
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

void PadDeck::setPendingPad(short index)
{
    if (PendingPad == index)
        return;
    PendingPad = index;
    if (index == kNoPad)
        m_pendingWatch.stop();
    else
        m_pendingWatch.start();
    emit pendingPadChanged(index);
}

void PadDeck::setActivePad(short index)
{
    if (ActivePad == index)
        return;
    ActivePad = index;
    if (index != kNoPad)
        m_lastPlayed = index;
    emit activePadChanged(index);
}

PadTempo PadDeck::padTempo(int index) const
{
    if (index < 0 || index >= kPadCount)
        return {};
    return TempoSettings::PadTempoIn(
        ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()), index);
}

PadKey PadDeck::padKey(int index) const
{
    if (index < 0 || index >= kPadCount)
        return {};
    return TempoSettings::PadKeyIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()),
                                   index);
}

void PadDeck::setPadTempo(int index, const PadTempo& tempo)
{
    using namespace AppModul;
    if (index < 0 || index >= kPadCount)
        return;
    const QString name =
        ReadSetting(PadSection, QStringLiteral("Sample %1").arg(index + 1), SettingsFile, {});
    TempoSettings::StorePadTempo(index, tempo, name);
    emit padTempoChanged(index);
    renderBoundPads(); // a playing pad takes its new render at a bar line
}

void PadDeck::setPadKey(int index, const PadKey& key)
{
    if (index < 0 || index >= kPadCount)
        return;
    TempoSettings::StorePadKey(index, key);
    emit padTempoChanged(index);
    renderBoundPads();
}

void PadDeck::findPadTempoAgain(int index)
{
    setPadTempo(index, PadTempo{});
}
