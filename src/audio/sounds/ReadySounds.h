// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class SampleBuffer;

// What a file on disk is now, as one stat tells it: a file rewritten in place shows another size
// or modification time (to the nanosecond), so a sound decoded before is known to be stale
// without reading the file.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
    // Empty when the path is not a non-empty regular file (nothing there can play).
    static std::optional<FileStamp> of(const std::string& path);
};

// The pads' sounds, decoded ahead of their presses so that a press on a long file starts as soon
// as one on a short loop. Each sound is kept at the engine's rate (at its recorded pitch) under
// its path, and is valid only for the file's size and modification time when it was read and for
// the rate it was decoded at. One worker thread decodes, newest request first; the memory the
// sounds hold stays within a budget, the least recently pressed going first. Files whose decoded
// size is above the per-file limit are not kept (they play from disk).
//
// All calls are for the UI thread except that the worker runs on its own; the audio thread never
// sees this object, only the buffers it hands out. A buffer dropped here while a voice still
// plays it is freed with that voice, which the engine also frees off the audio thread.
class ReadySounds {
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{1024} * 1024 * 1024;

    enum class State {
        NotReady, // not decoded yet (or its file changed since): the worker may be at it
        Ready,
        TooLarge, // above the per-file limit or the whole budget: plays from disk
        Failed,   // missing, empty or not a sound: nothing plays
    };
    struct Found {
        State state = State::NotReady;
        std::shared_ptr<const SampleBuffer> sound; // when Ready
        FileStamp stamp;                           // what the stat found (unless Failed)
    };

    ReadySounds();
    ~ReadySounds(); // waits for a decode under way
    ReadySounds(const ReadySounds&) = delete;
    ReadySounds& operator=(const ReadySounds&) = delete;

    // The engine's rate. Sounds decoded at another rate are dropped, and the kept paths are
    // decoded again at the new one.
    void setRate(int rate);
    int rate() const;
    // Decoded sizes above this many bytes are not kept.
    void setSizeLimit(std::size_t bytes);
    std::size_t sizeLimit() const;
    // At most this many bytes of decoded sound are held; the least recently pressed sounds are
    // dropped to make room.
    void setBudget(std::size_t bytes);
    std::size_t budget() const;
    // The budget a settings value in megabytes gives: a whole number of megabytes (0 keeps
    // nothing ready); anything else, or a value past a terabyte, gives the default.
    static std::size_t BudgetFromMegabytes(const std::string& text);

    // The sounds to have ready (the bound pads): each is decoded unless it is ready already.
    // The first path is decoded first.
    void keepReady(const std::vector<std::string>& paths);
    // Asks the worker to have one sound ready, ahead of every request before it.
    void prepare(const std::string& path);

    // A press: one stat and a look-up, no read. A Ready sound counts as pressed now.
    Found find(const std::string& path);
    // A sound decoded elsewhere (at the engine's rate, from the file as `stamp` found it).
    void keep(const std::string& path, const FileStamp& stamp,
              std::shared_ptr<const SampleBuffer> sound);

    bool isReady(const std::string& path) const;
    std::size_t bytesHeld() const;
    // Requests wait or a decode is under way.
    bool busy() const;

private:
    struct Entry {
        FileStamp stamp;
        int rate = 0;
        State state = State::NotReady;
        std::size_t limit = 0; // the per-file limit a TooLarge verdict was reached under
        std::shared_ptr<const SampleBuffer> sound;
        std::uint64_t lastUse = 0;
    };
    using Dropped = std::vector<std::shared_ptr<const SampleBuffer>>;

    // The entry for `path` when it still describes the file as `stamp` shows it at this rate.
    const Entry* currentLocked(const std::string& path, const FileStamp& stamp) const;
    void requestLocked(const std::string& path);
    void storeLocked(const std::string& path, Entry entry, Dropped& dropped);
    void eraseLocked(const std::string& path, Dropped& dropped);
    void fitBudgetLocked(const std::string& spare, Dropped& dropped);
    void work();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_requests;
    std::unordered_map<std::string, Entry> m_entries;
    std::vector<std::string> m_kept;
    int m_rate = 0;
    std::size_t m_sizeLimit = 0; // the engine's, which it hands over at once
    std::size_t m_budget = kDefaultBudget;
    std::size_t m_held = 0;
    std::uint64_t m_clock = 0;
    bool m_decoding = false;
    bool m_stop = false;
    std::thread m_worker; // started with the first request
};
