// SPDX-License-Identifier: GPL-3.0-or-later
#include "TakeWriter.h"

#include "audio/sounds/SampleBuffer.h"
#include "io/MonoRing.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kChunkFrames = 4096;
// The audio thread cannot wake the writer (it never touches a lock), so the writer looks at the
// ring this often; a ring of a second or more has room for hundreds of these pauses.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr int kMostTakes = 100000;
constexpr std::int64_t kOpenEnded = std::numeric_limits<std::int64_t>::max();

std::string TakeName(int n)
{
    return "Take " + std::to_string(n) + ".wav";
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    return (std::filesystem::path(folder) / name).string();
}

std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// A file size limit (ulimit -f) would otherwise end the whole program the moment a take reached
// it; ignored, the write fails with EFBIG and the take is closed like any refused write. A
// handler someone else installed is left alone.
void KeepFileSizeLimitFromKilling()
{
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

// libsndfile writes the take through these callbacks on the descriptor opened exclusively in
// start(). They keep the position and length themselves and write with pwrite, so that a write
// the disk refuses can be undone whole: libsndfile's count of frames then always matches the
// file, and the header it writes on closing describes exactly the frames that are there.
struct TakeWriter::FileIo {
    int fd = -1;
    sf_count_t position = 0;
    sf_count_t length = 0;
    sf_count_t dataStart = 0; // where the first frame lies, once the header is written
    int error = 0;            // errno of the first write the disk refused

    static FileIo& of(void* user) { return *static_cast<FileIo*>(user); }
    static sf_count_t lengthOf(void* user) { return of(user).length; }
    static sf_count_t tell(void* user) { return of(user).position; }
    static sf_count_t seek(sf_count_t offset, int whence, void* user)
    {
        FileIo& io = of(user);
        const sf_count_t from = whence == SEEK_CUR   ? io.position
                                : whence == SEEK_END ? io.length
                                                     : 0;
        if (from + offset < 0)
            return -1;
        io.position = from + offset;
        return io.position;
    }
    static sf_count_t read(void* data, sf_count_t bytes, void* user)
    {
        FileIo& io = of(user);
        const ssize_t got = ::pread(io.fd, data, static_cast<size_t>(bytes), io.position);
        if (got <= 0)
            return 0;
        io.position += got;
        return got;
    }
    static sf_count_t write(const void* data, sf_count_t bytes, void* user)
    {
        FileIo& io = of(user);
        const auto* from = static_cast<const char*>(data);
        sf_count_t done = 0;
        while (done < bytes) {
            const ssize_t put =
                ::pwrite(io.fd, from + done, static_cast<size_t>(bytes - done), io.position + done);
            if (put > 0) {
                done += put;
                continue;
            }
            if (put < 0 && errno == EINTR)
                continue;
            if (io.error == 0)
                io.error = put < 0 ? errno : EIO;
            // A refused write leaves nothing of itself behind, so the file never ends in a
            // fraction of a frame.
            const sf_count_t keep = std::max(io.position, io.length);
            if (io.position + done > keep && ::ftruncate(io.fd, keep) != 0)
                io.length = io.position + done;
            return 0;
        }
        io.position += done;
        io.length = std::max(io.length, io.position);
        return done;
    }
};

TakeWriter::TakeWriter() = default;

TakeWriter::~TakeWriter()
{
    stopAndJoin();
}

void TakeWriter::stopAndJoin()
{
    stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool TakeWriter::start(const std::string& folder, int rate, MonoRing& source,
                       std::shared_ptr<const SampleBuffer> base)
{
    stopAndJoin();
    KeepFileSizeLimitFromKilling();
    {
        std::lock_guard lock(m_mutex);
        m_status = Status{};
        m_finishAt = -1;
        m_stopNow = false;
    }
    m_path.clear();
    m_name.clear();
    m_rate = rate;
    m_source = &source;
    // The previous take's loop is let go here, on the owner's thread, never on the writer's.
    m_base = std::move(base);
    m_mixed.assign(m_base ? kChunkFrames * 2 : 0, 0.0f);
    m_io = std::make_unique<FileIo>();

    const auto fail = [&](const std::string& why) {
        std::lock_guard lock(m_mutex);
        m_status.state = State::Failed;
        m_status.error = "Cannot write a take in " + folder + ": " + why;
        return false;
    };
    std::string name;
    for (int n = 1; m_io->fd < 0; ++n) {
        if (n > kMostTakes)
            return fail("every name up to " + TakeName(kMostTakes) + " is taken");
        name = TakeName(n);
        m_io->fd =
            ::open(InFolder(folder, name).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_io->fd < 0 && errno != EEXIST)
            return fail(ErrorText(errno));
    }
    const std::string path = InFolder(folder, name);

    static SF_VIRTUAL_IO takeIo{&FileIo::lengthOf, &FileIo::seek, &FileIo::read, &FileIo::write,
                                &FileIo::tell};
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = m_base ? 2 : 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    m_file = sf_open_virtual(&takeIo, SFM_WRITE, &info, m_io.get());
    if (m_file == nullptr) {
        const std::string why = m_io->error != 0 ? ErrorText(m_io->error) : sf_strerror(nullptr);
        // Nothing was recorded into it, and nobody else can have opened it yet.
        ::close(m_io->fd);
        ::unlink(path.c_str());
        return fail(why);
    }
    m_io->dataStart = m_io->length;
    m_path = path;
    m_name = name;
    {
        std::lock_guard lock(m_mutex);
        m_status.state = State::Writing;
    }
    m_thread = std::thread(&TakeWriter::run, this, source.dropped());
    return true;
}

void TakeWriter::finish(std::int64_t frames)
{
    {
        std::lock_guard lock(m_mutex);
        m_finishAt = std::max<std::int64_t>(frames, 0);
        ++m_requests;
    }
    m_wake.notify_one();
}

void TakeWriter::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopNow = true;
        ++m_requests;
    }
    m_wake.notify_one();
}

bool TakeWriter::waitClosed(std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_mutex);
    return m_closed.wait_for(lock, limit, [&] { return m_status.state != State::Writing; });
}

TakeWriter::Status TakeWriter::status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

std::string TakeWriter::fileName() const
{
    return m_name;
}

void TakeWriter::run(std::size_t droppedAtStart)
{
    MonoRing& ring = *m_source;
    std::vector<float> input(kChunkFrames);
    std::int64_t written = 0;
    std::int64_t lost = 0;
    std::int64_t sinceHeader = 0;
    std::size_t droppedSeen = droppedAtStart;
    std::uint64_t requestsSeen = 0;
    std::int64_t finishAt = kOpenEnded;
    std::int64_t stopAt = kOpenEnded;
    bool failed = false;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, kPollInterval, [&] { return m_requests != requestsSeen; });
            requestsSeen = m_requests;
            if (m_finishAt >= 0)
                finishAt = m_finishAt;
            // Stopping takes what the ring holds at this moment, and nothing that comes later.
            if (m_stopNow && stopAt == kOpenEnded)
                stopAt = written + static_cast<std::int64_t>(ring.readable() +
                                                             (ring.dropped() - droppedSeen));
        }
        const std::int64_t end = std::min(finishAt, stopAt);
        while (written < end) {
            const auto room = static_cast<std::size_t>(
                std::min<std::int64_t>(end - written, static_cast<std::int64_t>(kChunkFrames)));
            std::size_t frames = ring.read(input.data(), room);
            if (frames == 0) {
                // Frames the ring had no room for (the disk fell behind): silence in their
                // place keeps every later frame, and the take's length, where it belongs.
                const std::size_t dropped = ring.dropped();
                if (dropped == droppedSeen)
                    break;
                frames = std::min(room, dropped - droppedSeen);
                std::fill_n(input.begin(), frames, 0.0f);
                droppedSeen += frames;
                lost += static_cast<std::int64_t>(frames);
            }
            if (!writeFrames(input.data(), written, static_cast<std::int64_t>(frames))) {
                failed = true;
                break;
            }
            written += static_cast<std::int64_t>(frames);
            sinceHeader += static_cast<std::int64_t>(frames);
            if (sinceHeader >= m_rate / 4) {
                sf_command(m_file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
                sinceHeader = 0;
                if (m_io->error != 0) {
                    failed = true;
                    break;
                }
            }
            publish(written, lost);
        }
        if (failed || written >= end)
            break;
    }
    if (failed && m_io->error == 0)
        m_io->error = EIO;
    closeFile(failed ? written : std::min(written, finishAt), written, lost);
}

bool TakeWriter::writeFrames(const float* input, std::int64_t at, std::int64_t frames)
{
    if (!m_base)
        return sf_writef_float(m_file, input, frames) == frames;
    // The loop as it plays, with the input on both sides; past the loop's end the input alone.
    float* mixed = m_mixed.data();
    const auto loopFrames = static_cast<std::int64_t>(m_base->frames());
    const float* loop = m_base->data();
    for (std::int64_t i = 0; i < frames; ++i) {
        const std::int64_t frame = at + i;
        const float left = frame < loopFrames ? loop[2 * frame] : 0.0f;
        const float right = frame < loopFrames ? loop[2 * frame + 1] : 0.0f;
        mixed[2 * i] = left + input[i];
        mixed[2 * i + 1] = right + input[i];
    }
    return sf_writef_float(m_file, mixed, frames) == frames;
}

void TakeWriter::closeFile(std::int64_t keep, std::int64_t written, std::int64_t lost)
{
    if (keep < written) {
        // The take was whole before the last frames the ring delivered: libsndfile is told the
        // shorter length (it cannot cut a file it reaches through callbacks) and the file is
        // cut to match, so the header and the data agree.
        sf_count_t frames = keep;
        sf_command(m_file, SFC_FILE_TRUNCATE, &frames, sizeof frames);
        const sf_count_t cut =
            m_io->dataStart + keep * (m_base ? 2 : 1) * static_cast<sf_count_t>(sizeof(float));
        if (::ftruncate(m_io->fd, cut) == 0)
            m_io->length = cut;
        written = keep;
    }
    sf_close(m_file);
    m_file = nullptr;
    if (::close(m_io->fd) != 0 && m_io->error == 0)
        m_io->error = errno;
    m_io->fd = -1;
    publish(written, lost);
    std::lock_guard lock(m_mutex);
    if (m_io->error != 0) {
        m_status.state = State::Failed;
        m_status.error = failureText(m_io->error, written);
    } else {
        m_status.state = State::Finished;
    }
    m_closed.notify_all();
}

void TakeWriter::publish(std::int64_t written, std::int64_t lost)
{
    std::lock_guard lock(m_mutex);
    m_status.framesWritten = written;
    m_status.framesLost = lost;
}

std::string TakeWriter::failureText(int error, std::int64_t frames) const
{
    std::string kept = m_name + " holds no sound";
    if (frames > 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f",
                      static_cast<double>(frames) / std::max(m_rate, 1));
        kept = m_name + " keeps the first " + seconds + " seconds";
    }
    switch (error) {
    case ENOSPC:
        return "The disk is full: " + kept;
    case EDQUOT:
        return "Your share of the disk is used up: " + kept;
    case EFBIG:
        return "The take reached the largest file this system allows: " + kept;
    default:
        return "Writing the take failed (" + ErrorText(error) + "): " + kept;
    }
}

std::string NextTakeName(const std::string& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    for (int n = 1; n <= kMostTakes; ++n) {
        const std::string name = TakeName(n);
        // lstat: a link of that name, even one pointing nowhere, takes the name as well.
        if (::lstat(InFolder(folder, name).c_str(), &st) != 0 && errno == ENOENT)
            return name;
    }
    return {};
}
