// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mixer/Mixer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioEngine;
class Voice;
struct AudioSlots;

// One audio control per window that plays files (the bar's and the tuner's). Every instance plays
// through the engine it is given, which the bar's InitBASS starts. An instance has one
// sample slot (channel 1) and one stream slot; opening a file replaces what the slot held.
//
// Volume is 0..100 (linear gain volume / 100), pan -100 (left) .. 100 (right) as a balance.
// An instance starts at volume 100 and pan 0. Calls before the engine is started or after it is
// released do nothing, and the Is*Active queries answer false. Settings made while nothing plays
// apply to what plays next; out-of-range values are clamped. A bad file (missing, empty, corrupt,
// not audio, a folder, a FIFO) leaves its slot empty, and playing an empty slot plays nothing.
// Paths are UTF-8.
class AudioControl {
public:
    explicit AudioControl(AudioEngine& engine);
    ~AudioControl();
    AudioControl(const AudioControl&) = delete;
    AudioControl& operator=(const AudioControl&) = delete;

    void DeviceToUse(int device);
    // Starts the engine (only the bar calls this).
    void InitBASS(std::uintptr_t windowHandle, int sampleRate, bool eightBit, bool mono);
    void BufferLenInSeconds(double seconds);
    void SampleChanToModify(int channel);

    void OpenSample(const std::string& path); // UTF-8 path
    void OpenStream(const std::string& path);
    void PlaySample(bool loop);
    void PlayStream(bool loop);
    void StopSample();
    void StopStream();
    bool SampleIsActive() const;
    bool StreamIsActive() const;

    // The pitch at which the next OpenSample plays its file: 1 as recorded, 2 an octave up.
    // The file is converted to the rate that sounds at that pitch, so a tuner's recorded string
    // plays at any tuning without a second recording. 1/16..16; anything else means 1.
    void SamplePitch(double ratio);

    // A gain in dB on top of the volume of both slots (-24..24; 0 by default), for a sound
    // recorded louder or softer than the others. It reaches what plays now and what opens next.
    static constexpr double kMaxTrimDb = 24.0;
    void Trim(double gainDb);

    void SampleVol(int volume);
    void StreamVol(int volume);
    void SamplePan(int pan);
    void StreamPan(int pan);

    // Switching on the loop's end, for playing live. The voice that plays is the sample's when
    // it sounds, else the stream's (a queued file follows the voice of its own slot when that
    // one sounds).
    //
    // Opens `path` on the slot its name chooses (see PlaysAsStream) and starts it looped on the
    // very frame after the playing voice finishes its current cycle: that voice's last frame is
    // followed by the new file's first, with no fade, gap or overlap. With nothing playing it
    // starts at once, as PlayFile(*this, path, true) would. Until the switch, volume and pan
    // calls for the queued file's slot set the queued voice (from its first frame) and leave
    // the playing one as it is. Queueing again replaces what is queued; a file that does not
    // open queues nothing and drops what was queued.
    //
    // `at` Beat or Bar: the switch waits for the next line of the session's beat grid instead of
    // the cycle end (the cycle end when there is no grid).
    void QueueAtLoopEnd(const std::string& path, Mixer::SwitchAt at = Mixer::SwitchAt::CycleEnd);
    // The playing voice ends on the last frame of its current cycle, with no fade. Replaces a
    // queued file.
    void StopAtLoopEnd();
    // Drops a queued file or a stop at the loop's end; the playing voice loops on. Asked right
    // at the cycle end, the switch may already have happened: then the new file plays.
    void CancelQueued();
    // True while a queued file or a stop at the loop's end waits for the cycle end.
    bool HasQueued() const;
    // How far the playing voice is through its current cycle, 0..1 (0 when nothing plays). A
    // stream's first pass is measured against the length its file's header gives until the
    // pass has been decoded to its end.
    double LoopProgress() const;
    // Open*, Play* and Stop* first drop what is queued, so no queued file starts after them and
    // no stop at the loop's end cuts what they leave playing.

    // ---- Tempo and key ----------------------------------------------------------------------
    // How the next OpenSample (also through QueueAtLoopEnd) plays its file: one cycle lasting
    // `cycleFrames` frames (fractional; 0: its own length) and shifted by `pitchScale`, from the
    // engine's stretched sounds. A render that is not ready yet opens the file as recorded and
    // sampleIsRendered() says so. Both 0 and 1 (the default) play the file as recorded.
    void SampleRender(double cycleFrames, double pitchScale);
    // The file opened last (as a sample or, not rendered yet, as a stream) plays the render asked
    // for; always, when none was asked for.
    bool sampleIsRendered() const;
    // The render SampleRender asked for is ready for `path`: opening it plays the render, also
    // for a file that otherwise plays as a stream (an MP3, which is then held in memory).
    bool renderIsReady(const std::string& path) const;
    // The voices this control starts from silence set the session's beat grid going.
    void AnchorGrid(bool anchors);
    // The next sample started (plainly, not queued) waits for the running grid's next bar line
    // instead of starting at once; without a grid it starts at once.
    void StartOnNextBar(bool onBar);
    // The voice the sample slot plays and the sound it plays, as heard (at the tempo and key it
    // was rendered for); null when none plays, or while another waits to take over. What an
    // overdub records over.
    const Voice* playingSampleVoice() const;
    std::shared_ptr<const SampleBuffer> playingSampleSound() const;
    // The playing sample's file heard another way (a tempo or a key change): at the grid's next
    // bar line, with the grid then at `beatFrames`, the render of `path` takes over by a short
    // crossfade from the same place in the loop. False, and nothing changes, while that render
    // is not ready or no sample plays.
    bool SwapSampleAtBar(const std::string& path, double cycleFrames, double pitchScale,
                         double beatFrames);

    // The files whose sounds are to be ready before they are opened (the bound pads): they are
    // decoded in the background, now and whenever the engine's rate changes, so that opening one
    // decodes nothing. Files that play as streams are left out. Replaces the previous list.
    void KeepSamplesReady(const std::vector<std::string>& paths);

    // Releases the engine.
    void TerminateBASS();

    // True when the opened sample plays from disk: it is too large to hold in memory, or its
    // sound was not ready yet.
    bool sampleIsStreamed() const;

    // The engine this control plays through.
    AudioEngine& engine() const;

private:
    bool ready() const;
    void settleQueue() const;
    void dropQueued();
    void applyGains(Voice* voice, int volume, int pan);

    std::unique_ptr<AudioSlots> m_slots;
};

// A file whose name ends in "mp3" (in any case) plays as a stream; every other file as a sample.
bool PlaysAsStream(const std::string& path);
// The slot a file opens on: a stream for an MP3, unless the control has its render ready.
bool OpensAsStream(const AudioControl& control, const std::string& path);

// Opens a file on the slot its name chooses and plays it, looped or once. Sample channel 1 is the
// one a silenced control has selected.
void PlayFile(AudioControl& control, const std::string& path, bool loop);

// Silences a control: selects channel 1, then stops the sample and the stream if they sound.
void Silence(AudioControl& control);
