// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioEngine;
class SampleBuffer;
class Voice;

// The state behind an AudioControl, shared by its two files: AudioControl.cpp opens, plays and
// stops the slots, AudioControlQueue.cpp switches them at a loop's end.

enum class Slot { Sample, Stream };

struct QueuedVoice {
    Voice* voice;
    Slot slot;
};

// What one control holds. Voices are owned by the engine; the control keeps a pointer to the
// voice of each slot until it stops it, and forgets everything when the engine restarts.
struct AudioSlots {
    explicit AudioSlots(AudioEngine& audio) : engine(audio) {}

    AudioEngine& engine;
    std::uint64_t generation = 0;
    double bufferSeconds = 1.0;

    // A gain on top of both slots' volumes (linear), for sounds recorded at other levels.
    double trim = 1.0;

    int sampleVolume = 100;
    int samplePan = 0;
    double samplePitch = 1.0;
    // The render the next opened sample is to play (see AudioControl::SampleRender), and the
    // cycle of the one opened (0: its buffer's length).
    double renderCycleFrames = 0.0;
    double renderPitch = 1.0;
    double sampleCycleFrames = 0.0;
    bool sampleRendered = true;
    bool anchorsGrid = false;
    bool startsOnBar = false; // the next sample started waits for the grid's next bar line
    std::shared_ptr<const SampleBuffer> sample;
    std::string largeSamplePath; // a sample too large to hold plays through the stream path
    Voice* sampleVoice = nullptr;

    int streamVolume = 100;
    int streamPan = 0;
    std::string streamPath;
    Voice* streamVoice = nullptr;

    // Voices started behind another's cycle end, in the order queued, until the audio thread
    // shows each either begun (it moves into its slot) or withdrawn (it is freed). Only the last
    // may be `pending`, the one the player still wants; the others were replaced or cancelled.
    std::vector<QueuedVoice> queued;
    Voice* pending = nullptr;
    Slot pendingSlot = Slot::Sample;
    bool stopPending = false; // a stop at the loop's end waits
    // The voice told to end at its cycle end, while something is pending.
    Voice* ending = nullptr;

    Voice*& held(Slot slot) { return slot == Slot::Sample ? sampleVoice : streamVoice; }
    // Stops `voice` on the engine (if there is one) and forgets it.
    void stop(Voice*& voice);
    // The voice that volume and pan calls for a slot reach: a queued one before its start.
    Voice* gainTarget(Slot slot) { return pending && pendingSlot == slot ? pending : held(slot); }
};

// Sets a voice's gains before it starts.
void setGains(Voice& voice, int volume, int pan, double trim);
// Stops a started voice, if any, and forgets it.
// Opens a file on the sample slot without touching what plays there.
void openSampleFile(AudioSlots& slots, const std::string& path);
// Opens a file on the stream slot without touching what plays there.
void openStreamFile(AudioSlots& slots, const std::string& path);
// A new voice for what the slot holds, or none when it holds nothing that plays.
std::unique_ptr<Voice> makeVoice(const AudioSlots& slots, Slot slot, bool loop);
