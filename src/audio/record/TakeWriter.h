// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MonoRing;
class SampleBuffer;
struct sf_private_tag;

// The disk side of recording a loop. The audio thread puts the take's frames (mono float at the
// engine's rate) into a MonoRing and never waits; a writer thread of this class drains that ring
// into "Take N.wav" in the musician's folder, 32-bit float so that the take holds exactly what
// was heard. The header is brought up to date every quarter of a second of audio, so a file
// found after a crash still opens, holding nearly all of what was played.
//
// An overdub writes the loop as it plays (interleaved stereo at the same rate) plus the input
// on both sides, in a stereo file; past the loop's end the input plays alone. Without a loop
// underneath the file is mono.
//
// A write the disk refuses (full, file size limit, I/O error) ends the take: the file is closed
// as a valid WAV holding every frame written before the failure, and kept.
//
// Threads: start() belongs to the thread that owns the writer; finish(), stop(), status() and
// waitClosed() may be called from any thread. The ring must outlive the take (until the
// state is Finished or Failed, or the writer is destroyed), and nobody else reads from it.
class TakeWriter {
public:
    enum class State { Idle, Writing, Finished, Failed };
    struct Status {
        State state = State::Idle;
        std::int64_t framesWritten = 0; // in the file, including any silence below
        // Frames the ring could not hold because the disk fell behind. They are written as
        // silence near where the writer noticed them, so the take keeps its length.
        std::int64_t framesLost = 0;
        std::string error; // what went wrong, for the musician, when the state is Failed
    };

    TakeWriter();
    // Stops the take as stop() does and waits for the file to be closed.
    ~TakeWriter();
    TakeWriter(const TakeWriter&) = delete;
    TakeWriter& operator=(const TakeWriter&) = delete;

    // Creates the lowest free "Take N.wav" in `folder`, exclusively (a file that appears
    // meanwhile, even a link, is never written over: the next N is tried), and starts draining
    // `source` into it. The take begins with what the ring holds now. A take still being
    // written is stopped first. False, with the state Failed and a message naming the folder,
    // when no file can be made.
    bool start(const std::string& folder, int rate, MonoRing& source,
               std::shared_ptr<const SampleBuffer> base = nullptr);
    // The take is whole at `frames` frames: the writer waits for the ring to deliver them,
    // writes exactly that many (a file already longer is cut back) and closes the file.
    void finish(std::int64_t frames);
    // The input was lost, or the musician gave up: what the ring already holds is written and
    // the file closed.
    void stop();
    // Blocks until the file is closed (Finished or Failed) or `limit` has passed; true when
    // closed, or when no take was started.
    bool waitClosed(std::chrono::milliseconds limit) const;

    Status status() const;
    // The file's full path and name once start() succeeded; read them on the owner's thread.
    const std::string& path() const { return m_path; }
    std::string fileName() const;

private:
    struct FileIo;
    void stopAndJoin();
    void run(std::size_t droppedAtStart);
    // Frames `at` onwards of the take, from `input` (and the loop underneath, if any).
    bool writeFrames(const float* input, std::int64_t at, std::int64_t frames);
    // Leaves `keep` of the `written` frames in the file, closes it and tells how it ended.
    void closeFile(std::int64_t keep, std::int64_t written, std::int64_t lost);
    void publish(std::int64_t written, std::int64_t lost);
    std::string failureText(int error, std::int64_t frames) const;

    std::string m_path;
    std::string m_name;
    int m_rate = 0;
    MonoRing* m_source = nullptr;
    std::shared_ptr<const SampleBuffer> m_base;
    std::vector<float> m_mixed; // an overdub's stereo frames on their way to the file
    std::unique_ptr<FileIo> m_io;
    sf_private_tag* m_file = nullptr;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;           // requests for the writer thread
    mutable std::condition_variable m_closed; // the writer thread is done with the file
    Status m_status;
    std::uint64_t m_requests = 0; // bumped with every finish() and stop()
    std::int64_t m_finishAt = -1; // the take's length once known
    bool m_stopNow = false;
};

// The name start() would give a take in `folder` now, for display; "" when the folder is
// missing.
std::string NextTakeName(const std::string& folder);
