// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadySounds.h"

#include "SampleBuffer.h"
#include "SoundFile.h"

#include <algorithm>
#include <charconv>
#include <pthread.h>
#include <sys/stat.h>

std::optional<FileStamp> FileStamp::of(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.modifiedNs =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return stamp;
}

ReadySounds::ReadySounds() = default;

ReadySounds::~ReadySounds()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::size_t ReadySounds::BudgetFromMegabytes(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    if (first == std::string::npos)
        return kDefaultBudget;
    std::uint64_t megabytes = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const auto [stop, error] = std::from_chars(begin, end, megabytes);
    constexpr std::uint64_t kMostMegabytes = std::uint64_t{1024} * 1024;
    if (error != std::errc() || stop != end || megabytes > kMostMegabytes)
        return kDefaultBudget;
    return static_cast<std::size_t>(megabytes) * 1024 * 1024;
}

void ReadySounds::setRate(int rate)
{
    Dropped dropped;
    {
        std::lock_guard lock(m_mutex);
        if (rate == m_rate)
            return;
        m_rate = rate;
        for (auto& [path, entry] : m_entries)
            dropped.push_back(std::move(entry.sound));
        m_entries.clear();
        m_held = 0;
        m_requests.clear();
        for (auto path = m_kept.rbegin(); path != m_kept.rend(); ++path)
            requestLocked(*path);
    }
    m_wake.notify_one();
}

int ReadySounds::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rate;
}

void ReadySounds::setSizeLimit(std::size_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_sizeLimit = bytes;
}

std::size_t ReadySounds::sizeLimit() const
{
    std::lock_guard lock(m_mutex);
    return m_sizeLimit;
}

void ReadySounds::setBudget(std::size_t bytes)
{
    Dropped dropped;
    std::lock_guard lock(m_mutex);
    m_budget = bytes;
    fitBudgetLocked({}, dropped);
}

std::size_t ReadySounds::budget() const
{
    std::lock_guard lock(m_mutex);
    return m_budget;
}

void ReadySounds::keepReady(const std::vector<std::string>& paths)
{
    {
        std::lock_guard lock(m_mutex);
        m_kept = paths;
        for (auto path = paths.rbegin(); path != paths.rend(); ++path)
            requestLocked(*path);
    }
    m_wake.notify_one();
}

void ReadySounds::prepare(const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        requestLocked(path);
    }
    m_wake.notify_one();
}

void ReadySounds::requestLocked(const std::string& path)
{
    if (m_rate <= 0 || path.empty())
        return; // asked again once the engine's rate is known
    const auto earlier = std::find(m_requests.begin(), m_requests.end(), path);
    if (earlier != m_requests.end())
        m_requests.erase(earlier);
    m_requests.push_front(path);
    if (!m_worker.joinable()) {
        m_worker = std::thread([this] { work(); });
        pthread_setname_np(m_worker.native_handle(), "quendel-ready"); // for top and perf
    }
}

const ReadySounds::Entry* ReadySounds::currentLocked(const std::string& path,
                                                     const FileStamp& stamp) const
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end() || it->second.stamp != stamp || it->second.rate != m_rate)
        return nullptr;
    const Entry& entry = it->second;
    // A verdict reached under a smaller limit than today's is worth another try.
    if (entry.state == State::TooLarge && entry.limit < m_sizeLimit)
        return nullptr;
    return &entry;
}

ReadySounds::Found ReadySounds::find(const std::string& path)
{
    Found found;
    const std::optional<FileStamp> stamp = FileStamp::of(path);
    if (!stamp) {
        found.state = State::Failed;
        return found;
    }
    found.stamp = *stamp;
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(path);
    if (currentLocked(path, *stamp) == nullptr)
        return found;
    Entry& entry = it->second;
    found.state = entry.state;
    if (entry.state == State::Ready) {
        if (entry.sound->bytesHeld() > m_sizeLimit) {
            found.state = State::TooLarge; // the limit was lowered since
        } else {
            entry.lastUse = ++m_clock;
            found.sound = entry.sound;
        }
    }
    return found;
}

void ReadySounds::keep(const std::string& path, const FileStamp& stamp,
                       std::shared_ptr<const SampleBuffer> sound)
{
    if (!sound)
        return;
    Dropped dropped;
    std::lock_guard lock(m_mutex);
    Entry entry;
    entry.stamp = stamp;
    entry.rate = m_rate;
    entry.state = State::Ready;
    entry.sound = std::move(sound);
    storeLocked(path, std::move(entry), dropped);
}

bool ReadySounds::isReady(const std::string& path) const
{
    const std::optional<FileStamp> stamp = FileStamp::of(path);
    if (!stamp)
        return false;
    std::lock_guard lock(m_mutex);
    const Entry* entry = currentLocked(path, *stamp);
    return entry && entry->state == State::Ready;
}

std::size_t ReadySounds::bytesHeld() const
{
    std::lock_guard lock(m_mutex);
    return m_held;
}

bool ReadySounds::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_decoding || !m_requests.empty();
}

void ReadySounds::eraseLocked(const std::string& path, Dropped& dropped)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return;
    if (it->second.sound) {
        m_held -= it->second.sound->bytesHeld();
        dropped.push_back(std::move(it->second.sound));
    }
    m_entries.erase(it);
}

void ReadySounds::storeLocked(const std::string& path, Entry entry, Dropped& dropped)
{
    eraseLocked(path, dropped);
    if (entry.state == State::Ready) {
        const std::size_t bytes = entry.sound->bytesHeld();
        if (bytes > m_budget) {
            // More than the whole budget: it plays from disk, like a file above the limit.
            dropped.push_back(std::move(entry.sound));
            entry.state = State::TooLarge;
            entry.limit = m_sizeLimit;
        } else {
            m_held += bytes;
            entry.lastUse = ++m_clock;
        }
    }
    m_entries.emplace(path, std::move(entry));
    fitBudgetLocked(path, dropped);
}

void ReadySounds::fitBudgetLocked(const std::string& spare, Dropped& dropped)
{
    while (m_held > m_budget) {
        auto oldest = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->second.sound && it->first != spare &&
                (oldest == m_entries.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        if (oldest == m_entries.end())
            break;
        eraseLocked(oldest->first, dropped);
    }
}

void ReadySounds::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_requests.empty(); });
        if (m_stop)
            return;
        const std::string path = std::move(m_requests.front());
        m_requests.pop_front();
        const int rate = m_rate;
        const std::size_t limit = m_sizeLimit;
        m_decoding = true;
        lock.unlock();

        // The stamp is taken before the read: should the file change while it is decoded, the
        // next press sees a newer stamp and does not take what was read.
        const std::optional<FileStamp> stamp = FileStamp::of(path);
        bool current = false;
        if (stamp) {
            lock.lock();
            current = currentLocked(path, *stamp) != nullptr;
            lock.unlock();
        }
        Entry entry;
        if (stamp && !current) {
            entry.stamp = *stamp;
            entry.rate = rate;
            entry.limit = limit;
            switch (decodeSample(path, rate, limit, entry.sound)) {
            case DecodeResult::Ok:
                entry.state = State::Ready;
                break;
            case DecodeResult::TooLarge:
                entry.state = State::TooLarge;
                break;
            case DecodeResult::Failed:
                entry.state = State::Failed;
                break;
            }
        }

        Dropped dropped;
        lock.lock();
        if (!stamp)
            eraseLocked(path, dropped);
        else if (!current && rate == m_rate) // else the rate moved on: it was asked again
            storeLocked(path, std::move(entry), dropped);
        m_decoding = false;
        // What was dropped is freed here, on the worker, without holding up the UI thread.
        lock.unlock();
        dropped.clear();
        entry.sound.reset();
        lock.lock();
    }
}
