// SPDX-License-Identifier: GPL-3.0-or-later
// The deck's tempo and key: which render each pad plays, the scout that finds pads' tempos, and
// the playing loop following a change of tempo or key at the next bar line.
#include "PadDeck.h"

#include "PadBindings.h"
#include "PadSettingValues.h"
#include "TempoScout.h"

#include "audio/AudioEngine.h"
#include "audio/sounds/StretchedSounds.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"

#include <QMetaObject>

using namespace TempoSettings;

namespace {

const auto boundName = PadSettingValues::BoundNameIn;

} // namespace

void PadDeck::setUpTempo()
{
    m_scout = std::make_unique<TempoScout>();
    QObject::connect(m_scout.get(), &TempoScout::found, this,
                     [this](int pad, const QString& fileName, const PadTempo& tempo) {
                         tempoFound(pad, fileName, tempo);
                     });
    QObject::connect(m_scout.get(), &TempoScout::measured, this,
                     [this](int pad, const QString& fileName, const PadLoudness& loudness) {
                         loudnessMeasured(pad, fileName, loudness);
                     });
    QObject::connect(&Tempo, &SessionTempo::changed, this, [this] { sessionChanged(); });
    // A render finished on the stretching worker: the playing loop may be waiting for it.
    DMC.engine().stretched().setReadyListener([this] {
        QMetaObject::invokeMethod(
            this, [this] { followPlayingRender(); }, Qt::QueuedConnection);
    });
    applySessionToEngine();
}

void PadDeck::tearDownTempo()
{
    DMC.engine().stretched().setReadyListener({});
    m_scout.reset();
}

SoundRender PadDeck::renderOf(int pad, const QByteArray& settings) const
{
    const QString name = boundName(settings, pad);
    if (name.isEmpty())
        return {};
    SoundRender render;
    render.path = AudioPath(AppModul::SoundsFolder + name);
    render.cycleFrames =
        CycleFrames(Tempo.now(), PadTempoIn(settings, pad), DMC.engine().sampleRate());
    render.pitchScale = PitchScale(Tempo.now(), PadKeyIn(settings, pad));
    return render;
}

bool PadDeck::isPlain(const SoundRender& render)
{
    return render.cycleFrames == 0.0 && render.pitchScale == 1.0;
}

double PadDeck::beatFrames() const
{
    const double tempo = Tempo.now().tempo;
    return tempo > 0.0 ? 60.0 / tempo * DMC.engine().sampleRate() : 0.0;
}

void PadDeck::renderBoundPads()
{
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    std::vector<SoundRender> wanted;
    // The playing pad first: it is the one a tempo change is heard on.
    const auto want = [&](int pad) {
        SoundRender render = renderOf(pad, settings);
        if (!render.path.empty() && !isPlain(render) &&
            std::find(wanted.begin(), wanted.end(), render) == wanted.end())
            wanted.push_back(std::move(render));
    };
    if (activeDeckPad() >= 0)
        want(activeDeckPad());
    // Then the shown bank's pads: those the next press can reach.
    for (int index = 0; index < kPadCount; ++index) {
        const int pad = PadBanks::DeckPad(index);
        want(pad);
        // Pads whose tempo nobody knows yet are listened to, once per file.
        QString& scouted = m_scouted[static_cast<std::size_t>(pad)];
        const QString name = boundName(settings, pad);
        if (name.isEmpty() || !FileExists(AppModul::SoundsFolder + name))
            continue;
        QString& measured = m_measured[static_cast<std::size_t>(pad)];
        const bool unmeasured =
            measured != name &&
            LoudnessSettings::PadLoudnessIn(settings, pad).kind == PadLoudness::Kind::Unknown;
        const std::string path = AudioPath(AppModul::SoundsFolder + name);
        if (scouted != name && PadTempoIn(settings, pad).kind == PadTempo::Kind::Unknown) {
            scouted = name;
            m_scout->find(pad, name, path, unmeasured);
        } else if (unmeasured) {
            m_scout->measure(pad, name, path);
        }
        if (unmeasured)
            measured = name;
    }
    DMC.engine().stretched().keepRendered(wanted);
    followPlayingRender(settings);
}

void PadDeck::tempoFound(int pad, const QString& fileName, const PadTempo& tempo)
{
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    // Rebound meanwhile, or set by hand: what the scout heard is not wanted.
    if (boundName(settings, pad) != fileName ||
        PadTempoIn(settings, pad).kind != PadTempo::Kind::Unknown)
        return;
    StorePadTempo(pad, tempo, fileName);
    if (shownIndex(pad) >= 0)
        emit padTempoChanged(shownIndex(pad));
    renderBoundPads();
}

void PadDeck::sessionChanged()
{
    // First what the pads are to play: a loop that waits for its new render keeps the old tempo
    // until the render takes over (which brings the new tempo with it); otherwise the grid takes
    // the new tempo at its next bar line.
    renderBoundPads();
    applySessionToEngine();
}

double PadDeck::padLoopSeconds(int index) const
{
    if (index < 0 || index >= kPadCount)
        return 0.0;
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    const QString name = boundName(settings, PadBanks::DeckPad(index));
    if (name.isEmpty())
        return 0.0;
    return TempoScout::LoopSeconds(AudioPath(AppModul::SoundsFolder + name));
}

void PadDeck::applySessionToEngine()
{
    const SessionKeyAndTempo& session = Tempo.now();
    Mixer& mixer = DMC.engine().mixer();
    if (!m_followRender)
        mixer.setTempo(beatFrames());
    mixer.setMetronome(session.metronome && session.tempo > 0.0,
                       static_cast<float>(session.metronomeLevel) / 100.0f);
    mixer.setCountIn(session.countIn && session.tempo > 0.0);
}

void PadDeck::followPlayingRender()
{
    if (activeDeckPad() >= 0)
        followPlayingRender(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
    else
        m_followRender = false;
}

void PadDeck::followPlayingRender(const QByteArray& settings)
{
    // The playing loop follows its render: once the render it should play is ready, it takes
    // over at the next bar line; until then the loop plays on as it is.
    if (ActivePad == kNoPad || PendingPad != kNoPad ||
        !(DMC.SampleIsActive() || DMC.StreamIsActive())) {
        m_followRender = false;
        return;
    }
    const SoundRender render = renderOf(activeDeckPad(), settings);
    if (render == m_playingRender) {
        m_followRender = false;
        return;
    }
    m_followRender = true;
    if (!DMC.SwapSampleAtBar(render.path, render.cycleFrames, render.pitchScale, beatFrames())) {
        if (!isPlain(render))
            return; // not ready yet: the worker's word brings us back
        // Back to the file as recorded, which plays only from disk (a long MP3): the loop
        // plays on as it is until the next press, and the grid takes the new tempo.
        m_followRender = false;
        DMC.engine().mixer().setTempo(beatFrames());
        return;
    }
    m_playingRender = render;
    m_followRender = false;
}

void PadDeck::startedWithRender(int pad, const SoundRender& render, bool rendered,
                                const QByteArray& settings)
{
    if (Tempo.now().tempo > 0.0 && render.cycleFrames == 0.0) {
        const PadTempo own = PadTempoIn(settings, pad);
        if (own.kind == PadTempo::Kind::Set)
            emit note(QStringLiteral("Pad %1 (%2 BPM) is too far from the session tempo to "
                                     "stretch: it plays at its own")
                          .arg(PadBanks::PadName(pad))
                          .arg(TempoText(own.bpm)));
    }
    if (rendered) {
        m_playingRender = render;
        return;
    }
    // Never silence: the pad plays as recorded and takes its render at a bar line once ready.
    m_playingRender = SoundRender{render.path};
    emit note(render.cycleFrames > 0.0
                  ? QStringLiteral("Pad %1 plays at its own tempo until its stretch is ready")
                        .arg(PadBanks::PadName(pad))
                  : QStringLiteral("Pad %1 plays in its own key until its new key is ready")
                        .arg(PadBanks::PadName(pad)));
    followPlayingRender(settings); // waits for the render, which the worker has been asked for
}
