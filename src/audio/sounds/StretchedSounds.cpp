// SPDX-License-Identifier: GPL-3.0-or-later
#include "StretchedSounds.h"
#include "io/BackgroundWork.h"

#include "SampleBuffer.h"
#include "SoundFile.h"
#include "Stretch.h"

#include <algorithm>
#include <pthread.h>

StretchedSounds::StretchedSounds(ReadySounds& sources) : m_sources(sources) {}

StretchedSounds::~StretchedSounds()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_cancel = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void StretchedSounds::setRate(int rate)
{
    Dropped dropped;
    {
        std::lock_guard lock(m_mutex);
        if (rate == m_rate)
            return;
        m_rate = rate;
        for (Entry& entry : m_entries)
            dropped.push_back(std::move(entry.sound));
        m_entries.clear();
        m_held = 0;
        if (m_current)
            m_cancel = true;
        startLocked();
    }
    m_wake.notify_one();
}

void StretchedSounds::keepRendered(const std::vector<SoundRender>& wanted)
{
    Dropped dropped;
    {
        std::lock_guard lock(m_mutex);
        m_wanted = wanted;
        for (auto entry = m_entries.begin(); entry != m_entries.end();) {
            if (wantedLocked(entry->render)) {
                ++entry;
                continue;
            }
            eraseLocked(entry, dropped);
            entry = m_entries.begin(); // erasing moved the others
        }
        if (m_current && !wantedLocked(*m_current))
            m_cancel = true;
        startLocked();
    }
    m_wake.notify_one();
}

StretchedSounds::Found StretchedSounds::find(const SoundRender& render)
{
    Found found;
    Dropped dropped;
    const std::optional<FileStamp> stamp = FileStamp::of(render.path);
    std::lock_guard lock(m_mutex);
    const auto entry = entryLocked(render);
    if (!stamp) {
        // The file went: its render goes too (the worker finds it missing, if it is wanted).
        found.state = State::NotRenderable;
        if (entry != m_entries.end() && entry->sound)
            eraseLocked(entry, dropped);
        return found;
    }
    if (entry == m_entries.end())
        return found;
    if (entry->stamp != *stamp) {
        // The file changed since: the worker renders it again (if it is wanted).
        eraseLocked(entry, dropped);
        m_wake.notify_one();
        return found;
    }
    found.state = entry->state;
    found.sound = entry->sound;
    return found;
}

void StretchedSounds::setReadyListener(std::function<void()> listener)
{
    // Waits for a call under way: once this returns, the old listener is never called again,
    // so its owner may go.
    std::lock_guard lock(m_listenerMutex);
    m_listener = std::move(listener);
}

bool StretchedSounds::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_current.has_value() || nextLocked() != nullptr;
}

std::size_t StretchedSounds::bytesHeld() const
{
    std::lock_guard lock(m_mutex);
    return m_held;
}

std::vector<StretchedSounds::Entry>::iterator
StretchedSounds::entryLocked(const SoundRender& render)
{
    return std::find_if(m_entries.begin(), m_entries.end(),
                        [&](const Entry& entry) { return entry.render == render; });
}

bool StretchedSounds::wantedLocked(const SoundRender& render) const
{
    return std::find(m_wanted.begin(), m_wanted.end(), render) != m_wanted.end();
}

const SoundRender* StretchedSounds::nextLocked() const
{
    if (m_rate <= 0)
        return nullptr; // asked again once the engine's rate is known
    for (const SoundRender& render : m_wanted) {
        const bool held = std::any_of(m_entries.begin(), m_entries.end(),
                                      [&](const Entry& entry) { return entry.render == render; });
        if (!held && !render.path.empty())
            return &render;
    }
    return nullptr;
}

void StretchedSounds::eraseLocked(std::vector<Entry>::iterator entry, Dropped& dropped)
{
    if (entry->own && entry->sound)
        m_held -= entry->sound->bytesHeld();
    dropped.push_back(std::move(entry->sound));
    m_entries.erase(entry);
}

void StretchedSounds::startLocked()
{
    if (m_worker.joinable() || m_stop || nextLocked() == nullptr)
        return;
    m_worker = std::thread([this] { work(); });
    pthread_setname_np(m_worker.native_handle(), "quendel-stretch"); // for top and perf
}

void StretchedSounds::work()
{
    YieldToEveryOtherThread();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || nextLocked() != nullptr; });
        if (m_stop)
            return;
        const SoundRender wanted = *nextLocked();
        const int rate = m_rate;
        m_current = wanted;
        m_cancel = false;
        lock.unlock();

        Entry entry = render(wanted, rate);

        lock.lock();
        // A render cancelled, of another rate, or no longer wanted is thrown away; one wanted
        // again since is rendered anew at the next turn.
        const bool keep = !m_cancel && !m_stop && rate == m_rate && wantedLocked(wanted) &&
                          entryLocked(wanted) == m_entries.end() && entry.state != State::NotReady;
        if (keep) {
            if (entry.own)
                m_held += entry.sound->bytesHeld();
            m_entries.push_back(std::move(entry));
        }
        // What is not kept is freed here, on the worker, without holding up the UI thread.
        lock.unlock();
        if (!keep)
            entry.sound.reset();
        // Still busy while the listener runs: whoever waits for the worker to settle has heard
        // of every finished render by then.
        if (keep) {
            std::lock_guard told(m_listenerMutex);
            if (m_listener)
                m_listener();
        }
        lock.lock();
        m_current.reset();
    }
}

StretchedSounds::Entry StretchedSounds::render(const SoundRender& wanted, int rate)
{
    Entry entry;
    entry.render = wanted;
    entry.state = State::NotRenderable;
    // The stamp is taken before the read: should the file change meanwhile, the next press sees
    // a newer stamp and does not take what was rendered.
    const std::optional<FileStamp> stamp = FileStamp::of(wanted.path);
    if (!stamp)
        return entry;
    entry.stamp = *stamp;
    std::shared_ptr<const SampleBuffer> sound = source(wanted.path, *stamp, rate);
    if (!sound)
        return entry;
    const double frames = static_cast<double>(sound->frames());
    const bool asRecorded =
        (wanted.cycleFrames == 0.0 || wanted.cycleFrames == frames) && wanted.pitchScale == 1.0;
    if (asRecorded) {
        entry.state = State::Ready;
        entry.sound = std::move(sound);
        return entry;
    }
    const double cycle = wanted.cycleFrames > 0.0 ? wanted.cycleFrames : frames;
    entry.sound = RenderStretched(*sound, cycle, wanted.pitchScale, true, &m_cancel, rate);
    if (!entry.sound) {
        // Cancelled (thrown away) or nothing to stretch.
        entry.state = m_cancel ? State::NotReady : State::NotRenderable;
        return entry;
    }
    entry.state = State::Ready;
    entry.own = true;
    return entry;
}

std::shared_ptr<const SampleBuffer> StretchedSounds::source(const std::string& path,
                                                            const FileStamp& stamp, int rate)
{
    if (m_sources.rate() == rate) {
        ReadySounds::Found found = m_sources.find(path);
        switch (found.state) {
        case ReadySounds::State::Ready:
            if (found.stamp == stamp)
                return std::move(found.sound);
            break;
        case ReadySounds::State::TooLarge:
        case ReadySounds::State::Failed:
            return nullptr;
        case ReadySounds::State::NotReady:
            break;
        }
    }
    // Not decoded there yet: decoded here, under the same limit, and handed over so that both
    // share the one buffer.
    std::shared_ptr<const SampleBuffer> sound;
    if (decodeSample(path, rate, m_sources.sizeLimit(), sound) != DecodeResult::Ok)
        return nullptr;
    if (m_sources.rate() == rate)
        m_sources.keep(path, stamp, sound);
    return sound;
}
