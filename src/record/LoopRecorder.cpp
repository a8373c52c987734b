// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopRecorder.h"

#include "audio/AudioEngine.h"
#include "audio/sounds/SampleBuffer.h"
#include "core/NumberText.h"
#include "core/PadBanks.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "core/SoundFiles.h"
#include "deck/PadDeck.h"
#include "deck/PadSettingValues.h"
#include "deck/TempoSettings.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPollMs = 10;
constexpr int kDefaultBars = 4;
constexpr int kBeatsPerBar = 4;

QString mainSection()
{
    return AppModul::AppTitle;
}

double barFrames(double bpm, int rate)
{
    return bpm > 0.0 ? kBeatsPerBar * 60.0 / bpm * rate : 0.0;
}

// The tempo at which `bars` bars last `frames` frames.
double tempoOfBars(int bars, std::int64_t frames, int rate)
{
    return bars * kBeatsPerBar * 60.0 * rate / static_cast<double>(frames);
}

// The same, as the settings file keeps a tempo (to 0.1 BPM) and within the tempos it takes.
double storedTempoOfBars(int bars, std::int64_t frames, int rate)
{
    return std::clamp(std::round(tempoOfBars(bars, frames, rate) * 10.0) / 10.0,
                      TempoSettings::kMinTempo, TempoSettings::kMaxTempo);
}

// The bars a take of `frames` frames lasts with no tempo to measure it by: as many as put its
// tempo nearest the middle of the tempos bands play at.
int barsForFreeTake(std::int64_t frames, int rate)
{
    int best = 1;
    double bestDistance = 1e300;
    for (const int bars : {1, 2, 4, 8, 16}) {
        const double bpm = tempoOfBars(bars, frames, rate);
        const double distance = std::abs(std::log2(bpm / 110.0));
        if (distance < bestDistance) {
            best = bars;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

LoopRecorder::LoopRecorder(PadDeck& deck) : m_deck(deck)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &LoopRecorder::poll);
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    if (StoredMonitoring(settings))
        // Once the sound has started: the input of a JACK client comes with its output.
        QTimer::singleShot(0, this, [this] { monitor(true); });
}

LoopRecorder::~LoopRecorder()
{
    Mixer& mixer = m_deck.DMC.engine().mixer();
    mixer.recorder().setMonitor(false);
    if (m_phase == Phase::Armed || m_phase == Phase::Recording)
        mixer.cancelTake();
    if (m_input)
        m_input->close();
    // The writer's own end keeps what it wrote a valid file.
    m_writer.reset();
}

// ---- settings --------------------------------------------------------------------------------

int LoopRecorder::StoredBars(QByteArrayView settings)
{
    const std::optional<double> value = PadSettingValues::NumberIn(
        FindSettingValue(settings, mainSection(), QStringLiteral("RecordBars")));
    if (value)
        for (const int bars : kBarChoices)
            if (*value == bars)
                return bars;
    return kDefaultBars;
}

void LoopRecorder::StoreBars(int bars)
{
    WriteSetting(mainSection(), QStringLiteral("RecordBars"), QString::number(bars),
                 AppModul::SettingsFile);
}

std::optional<double> LoopRecorder::StoredRoundTripMs(QByteArrayView settings)
{
    const std::optional<double> value = PadSettingValues::NumberIn(
        FindSettingValue(settings, mainSection(), QStringLiteral("RoundTrip")));
    if (!value || !(*value >= 0.0) || *value > 2000.0)
        return std::nullopt;
    return value;
}

bool LoopRecorder::StoredMonitoring(QByteArrayView settings)
{
    return SettingIn(settings, mainSection(), QStringLiteral("MonitorInput"), QString())
               .trimmed()
               .compare(QStringLiteral("on"), Qt::CaseInsensitive) == 0;
}

int LoopRecorder::roundTripFrames() const
{
    const AudioEngine& engine = m_deck.DMC.engine();
    const QByteArray settings = ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray());
    if (const std::optional<double> ms = StoredRoundTripMs(settings))
        return static_cast<int>(std::lround(*ms * engine.sampleRate() / 1000.0));
    return engine.host().reportedRoundTripFrames();
}

// ---- the input -------------------------------------------------------------------------------

bool LoopRecorder::openInput()
{
    if (m_input && !m_input->lost())
        return true;
    if (m_input)
        m_input->close();
    AudioEngine& engine = m_deck.DMC.engine();
    TakeRecorder& recorder = engine.mixer().recorder();
    m_input = engine.openInput(&TakeRecorder::Hear, &recorder);
    recorder.restartInput();
    return m_input != nullptr;
}

void LoopRecorder::closeInputUnlessMonitoring()
{
    if (m_monitoring || !m_input)
        return;
    m_input->close();
    m_input.reset();
}

void LoopRecorder::setMonitoring(bool on)
{
    WriteSetting(mainSection(), QStringLiteral("MonitorInput"),
                 on ? QStringLiteral("on") : QStringLiteral("off"), AppModul::SettingsFile);
    monitor(on);
}

void LoopRecorder::monitor(bool on)
{
    if (on && !openInput()) {
        emit note(QStringLiteral("No input to hear: connect one and try again"));
        on = false;
    }
    m_monitoring = on;
    m_deck.DMC.engine().mixer().recorder().setMonitor(on);
    if (m_phase == Phase::Idle)
        closeInputUnlessMonitoring();
    emit changed();
}

// ---- a take ----------------------------------------------------------------------------------

QString LoopRecorder::padText() const
{
    return QStringLiteral("Pad %1").arg(PadBanks::PadName(m_pad));
}

void LoopRecorder::setPhase(Phase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    if (phase == Phase::Idle) {
        m_poll.stop();
        m_pad = -1;
        closeInputUnlessMonitoring();
    } else if (!m_poll.isActive()) {
        m_poll.start();
    }
    emit changed();
}

bool LoopRecorder::arm(int pad, int bars)
{
    using namespace AppModul;
    AudioEngine& engine = m_deck.DMC.engine();
    Mixer& mixer = engine.mixer();
    if (m_phase != Phase::Idle || pad < 0 || pad >= PadBanks::kDeckPads || !engine.isRunning())
        return false;
    TakeRecorder& recorder = mixer.recorder();
    const TakeRecorder::State before = recorder.progress().state;
    if (before == TakeRecorder::State::Waiting || before == TakeRecorder::State::Recording)
        return false; // a take called off a moment ago still stops
    if (!openInput()) {
        emit note(QStringLiteral("No input to record from: connect one and arm the pad again"));
        return false;
    }
    const int rate = engine.sampleRate();

    // Over the pad's own playing loop: the loop as it sounds is the take's base.
    Mixer::TakeRequest request;
    const Voice* playing = m_deck.DMC.playingSampleVoice();
    std::shared_ptr<const SampleBuffer> base;
    if (playing && m_deck.activeDeckPad() == pad)
        base = m_deck.DMC.playingSampleSound();
    m_overdub = base != nullptr && base->frames() > 0;

    // The ring is the recorder's: nothing of a take called off is left in it for this one.
    MonoRing& ring = recorder.takeRing();
    ring.skipAll();
    m_writer = std::make_unique<TakeWriter>();
    if (!m_writer->start(AudioPath(SoundsFolder), rate, ring, m_overdub ? base : nullptr)) {
        emit note(QString::fromStdString(m_writer->status().error));
        m_writer.reset();
        closeInputUnlessMonitoring();
        return false;
    }

    const SessionKeyAndTempo& session = m_deck.Tempo.now();
    request.bars = std::clamp(bars, 0, 8);
    request.countIn = session.countIn && session.tempo > 0.0 && !m_overdub;
    request.roundTrip = roundTripFrames();
    request.target = &ring;
    if (m_overdub) {
        request.over = playing;
        request.overFrames = static_cast<std::int64_t>(base->frames());
    }
    if (session.tempo > 0.0)
        mixer.setTempo(m_deck.beatFrames(), kBeatsPerBar);
    m_serial = recorder.progress().serial;
    mixer.recordTake(request);

    m_pad = pad;
    m_bars = request.bars;
    m_ended = false;
    m_lostInput = false;
    m_generation = mixer.generation();
    m_lastShownBar = -1;
    setPhase(Phase::Armed);
    emit note(m_overdub             ? padText() + QStringLiteral(" overdubs from its loop's start")
              : request.countIn     ? padText() + QStringLiteral(" records after a bar of count-in")
              : session.tempo > 0.0 ? padText() + QStringLiteral(" records from the next bar")
                                    : padText() + QStringLiteral(" records: press again to end"));
    return true;
}

void LoopRecorder::press()
{
    Mixer& mixer = m_deck.DMC.engine().mixer();
    if (!taking())
        return;
    const TakeRecorder::Progress progress = mixer.recorder().progress();
    if (progress.serial == m_serial || progress.state == TakeRecorder::State::Waiting) {
        cancel();
        return;
    }
    if (m_overdub) {
        cancel(); // an overdub is a whole cycle or nothing: the loop stays as it was
        return;
    }
    if (m_deck.Tempo.now().tempo > 0.0) {
        mixer.endTake();
        return;
    }
    // No tempo: the take lasts whole bars of the tempo its length sets, as stored, so it loops
    // as recorded at that tempo.
    const int rate = mixer.sampleRate();
    const std::int64_t heard = std::max<std::int64_t>(mixer.framesRendered() - progress.start, 1);
    const int bars = m_bars > 0 ? m_bars : barsForFreeTake(heard, rate);
    m_bars = bars;
    mixer.endTake(progress.start +
                  std::llround(bars * barFrames(storedTempoOfBars(bars, heard, rate), rate)));
}

void LoopRecorder::cancel()
{
    if (m_phase == Phase::Idle)
        return;
    m_deck.DMC.engine().mixer().cancelTake();
    if (m_phase == Phase::Measuring) {
        setPhase(Phase::Idle);
        return;
    }
    if (m_writer) {
        m_writer->stop();
        // A take called off before it began leaves no file behind.
        if (m_writer->status().framesWritten == 0)
            QFile::remove(QString::fromStdString(m_writer->path()));
        m_writer.reset();
    }
    emit note(padText() + QStringLiteral(" records nothing"));
    setPhase(Phase::Idle);
}

void LoopRecorder::poll()
{
    if (m_phase == Phase::Measuring)
        pollMeasure();
    else if (m_phase != Phase::Idle)
        pollTake();
}

void LoopRecorder::pollTake()
{
    if (m_phase == Phase::Finishing) {
        const TakeWriter::State state = m_writer->status().state;
        if (state == TakeWriter::State::Finished || state == TakeWriter::State::Failed)
            takeWritten();
        return;
    }
    Mixer& mixer = m_deck.DMC.engine().mixer();
    const TakeRecorder::Progress progress = mixer.recorder().progress();
    // The sound started again (another output, a server back): the take's clock is gone.
    const bool restarted = mixer.generation() != m_generation;
    if (progress.serial == m_serial && !restarted)
        return; // the mixer has not taken the request yet
    using State = TakeRecorder::State;
    const bool inputLost = restarted || m_input == nullptr || m_input->lost();
    const bool diskFailed = m_writer->status().state == TakeWriter::State::Failed;
    if (inputLost || diskFailed) {
        // What was recorded up to here is kept as it is.
        m_lostInput = inputLost;
        mixer.cancelTake();
        m_writer->stop();
        m_ended = true;
        setPhase(Phase::Finishing);
        return;
    }
    switch (progress.state) {
    case State::Waiting:
        return;
    case State::Recording: {
        setPhase(Phase::Recording);
        const double bar = barFrames(m_deck.Tempo.now().tempo, mixer.sampleRate());
        const std::int64_t shown = bar > 0.0 ? static_cast<std::int64_t>(progress.taken / bar) : 0;
        if (shown != m_lastShownBar) {
            m_lastShownBar = shown;
            emit note(m_bars > 0 && !m_overdub
                          ? padText() +
                                QStringLiteral(" records: bar %1 of %2").arg(shown + 1).arg(m_bars)
                          : padText() + QStringLiteral(" records"));
        }
        return;
    }
    case State::Done:
        takeEnded(progress.end - progress.start);
        return;
    case State::Cancelled:
        // The loop an overdub was to go over stopped first.
        cancel();
        return;
    default:
        return;
    }
}

void LoopRecorder::takeEnded(std::int64_t frames)
{
    if (m_ended)
        return;
    m_ended = true;
    m_writer->finish(frames);
    setPhase(Phase::Finishing);
}

void LoopRecorder::takeWritten()
{
    const TakeWriter::Status status = m_writer->status();
    const QString fileName = QString::fromStdString(m_writer->fileName());
    const std::int64_t frames = status.framesWritten;
    // Only a take the mixer ended reaches here with the input still heard and the disk willing.
    const bool whole = status.state == TakeWriter::State::Finished && !m_lostInput;
    m_writer.reset();
    if (frames == 0) {
        QFile::remove(AppModul::SoundsFolder + fileName);
        emit note(m_lostInput ? QStringLiteral("The input was lost: nothing was recorded")
                  : status.error.empty() ? padText() + QStringLiteral(" records nothing")
                                         : QString::fromStdString(status.error));
    } else if (!whole) {
        // A take cut short stays in Sounds, whole as far as it goes, but plays nowhere.
        emit note(m_lostInput ? QStringLiteral("The input was lost while recording: %1 keeps "
                                               "what was recorded")
                                    .arg(fileName)
                              : QString::fromStdString(status.error));
    } else {
        bindTake(fileName, frames);
    }
    setPhase(Phase::Idle);
}

void LoopRecorder::bindTake(const QString& fileName, std::int64_t frames)
{
    using namespace AppModul;
    const int rate = m_deck.DMC.engine().sampleRate();
    const QByteArray settings = ReadSettingsText(SettingsFile).value_or(QByteArray());
    Undo undo;
    undo.pad = m_pad;
    undo.takeName = fileName;
    undo.previousName = PadSettingValues::BoundNameIn(settings, m_pad);
    undo.previousTempo = TempoSettings::PadTempoIn(settings, m_pad);

    double bpm = m_deck.Tempo.now().tempo;
    if (!(bpm > 0.0)) {
        // The first take sets the tempo its bars last at.
        bpm = storedTempoOfBars(m_bars, frames, rate);
        undo.sessionTempoSet = true;
    }
    const int bars = std::max(
        1, static_cast<int>(std::lround(static_cast<double>(frames) / barFrames(bpm, rate))));
    WriteSetting(PadSettingValues::Section(m_pad), PadSettingValues::PadKey("Sample", m_pad),
                 fileName, SettingsFile);
    TempoSettings::StorePadTempo(m_pad, {PadTempo::Kind::Set, bpm, bars}, fileName);
    if (undo.sessionTempoSet)
        m_deck.Tempo.setTempo(bpm);
    m_undo = undo;
    m_deck.playRecordedTake(m_pad);
    emit note(QStringLiteral("%1 loops on pad %2").arg(fileName, PadBanks::PadName(m_pad)));
}

bool LoopRecorder::undo()
{
    using namespace AppModul;
    if (!m_undo || m_phase != Phase::Idle)
        return false;
    const Undo undo = *m_undo;
    m_undo.reset();
    WriteSetting(PadSettingValues::Section(undo.pad), PadSettingValues::PadKey("Sample", undo.pad),
                 undo.previousName, SettingsFile);
    TempoSettings::StorePadTempo(undo.pad, undo.previousTempo, undo.previousName);
    if (undo.sessionTempoSet)
        m_deck.Tempo.setTempo(0.0);
    if (m_deck.activeDeckPad() == undo.pad) {
        if (undo.previousName.isEmpty()) {
            m_deck.silence();
            m_deck.forgetActivePad();
        } else {
            m_deck.playRecordedTake(undo.pad); // the loop the take went over, back on the bar
        }
    }
    QFile::remove(SoundsFolder + undo.takeName);
    emit note(QStringLiteral("%1 was discarded").arg(undo.takeName));
    emit changed();
    return true;
}

// ---- the round trip --------------------------------------------------------------------------

void LoopRecorder::measureRoundTrip()
{
    if (m_phase != Phase::Idle)
        return;
    Mixer& mixer = m_deck.DMC.engine().mixer();
    if (!mixer.isRunning() || !openInput()) {
        emit note(QStringLiteral("No input to measure with: connect an output to the input"));
        return;
    }
    m_serial = mixer.recorder().progress().serial;
    mixer.measureRoundTrip();
    setPhase(Phase::Measuring);
    emit note(QStringLiteral("Listening for the click through the loopback cable"));
}

void LoopRecorder::pollMeasure()
{
    const Mixer& mixer = m_deck.DMC.engine().mixer();
    const TakeRecorder::Progress progress = mixer.recorder().progress();
    if (progress.serial == m_serial || progress.state == TakeRecorder::State::Measuring)
        return;
    if (progress.state == TakeRecorder::State::Measured) {
        const double ms = 1000.0 * static_cast<double>(progress.roundTrip) / mixer.sampleRate();
        WriteSetting(mainSection(), QStringLiteral("RoundTrip"), QString::number(ms, 'f', 3),
                     AppModul::SettingsFile);
        emit note(QStringLiteral("Round trip: %1 ms (%2 frames)")
                      .arg(QString::number(ms, 'f', 1))
                      .arg(progress.roundTrip));
    } else {
        emit note(QStringLiteral("The click did not come back: connect an output to the input"));
    }
    setPhase(Phase::Idle);
}
