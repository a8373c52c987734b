// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadySounds.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class SampleBuffer;

// How a pad's sound is to be heard: one cycle lasting `cycleFrames` engine frames (fractional;
// 0 = its own length) and shifted by `pitchScale` (1 = as recorded).
struct SoundRender {
    std::string path;
    double cycleFrames = 0.0;
    double pitchScale = 1.0;
    bool operator==(const SoundRender&) const = default;
};

// The pads' sounds at the song's tempo and key, rendered ahead of their presses. Stretching takes
// far longer than decoding, so it has a worker thread of its own: the ready sounds' decoding never
// waits behind it. Each render is stretched from the ready sound of its file (decoded here when
// it is not ready there yet); a file too large to be held there plays as recorded, and its render
// is NotRenderable. Renders are seamless loops (RenderStretched), valid for the file's size and
// modification time when it was read and for the engine's rate.
//
// All calls are for the UI thread; the worker runs on its own. The audio thread never sees this
// object, only the buffers it hands out; a voice playing a dropped render keeps it alive.
class StretchedSounds {
public:
    explicit StretchedSounds(ReadySounds& sources);
    ~StretchedSounds(); // cancels a render under way and waits for the worker
    StretchedSounds(const StretchedSounds&) = delete;
    StretchedSounds& operator=(const StretchedSounds&) = delete;

    enum class State {
        NotReady, // not rendered yet (or its file changed since): the worker may be at it
        Ready,
        NotRenderable, // missing, not a sound, or too large to hold: plays as recorded, if at all
    };
    struct Found {
        State state = State::NotReady;
        std::shared_ptr<const SampleBuffer> sound; // when Ready
    };

    // The engine's rate. Every render is dropped; the wanted ones are rendered again.
    void setRate(int rate);
    // The renders to have ready (the bound pads at the song's tempo and key), the first first.
    // Renders no longer wanted are dropped, and a render under way that is no longer wanted is
    // cancelled.
    void keepRendered(const std::vector<SoundRender>& wanted);
    // A press: one stat and a look-up, never a render. A render of a file that changed since is
    // dropped and made again (when wanted).
    Found find(const SoundRender& render);
    // Called on the worker after each finished render (Ready or NotRenderable); the UI posts it
    // to its own thread. Once this returns, the listener it replaced is not running and is never
    // called again.
    void setReadyListener(std::function<void()> listener);

    // A render is under way or a wanted one waits.
    bool busy() const;
    // The bytes of the renders held (a render at the recorded length and pitch is the ready
    // sound itself and counts there).
    std::size_t bytesHeld() const;

private:
    struct Entry {
        SoundRender render;
        FileStamp stamp; // empty when the file was missing
        State state = State::NotReady;
        std::shared_ptr<const SampleBuffer> sound;
        bool own = false; // a rendered buffer, not the ready sound itself
    };
    using Dropped = std::vector<std::shared_ptr<const SampleBuffer>>;

    std::vector<Entry>::iterator entryLocked(const SoundRender& render);
    bool wantedLocked(const SoundRender& render) const;
    // The first wanted render without an entry.
    const SoundRender* nextLocked() const;
    void eraseLocked(std::vector<Entry>::iterator entry, Dropped& dropped);
    void startLocked();
    void work();
    // Worker: the render made from the file as it is now.
    Entry render(const SoundRender& render, int rate);
    std::shared_ptr<const SampleBuffer> source(const std::string& path, const FileStamp& stamp,
                                               int rate);

    ReadySounds& m_sources;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<SoundRender> m_wanted;
    std::vector<Entry> m_entries;
    std::optional<SoundRender> m_current; // being rendered
    std::atomic<bool> m_cancel{false};
    // Held while the listener runs, so that replacing it waits for a call under way.
    std::mutex m_listenerMutex;
    std::function<void()> m_listener;
    int m_rate = 0;
    std::size_t m_held = 0;
    bool m_stop = false;
    std::thread m_worker; // started with the first wanted render
};
