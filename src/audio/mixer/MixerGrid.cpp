// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer's sense of time: the beat grid that switches and tempo changes wait for, the
// metronome that clicks on it, and the fades that mix a voice in and out.

#include "Mixer.h"
#include "SharedTimeline.h"
#include "Voice.h"

#include <algorithm>
#include <cmath>

// ---- UI thread -------------------------------------------------------------------------------

void Mixer::makeClicks()
{
    auto sound = ClickSound::make(m_sampleRate);
    if (isRunning()) {
        Command command{Command::Type::Click, nullptr, nullptr, 0.0f, 0.0f};
        command.click = sound.release();
        queue(command);
    } else {
        delete m_metronome.setSound(sound.release()); // nothing renders: this thread owns it
    }
}

Voice* Mixer::swapAtBar(std::unique_ptr<Voice> voice, Voice* playing, double beatFrames)
{
    Voice* raw = adopt(std::move(voice));
    if (!raw)
        return nullptr;
    Command command{Command::Type::Swap, raw, nullptr, 0.0f, 0.0f};
    command.after = playing;
    command.beat = beatFrames;
    queue(command);
    return raw;
}

void Mixer::setTempo(double beatFrames, int beatsPerBar)
{
    if (!isRunning())
        return;
    Command command{Command::Type::Tempo, nullptr, nullptr, 0.0f, 0.0f};
    command.beat = std::isfinite(beatFrames) ? std::max(beatFrames, 0.0) : 0.0;
    command.beatsPerBar = std::clamp(beatsPerBar, 1, BeatGrid::kMaxBeatsPerBar);
    queue(command);
}

void Mixer::setMetronome(bool on, float level)
{
    if (!isRunning())
        return;
    Command command{Command::Type::Metronome, nullptr, nullptr, 0.0f, 0.0f};
    command.end = on;
    command.left = std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f;
    queue(command);
}

void Mixer::setCountIn(bool on)
{
    if (!isRunning())
        return;
    Command command{Command::Type::CountIn, nullptr, nullptr, 0.0f, 0.0f};
    command.end = on;
    queue(command);
}

void Mixer::setTimeline(std::unique_ptr<SharedTimeline> timeline)
{
    if (!isRunning()) {
        delete m_timeline; // nothing renders: this thread owns it
        m_timeline = timeline.release();
        return;
    }
    Command command{Command::Type::Timeline, nullptr, nullptr, 0.0f, 0.0f};
    command.timeline = timeline.release();
    queue(command);
}

void Mixer::setClickInMix(bool on)
{
    if (!isRunning())
        return;
    Command command{Command::Type::ClickInMix, nullptr, nullptr, 0.0f, 0.0f};
    command.end = on;
    queue(command);
}

// ---- audio thread ----------------------------------------------------------------------------

void Mixer::resetTime()
{
    // Called where nothing renders (stop): the next start counts from zero without a tempo. A take
    // cut on the old count ends here.
    m_recorder.cancel();
    m_frame = 0;
    m_grid.stop();
    m_tempoBeat = 0.0;
    m_metronomeOn = false;
    m_countIn = false;
    m_clickInMix = true;
    m_countInEnd = -1;
    m_scheduledCount = 0;
    m_metronome.silence();
    m_keepingTime = false;
    m_block = {};
    showTime();
}

void Mixer::showTime()
{
    const bool grid = m_grid.running();
    m_shownBeat.store(grid ? m_grid.beatFrames() : m_tempoBeat, std::memory_order_relaxed);
    m_shownToBar.store(grid ? m_grid.nextBar() - m_frame : -1, std::memory_order_relaxed);
    m_shownFrame.store(m_frame, std::memory_order_relaxed);
}

bool Mixer::silent() const
{
    // The tone generator's drone is no music to keep time with.
    if (m_scheduledCount > 0)
        return false;
    for (int i = 0; i < m_voiceCount; ++i) {
        const Voice* voice = m_voices[static_cast<std::size_t>(i)];
        if (voice->kind() != Voice::Kind::Pcm && loopsOn(voice))
            return false;
    }
    return true;
}

void Mixer::restartGrid()
{
    if (m_onTimeline) {
        alignGridToTimeline(m_timelineBeat);
        m_countInEnd = -1;
        return;
    }
    m_grid.start(m_frame, m_tempoBeat, m_tempoBeatsPerBar);
    m_countInEnd = -1;
    m_block.startedAt = static_cast<int>(m_frame - m_block.frame);
    m_keepingTime = true;
}

void Mixer::beginBlock(int frames)
{
    m_block.frame = m_frame;
    m_block.frames = frames;
    m_block.lineCount = 0;
    m_block.startedAt = -1;
    m_block.stoppedAt = -1;
    m_block.running = false;
    m_block.keepsTime = false;
}

void Mixer::readBlockStart()
{
    // After the block's commands: the grid its frames follow.
    m_block.running = m_grid.running();
    m_block.keepsTime = m_block.running && (m_metronomeOn || !silent());
    if (m_keepingTime && !m_block.keepsTime)
        m_block.stoppedAt = 0;
    m_keepingTime = m_block.keepsTime;
    if (!m_block.running)
        return;
    const double beat = m_grid.beatFrames();
    const double nextLine =
        static_cast<double>(m_grid.nextLine() - m_frame) + m_grid.nextLineFraction() / 4294967296.0;
    m_block.beatPosition = static_cast<double>(m_grid.nextLineIndex()) - nextLine / beat;
    m_block.beatFrames = beat;
    m_block.beatsPerBar = m_grid.beatsPerBar();
    m_block.comingBeatFrames = m_grid.comingBeatFrames();
}

void Mixer::applyTimed(const Command& command)
{
    switch (command.type) {
    case Command::Type::Swap: {
        Voice* playing = playingSuccessorOf(command.after);
        if (!(command.beat > 0.0)) {
            crossfadeIn(command.voice, playing); // no beat to change to: only the loop changes
            return;
        }
        m_tempoBeat = command.beat;
        if (!m_grid.running()) {
            crossfadeIn(command.voice, playing);
            return;
        }
        m_grid.changeAtNextBar(m_tempoBeat, m_tempoBeatsPerBar);
        command.voice->replaces = playing;
        schedule(command.voice, m_grid.nextBar());
        return;
    }
    case Command::Type::Tempo:
        m_tempoBeat = command.beat;
        m_tempoBeatsPerBar = command.beatsPerBar;
        if (m_tempoBeat <= 0.0)
            stopGrid();
        else if (m_grid.running())
            m_grid.changeAtNextBar(m_tempoBeat, m_tempoBeatsPerBar);
        else if (m_metronomeOn)
            restartGrid();
        return;
    case Command::Type::Metronome:
        m_metronomeOn = command.end;
        m_clickLevel = command.left;
        if (m_metronomeOn && m_tempoBeat > 0.0 && (!m_grid.running() || silent()))
            restartGrid();
        return;
    case Command::Type::CountIn:
        m_countIn = command.end;
        return;
    case Command::Type::ClickInMix:
        m_clickInMix = command.end;
        return;
    case Command::Type::Click:
        retire(m_metronome.setSound(command.click));
        return;
    case Command::Type::Timeline:
        retire(m_timeline);
        m_timeline = command.timeline;
        return;
    default:
        return;
    }
}

void Mixer::startPlain(Voice* voice)
{
    if (voice->startsOnBar && m_grid.running()) {
        schedule(voice, m_grid.nextBar());
        return;
    }
    if (voice->anchorsGrid && m_tempoBeat > 0.0 && silent()) {
        restartGrid(); // the loop's first frame is the first bar line
        if (m_onTimeline) {
            startOnSharedBar(voice);
            return;
        }
        if (m_countIn && m_voiceCount + m_waiting < kMaxVoices) {
            std::uint32_t phase = 0;
            m_countInEnd = m_grid.lineAfter(m_grid.beatsPerBar(), &phase);
            schedule(voice, m_countInEnd);
            return;
        }
    }
    startNow(voice);
}

bool Mixer::startOnGrid(Voice* voice, Voice* after, SwitchAt at)
{
    if (at == SwitchAt::CycleEnd || !m_grid.running())
        return false;
    withdrawSuccessor(*after);
    after->successor = voice;
    voice->waitingOn = after;
    voice->startFrame = at == SwitchAt::Beat ? m_grid.nextLine() : m_grid.nextBar();
    ++m_waiting;
    return true;
}

void Mixer::schedule(Voice* voice, std::int64_t frame)
{
    if (m_voiceCount + m_waiting >= kMaxVoices) {
        startNow(voice); // no room to wait: shows finished at once
        return;
    }
    voice->startFrame = frame;
    m_scheduled[static_cast<std::size_t>(m_scheduledCount++)] = voice;
    ++m_waiting;
}

void Mixer::unschedule(Voice* voice)
{
    int kept = 0;
    for (int i = 0; i < m_scheduledCount; ++i) {
        Voice* waiting = m_scheduled[static_cast<std::size_t>(i)];
        if (waiting == voice) {
            --m_waiting;
            continue;
        }
        // A tempo change waiting to replace the voice now stopped replaces where it went on.
        if (waiting->replaces == voice)
            waiting->replaces = voice->handedTo;
        m_scheduled[static_cast<std::size_t>(kept++)] = waiting;
    }
    m_scheduledCount = kept;
}

void Mixer::startScheduled(Voice* voice, std::uint32_t phase)
{
    --m_waiting; // its place in m_voices was held, and is taken now
    voice->startFrame = -1;
    if (voice->replaces) {
        Voice* playing = playingSuccessorOf(voice->replaces);
        voice->replaces = nullptr;
        crossfadeIn(voice, playing);
        return;
    }
    voice->setCyclePhase(phase);
    startNow(voice);
}

void Mixer::crossfadeIn(Voice* voice, Voice* playing)
{
    if (m_voiceCount + m_waiting >= kMaxVoices) {
        voice->markFinished();
        return;
    }
    const int fade = std::max(1, static_cast<int>(std::lround(m_sampleRate * kSwapFadeSeconds)));
    const bool fromLoop = loopsOn(playing);
    if (fromLoop)
        voice->seekToCycleFraction(playing->cyclePosition());
    voice->equalPowerFade = true;
    voice->fadeInLeft = voice->fadeInTotal = fade;
    voice->inMix = true;
    voice->markBegan();
    m_voices[static_cast<std::size_t>(m_voiceCount++)] = voice;
    if (!fromLoop)
        return;
    withdrawSuccessor(*playing);
    playing->handedTo = voice;
    playing->equalPowerFade = true;
    playing->fadingAway = true;
    playing->fadeOutLeft = playing->fadeOutTotal = playing->rendered ? fade : 0;
    if (playing->fadeOutLeft == 0)
        playing->markFinished();
}

void Mixer::stopGrid()
{
    // What waited for a line that will not come goes on without it: a switch at the cycle end,
    // a count-in's loop and a tempo change's at once.
    m_grid.stop();
    m_countInEnd = -1;
    for (int i = 0; i < m_voiceCount; ++i) {
        Voice* voice = m_voices[static_cast<std::size_t>(i)];
        if (voice->successor && voice->successor->startFrame >= 0) {
            voice->successor->startFrame = -1;
            voice->endAtCycleEnd = true;
        }
    }
    while (m_scheduledCount > 0)
        startScheduled(m_scheduled[static_cast<std::size_t>(--m_scheduledCount)], 0);
}

void Mixer::reachLine()
{
    const std::int64_t line = m_grid.nextLine();
    const std::uint32_t phase = m_grid.nextLineFraction();
    const bool barLine = m_grid.nextLineBeat() == 0;

    // Voices waiting for this line (or, after the grid was restarted, for one that no longer
    // comes) start on it, their cycles from its exact time.
    for (int i = 0; i < m_scheduledCount;) {
        Voice* voice = m_scheduled[static_cast<std::size_t>(i)];
        if (voice->startFrame > line) {
            ++i;
            continue;
        }
        m_scheduled[static_cast<std::size_t>(i)] =
            m_scheduled[static_cast<std::size_t>(--m_scheduledCount)];
        startScheduled(voice, phase);
    }
    const int count = m_voiceCount; // hand-overs append the ended voices
    for (int i = 0; i < count; ++i) {
        Voice* voice = m_voices[static_cast<std::size_t>(i)];
        Voice* next = voice->successor;
        if (!next || next->startFrame < 0 || next->startFrame > line)
            continue;
        next->setCyclePhase(phase);
        voice->markFinished();
        handOver(i, nullptr, 0);
    }
    if (m_metronomeOn || line < m_countInEnd)
        m_metronome.trigger(barLine);
    const std::int64_t index = m_grid.nextLineIndex();
    const int beatInBar = m_grid.nextLineBeat();
    m_grid.pass();
    if (m_block.lineCount < GridBlock::kMaxLines)
        m_block.lines[static_cast<std::size_t>(m_block.lineCount++)] = {
            static_cast<int>(line - m_block.frame), phase / 4294967296.0, index, beatInBar,
            m_grid.beatFrames()};
}

void Mixer::mixChunk(float* out, float* click, int frames)
{
    float* clicks = click;
    if (!clicks && (m_metronome.sounding() || m_grid.running())) {
        clicks = m_clickScratch.data();
        std::fill(clicks, clicks + static_cast<std::ptrdiff_t>(frames) * 2, 0.0f);
    }
    bool clicked = false;
    int done = 0;
    while (done < frames) {
        // A span ends at the next line of the grid, so whatever happens there happens on its
        // frame.
        int span = frames - done;
        if (m_grid.running()) {
            if (m_grid.nextLine() <= m_frame)
                reachLine();
            span = static_cast<int>(std::min<std::int64_t>(span, m_grid.nextLine() - m_frame));
        }
        float* target = out + static_cast<std::ptrdiff_t>(done) * 2;
        for (int i = 0; i < m_voiceCount; ++i)
            mixVoice(i, target, span);
        if (clicks && m_metronome.sounding()) {
            // A count-in with the metronome off and never set up still clicks.
            const float level = m_metronomeOn || m_clickLevel > 0.0f ? m_clickLevel : 0.7f;
            m_metronome.render(clicks + static_cast<std::ptrdiff_t>(done) * 2, span, level);
            clicked = true;
        }
        done += span;
        m_frame += span;
    }
    if (clicked && m_clickInMix)
        for (int i = 0; i < frames * 2; ++i)
            out[i] += clicks[i];
}
void Mixer::addToMix(Voice& voice, const float* source, float* out, long produced)
{
    const bool fadesOut = voice.stopping || voice.fadingAway;
    if (voice.rampLeft == 0 && voice.fadeInLeft == 0 && !fadesOut) {
        const float left = voice.gainLeft;
        const float right = voice.gainRight;
        for (long i = 0; i < produced; ++i) {
            out[2 * i] += source[2 * i] * left;
            out[2 * i + 1] += source[2 * i + 1] * right;
        }
        return;
    }
    for (long i = 0; i < produced; ++i) {
        if (voice.rampLeft > 0) {
            // Linear steps that land exactly on the target at the end of the ramp.
            const auto steps = static_cast<float>(voice.rampLeft);
            voice.gainLeft += (voice.targetLeft - voice.gainLeft) / steps;
            voice.gainRight += (voice.targetRight - voice.gainRight) / steps;
            if (--voice.rampLeft == 0) {
                voice.gainLeft = voice.targetLeft;
                voice.gainRight = voice.targetRight;
            }
        }
        float factor = 1.0f;
        if (voice.fadeInLeft > 0) {
            factor = static_cast<float>(voice.fadeInTotal - voice.fadeInLeft + 1) /
                     static_cast<float>(voice.fadeInTotal + 1);
            if (voice.equalPowerFade)
                factor = std::sin(factor * static_cast<float>(M_PI / 2.0));
            --voice.fadeInLeft;
        }
        if (fadesOut) {
            if (voice.fadeOutLeft == 0)
                break;
            if (voice.equalPowerFade) {
                // The mirror of the fade in beside it: the two powers add up to one.
                const float in = static_cast<float>(voice.fadeOutTotal - voice.fadeOutLeft + 1) /
                                 static_cast<float>(voice.fadeOutTotal + 1);
                factor *= std::cos(in * static_cast<float>(M_PI / 2.0));
            } else {
                factor *= static_cast<float>(voice.fadeOutLeft - 1) /
                          static_cast<float>(voice.fadeOutTotal);
            }
            if (--voice.fadeOutLeft == 0 && voice.fadingAway && !voice.stopping)
                voice.markFinished();
        }
        out[2 * i] += source[2 * i] * voice.gainLeft * factor;
        out[2 * i + 1] += source[2 * i + 1] * voice.gainRight * factor;
    }
}
