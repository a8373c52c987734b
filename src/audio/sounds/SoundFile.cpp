// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundFile.h"

#include "SampleBuffer.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <samplerate.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// libsndfile reads through these callbacks on a descriptor we opened and checked ourselves.
sf_count_t vioLength(void* user)
{
    struct stat st {};
    return fstat(*static_cast<int*>(user), &st) == 0 ? st.st_size : -1;
}

sf_count_t vioSeek(sf_count_t offset, int whence, void* user)
{
    return lseek(*static_cast<int*>(user), offset, whence);
}

sf_count_t vioRead(void* ptr, sf_count_t count, void* user)
{
    const int fd = *static_cast<int*>(user);
    auto* bytes = static_cast<char*>(ptr);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, bytes + done, static_cast<size_t>(count - done));
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

sf_count_t vioWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t vioTell(void* user)
{
    return lseek(*static_cast<int*>(user), 0, SEEK_CUR);
}

SF_VIRTUAL_IO g_vio{vioLength, vioSeek, vioRead, vioWrite, vioTell};

constexpr long kChunkFrames = 16384;

} // namespace

std::unique_ptr<SoundFile> SoundFile::open(const std::string& path)
{
    // Non-blocking so that a FIFO cannot stall the open; only regular files go further.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        ::close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<SoundFile> file(new SoundFile(fd));
    if (!file->openSoundFile())
        return nullptr;
    return file;
}

SoundFile::SoundFile(int fd) : m_fd(fd) {}

SoundFile::~SoundFile()
{
    if (m_file)
        sf_close(m_file);
    ::close(m_fd);
}

bool SoundFile::openSoundFile()
{
    SF_INFO info{};
    m_file = sf_open_virtual(&g_vio, SFM_READ, &info, &m_fd);
    if (!m_file)
        return false;
    if (info.channels < 1 || info.channels > 64 || info.samplerate < 1000 ||
        info.samplerate > 768000)
        return false;
    m_channels = info.channels;
    m_rate = info.samplerate;
    m_framesHint = info.frames;
    m_format = info.format;
    return true;
}

long SoundFile::readStereo(float* out, long frames)
{
    if (frames <= 0)
        return 0;
    if (m_channels == 2)
        return static_cast<long>(sf_readf_float(m_file, out, frames));
    if (m_channels == 1) {
        // Read into the upper half and spread forward: frame i's two outputs land at or below
        // where its mono value sits, and later values lie beyond it.
        float* mono = out + frames;
        const auto got = static_cast<long>(sf_readf_float(m_file, mono, frames));
        for (long i = 0; i < got; ++i) {
            const float v = mono[i];
            out[2 * i] = v;
            out[2 * i + 1] = v;
        }
        return got;
    }
    // More channels: a plain average of the even channels on the left and the odd ones on the
    // right keeps the level in range without knowing the speaker layout.
    const long chunk = std::min(frames, kChunkFrames);
    m_scratch.resize(static_cast<size_t>(chunk * m_channels));
    const auto got = static_cast<long>(sf_readf_float(m_file, m_scratch.data(), chunk));
    const int leftCount = (m_channels + 1) / 2;
    const int rightCount = m_channels / 2;
    for (long i = 0; i < got; ++i) {
        const float* frame = m_scratch.data() + i * m_channels;
        float left = 0.0f;
        float right = 0.0f;
        for (int c = 0; c < m_channels; c += 2)
            left += frame[c];
        for (int c = 1; c < m_channels; c += 2)
            right += frame[c];
        out[2 * i] = left / static_cast<float>(leftCount);
        out[2 * i + 1] = right / static_cast<float>(rightCount);
    }
    return got;
}

bool SoundFile::rewind()
{
    // Compressed decoders carry state across frames (and MP3 trims its encoder delay only at
    // the very start), so a seek back does not give the same frames again: they start afresh.
    const int major = m_format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_MPEG && major != SF_FORMAT_OGG && sf_seek(m_file, 0, SEEK_SET) == 0)
        return true;
    sf_close(m_file);
    m_file = nullptr;
    lseek(m_fd, 0, SEEK_SET);
    return openSoundFile();
}

std::unique_ptr<StreamDecoder> StreamDecoder::open(const std::string& path, int rate, bool loop)
{
    auto file = SoundFile::open(path);
    if (!file || rate <= 0)
        return nullptr;
    std::unique_ptr<StreamDecoder> decoder(new StreamDecoder(std::move(file), rate, loop));
    if (decoder->m_ratio != 1.0 && !decoder->m_converter)
        return nullptr;
    return decoder;
}

StreamDecoder::StreamDecoder(std::unique_ptr<SoundFile> file, int rate, bool loop)
    : m_file(std::move(file)), m_ratio(static_cast<double>(rate) / m_file->rate()), m_loop(loop)
{
    if (m_ratio != 1.0) {
        int error = 0;
        m_converter =
            src_callback_new(&StreamDecoder::supply, SRC_SINC_MEDIUM_QUALITY, 2, &error, this);
        m_input.resize(kChunkFrames * 2);
    }
}

StreamDecoder::~StreamDecoder()
{
    if (m_converter)
        src_delete(m_converter);
}

long StreamDecoder::supply(void* self, float** data)
{
    auto* decoder = static_cast<StreamDecoder*>(self);
    *data = decoder->m_input.data();
    return decoder->readFile(decoder->m_input.data(), kChunkFrames);
}

long StreamDecoder::readFile(float* out, long frames)
{
    long got = m_file->readStereo(out, frames);
    if (got == 0 && m_loop) {
        // Every pass decodes the same frames, so the first one's length places all the seams.
        if (m_passFrames == 0)
            m_passFrames = m_fileFrames;
        if (m_file->rewind())
            got = m_file->readStereo(out, frames);
    }
    m_fileFrames += got;
    return got;
}

long StreamDecoder::read(float* out, long frames)
{
    if (m_ended || frames <= 0)
        return 0;
    long got = 0;
    if (m_converter) {
        got = src_callback_read(m_converter, m_ratio, frames, out);
    } else {
        got = readFile(out, frames);
    }
    if (got <= 0) {
        m_ended = true;
        return 0;
    }
    return got;
}

namespace {

// A growable run of stereo frames without zero-filling what decoding overwrites anyway.
struct FrameStore {
    std::unique_ptr<float[]> data;
    std::size_t capacity = 0; // frames
    std::size_t used = 0;

    void reserve(std::size_t frames)
    {
        if (frames <= capacity)
            return;
        auto bigger = std::make_unique_for_overwrite<float[]>(frames * 2);
        std::copy_n(data.get(), used * 2, bigger.get());
        data = std::move(bigger);
        capacity = frames;
    }
};

} // namespace

bool StreamPlays(const std::string& path, int rate)
{
    auto decoder = StreamDecoder::open(path, rate, false);
    float probe[2 * 64];
    return decoder && decoder->read(probe, 64) > 0;
}

DecodeResult decodeSample(const std::string& path, int rate, std::size_t maxBytes,
                          std::shared_ptr<const SampleBuffer>& out)
{
    out.reset();
    auto decoder = StreamDecoder::open(path, rate, false);
    if (!decoder)
        return DecodeResult::Failed;
    const std::size_t maxFrames = maxBytes / (2 * sizeof(float));
    const double ratio = static_cast<double>(rate) / decoder->file().rate();
    const std::int64_t hint = decoder->file().framesHint();
    FrameStore store;
    if (hint > 0 && hint < (std::int64_t{1} << 40)) {
        const auto expected = static_cast<std::size_t>(static_cast<double>(hint) * ratio) + 1;
        if (expected > maxFrames + 1)
            return DecodeResult::TooLarge;
        store.reserve(expected + (ratio != 1.0 ? 64 : 0));
    }
    float probe[kChunkFrames / 4 * 2];
    for (;;) {
        const std::size_t room = store.capacity - store.used;
        long got = 0;
        if (room > 0) {
            got = decoder->read(store.data.get() + store.used * 2,
                                static_cast<long>(std::min<std::size_t>(room, kChunkFrames)));
        } else {
            // Full (the header was right, or short): a small read shows whether more follows.
            got = decoder->read(probe, kChunkFrames / 4);
            if (got > 0) {
                store.reserve(std::max<std::size_t>(store.capacity + store.capacity / 2,
                                                    store.used + kChunkFrames));
                std::copy_n(probe, got * 2, store.data.get() + store.used * 2);
            }
        }
        if (got <= 0)
            break;
        store.used += static_cast<std::size_t>(got);
        if (store.used > maxFrames)
            return DecodeResult::TooLarge;
    }
    if (store.used == 0)
        return DecodeResult::Failed;
    if (store.capacity > store.used + store.used / 100) {
        auto exact = std::make_unique_for_overwrite<float[]>(store.used * 2);
        std::copy_n(store.data.get(), store.used * 2, exact.get());
        store.data = std::move(exact);
    }
    out = std::make_shared<const SampleBuffer>(std::move(store.data), store.used);
    return DecodeResult::Ok;
}
