// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadDeck.h"
#include "LoudnessSettings.h"

#include "PadBindings.h"
#include "PadSettingValues.h"
#include "TempoScout.h"

#include "audio/AudioEngine.h"

#include "core/NumberText.h"
#include "core/PadBanks.h"
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

// The bar's volume (0..100) or pan (-100..100) as the settings file's text stores it.
int StoredLevel(const QByteArray& settings, const char* key, const char* fallback)
{
    return RoundHalfEven(LeadingNumber(SettingIn(
        settings, AppModul::AppTitle, QString::fromLatin1(key), QString::fromLatin1(fallback))));
}

} // namespace

PadDeck::PadDeck(AudioEngine& engine) : DMC(engine), m_shots(engine)
{
    m_pendingWatch.setInterval(kPendingWatchMs);
    QObject::connect(&m_pendingWatch, &QTimer::timeout, this, [this] { settlePending(); });
    // The pads' loops are what the session's beats and bars are counted from.
    DMC.AnchorGrid(true);
    setUpTempo();
    QObject::connect(&Songs, &Setlist::songChosen, this,
                     [this](const Song& song) { playSong(song); });
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
    if (index < 0 || index >= kPadCount)
        return;
    pressPad(PadBanks::DeckPad(index));
}

void PadDeck::pressPad(int pad)
{
    using namespace AppModul;
    settlePending();

    // The binding, the switch mode, volume and pan, all from one read of the settings file.
    const QByteArray settings = ReadSettingsText(SettingsFile).value_or(QByteArray());
    const QString name = PadSettingValues::BoundNameIn(settings, pad);
    const QString path = SoundsFolder + name;
    const bool playable = !name.isEmpty() && FileExists(path);
    if (const PadMode mode = PadModes::ModeIn(settings, pad); playable && mode != PadMode::Loop) {
        pressShot(pad, mode, AudioPath(path), settings);
        return;
    }
    // Switching at the loop's end needs a loop that plays; with none the press acts at once.
    if (playable && ActivePad != kNoPad && (DMC.SampleIsActive() || DMC.StreamIsActive()) &&
        SwitchModeIn(settings) != SwitchMode::AtOnce) {
        pressAtLoopEnd(pad, path, settings);
        return;
    }

    for (int index = 0; index < kPadCount; ++index)
        setLit(index, false);
    light(pad, true);
    if (!playable) {
        PadPressFailed = 1;
        return;
    }

    silenceLoop();
    if (pad == activeDeckPad()) { // the playing pad pressed again stops it
        light(pad, false);
        setActivePad(-1);
        return;
    }

    startLoop(pad, path, settings, false);
}

void PadDeck::startLoop(int pad, const QString& path, const QByteArray& settings, bool onNextBar)
{
    const SoundRender render = renderOf(pad, settings);
    DMC.SampleRender(render.cycleFrames, render.pitchScale);
    // A loop from silence starts the session's grid at its tempo.
    DMC.engine().mixer().setTempo(beatFrames());
    DMC.StartOnNextBar(onNextBar);
    PlayFile(DMC, AudioPath(path), true);
    DMC.StartOnNextBar(false);
    applyStoredGains(settings, pad);
    setActivePad(pad);
    PadPressFailed = 0;
    startedWithRender(pad, render, DMC.sampleIsRendered(), settings);
}

void PadDeck::pressAtLoopEnd(int pad, const QString& path, const QByteArray& settings,
                             std::optional<Mixer::SwitchAt> at)
{
    PadPressFailed = 0;
    const int active = activeDeckPad();
    const int pending = pendingDeckPad();
    if (pad == pending) { // pressed again: what waited is called off, the loop plays on
        DMC.CancelQueued();
        if (pad != active)
            light(pad, false);
        setPendingPad(-1);
        return;
    }
    if (pending >= 0 && pending != active)
        light(pending, false);
    if (pad == active) {
        DMC.StopAtLoopEnd();
    } else {
        const SoundRender render = renderOf(pad, settings);
        DMC.SampleRender(render.cycleFrames, render.pitchScale);
        const SwitchMode mode = SwitchModeIn(settings);
        DMC.QueueAtLoopEnd(AudioPath(path), at                               ? *at
                                            : mode == SwitchMode::OnNextBeat ? Mixer::SwitchAt::Beat
                                            : mode == SwitchMode::OnNextBar
                                                ? Mixer::SwitchAt::Bar
                                                : Mixer::SwitchAt::CycleEnd);
        m_queuedRender = DMC.sampleIsRendered() ? render : SoundRender{render.path};
        applyStoredGains(settings, pad); // reaches the queued file from its first frame
        light(pad, true);
    }
    setPendingPad(pad);
    settlePending(); // a loop that had already ended switches at once
}

void PadDeck::applyStoredGains(const QByteArray& settings, int pad)
{
    DMC.Trim(LoudnessSettings::PadGainIn(settings, pad));
    const int pan = StoredLevel(settings, "PanVal", "0");
    DMC.SamplePan(pan);
    DMC.StreamPan(pan);
    const int volume = StoredLevel(settings, "Volume", "80");
    DMC.SampleVol(volume);
    DMC.StreamVol(volume);
}

void PadDeck::settlePending()
{
    if (PendingPad == kNoPad || DMC.HasQueued())
        return;
    // The cycle ended: the waiting pad took over, or the loop stopped.
    const int next = pendingDeckPad();
    setPendingPad(-1);
    light(activeDeckPad(), false);
    if (next == activeDeckPad()) {
        setActivePad(-1);
    } else {
        setActivePad(next);
        light(next, true);
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
    // One read of the settings file for all 28 bindings of the shown bank.
    const QByteArray text = ReadSettingsText(SettingsFile).value_or(QByteArray());
    const auto bound = [&](int pad) {
        return !PadSettingValues::BoundNameIn(text, PadBanks::DeckPad(pad)).trimmed().isEmpty();
    };

    const int current = shownPendingPad() != kNoPad ? shownPendingPad() : shownActivePad();
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
        if (pendingDeckPad() == activeDeckPad()) { // a stop from outside not yet made is off
            DMC.CancelQueued();
            setPendingPad(-1);
        }
        return;
    }
    if (ActivePad != kNoPad)
        forgetActivePad(); // its loop ended by itself: a press would only stop what is silent
    const int stepped = steppedPad(1);
    const int pad = m_lastPlayed >= 0 ? m_lastPlayed
                    : stepped >= 0    ? PadBanks::DeckPad(stepped)
                                      : -1;
    if (pad < 0)
        return;
    pressPad(pad);
    releasePad(pad);
}

void PadDeck::stopFromOutside()
{
    if (ActivePad == kNoPad || pendingDeckPad() == activeDeckPad() ||
        !(DMC.SampleIsActive() || DMC.StreamIsActive()))
        return;
    if (PendingPad != kNoPad)
        light(pendingDeckPad(), false); // a switch waiting for the loop's end is called off
    DMC.StopAtLoopEnd();
    setPendingPad(activeDeckPad());
    settlePending();
}

void PadDeck::release(int index)
{
    if (index < 0 || index >= kPadCount)
        return;
    releasePad(PadBanks::DeckPad(index));
}

void PadDeck::pressShot(int pad, PadMode mode, const std::string& path, const QByteArray& settings)
{
    // Over the loop, which plays on: the pad lights while held, the others stay as they are.
    m_shots.play(pad, path, mode == PadMode::Gate, LoudnessSettings::PadGainIn(settings, pad),
                 StoredLevel(settings, "Volume", "80"), StoredLevel(settings, "PanVal", "0"));
    light(pad, true);
    m_heldShots[pad] = mode;
    PadPressFailed = 0;
}

void PadDeck::releasePad(int pad)
{
    if (const auto held = m_heldShots.find(pad); held != m_heldShots.end()) {
        // A gate stops as it was pressed, whatever the settings page says meanwhile.
        if (held->second == PadMode::Gate)
            m_shots.stop(pad);
        m_heldShots.erase(held);
        if (pad != activeDeckPad() && pad != pendingDeckPad())
            light(pad, false);
        return;
    }
    // A failed press showed the pad only while held: the pads return to how they were.
    if (PadPressFailed != 1)
        return;
    light(activeDeckPad(), true);
    light(pad, false);
    light(pendingDeckPad(), true); // it still waits for the cycle end
}

void PadDeck::silence()
{
    silenceLoop();
    m_shots.silence();
}

void PadDeck::silenceLoop()
{
    Silence(DMC); // also drops what waited for the cycle end
    if (PendingPad != kNoPad && pendingDeckPad() != activeDeckPad())
        light(pendingDeckPad(), false);
    setPendingPad(-1);
}

void PadDeck::forgetActivePad()
{
    light(activeDeckPad(), false);
    setActivePad(-1);
}

void PadDeck::playSong(const Song& song)
{
    // What the song leaves out stays as it is.
    if (song.bank >= 0)
        showBank(song.bank);
    if (song.tempo)
        Tempo.setTempo(*song.tempo);
    if (song.semitones)
        Tempo.setTranspose(*song.semitones, song.cents);
}

void PadDeck::showBank(int bank)
{
    if (bank < 0 || bank >= PadBanks::kBankCount || bank == PadBanks::Shown())
        return;
    PadBanks::Show(bank);
    WriteSetting(AppModul::AppTitle, QStringLiteral("Bank"), QString(PadBanks::Letter(bank)),
                 AppModul::SettingsFile);
    // The shown pads light as they play here: the loop of another bank plays on, unlit.
    for (int index = 0; index < kPadCount; ++index)
        setLit(index, false);
    light(activeDeckPad(), true);
    light(pendingDeckPad(), true);
    renderBoundPads();
    emit bankShown(bank);
}

int PadDeck::StoredBank(QByteArrayView settings)
{
    const int bank = PadBanks::BankNamed(
        SettingIn(settings, AppModul::AppTitle, QStringLiteral("Bank"), QString()));
    return bank < 0 ? 0 : bank;
}

int PadDeck::activeDeckPad() const
{
    return ActivePad == kNoPad ? -1 : m_activeBank * kPadCount + ActivePad;
}

int PadDeck::pendingDeckPad() const
{
    return PendingPad == kNoPad ? -1 : m_pendingBank * kPadCount + PendingPad;
}

short PadDeck::shownActivePad() const
{
    return m_activeBank == PadBanks::Shown() ? ActivePad : kNoPad;
}

short PadDeck::shownPendingPad() const
{
    return m_pendingBank == PadBanks::Shown() ? PendingPad : kNoPad;
}

void PadDeck::light(int pad, bool lit)
{
    if (pad >= 0 && PadBanks::BankOf(pad) == PadBanks::Shown())
        setLit(PadBanks::IndexOf(pad), lit);
}

int PadDeck::shownIndex(int pad)
{
    return pad >= 0 && PadBanks::BankOf(pad) == PadBanks::Shown() ? PadBanks::IndexOf(pad) : -1;
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

void PadDeck::setPendingPad(int pad)
{
    if (pendingDeckPad() == pad)
        return;
    PendingPad = pad < 0 ? kNoPad : static_cast<short>(PadBanks::IndexOf(pad));
    m_pendingBank = pad < 0 ? 0 : PadBanks::BankOf(pad);
    if (pad < 0)
        m_pendingWatch.stop();
    else
        m_pendingWatch.start();
    emit pendingPadChanged(PendingPad);
}

void PadDeck::setActivePad(int pad)
{
    if (activeDeckPad() == pad)
        return;
    ActivePad = pad < 0 ? kNoPad : static_cast<short>(PadBanks::IndexOf(pad));
    m_activeBank = pad < 0 ? 0 : PadBanks::BankOf(pad);
    if (pad >= 0)
        m_lastPlayed = pad;
    emit activePadChanged(ActivePad);
}

PadTempo PadDeck::padTempo(int index) const
{
    if (index < 0 || index >= kPadCount)
        return {};
    return TempoSettings::PadTempoIn(
        ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()), PadBanks::DeckPad(index));
}

PadKey PadDeck::padKey(int index) const
{
    if (index < 0 || index >= kPadCount)
        return {};
    return TempoSettings::PadKeyIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()),
                                   PadBanks::DeckPad(index));
}

void PadDeck::setPadTempo(int index, const PadTempo& tempo)
{
    if (index < 0 || index >= kPadCount)
        return;
    const int pad = PadBanks::DeckPad(index);
    const QString name = PadSettingValues::BoundNameIn(
        ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()), pad);
    TempoSettings::StorePadTempo(pad, tempo, name);
    emit padTempoChanged(index);
    renderBoundPads(); // a playing pad takes its new render at a bar line
}

void PadDeck::setPadKey(int index, const PadKey& key)
{
    if (index < 0 || index >= kPadCount)
        return;
    TempoSettings::StorePadKey(PadBanks::DeckPad(index), key);
    emit padTempoChanged(index);
    renderBoundPads();
}

void PadDeck::findPadTempoAgain(int index)
{
    setPadTempo(index, PadTempo{});
}
