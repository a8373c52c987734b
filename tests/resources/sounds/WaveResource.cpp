// SPDX-License-Identifier: GPL-3.0-or-later
#include "WaveResource.h"

#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace {
struct MemoryReader {
    const QByteArray* bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user)
{
    return static_cast<MemoryReader*>(user)->bytes->size();
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    auto* reader = static_cast<MemoryReader*>(user);
    const sf_count_t size = reader->bytes->size();
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = reader->position;
    else if (whence == SEEK_END)
        base = size;
    reader->position = std::clamp<sf_count_t>(base + offset, 0, size);
    return reader->position;
}

sf_count_t memoryRead(void* target, sf_count_t count, void* user)
{
    auto* reader = static_cast<MemoryReader*>(user);
    const sf_count_t available = reader->bytes->size() - reader->position;
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, available);
    std::memcpy(target, reader->bytes->constData() + reader->position, static_cast<size_t>(n));
    reader->position += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t memoryTell(void* user)
{
    return static_cast<MemoryReader*>(user)->position;
}
} // namespace

std::vector<double> WaveData::samples() const
{
    std::vector<double> out(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i)
        out[i] = sample(i);
    return out;
}

QByteArray resourceBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

WaveData decodeWave(const QByteArray& bytes)
{
    WaveData wave;
    MemoryReader reader{&bytes};
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &reader);
    if (file == nullptr)
        return wave;
    wave.format = info.format;
    wave.channels = info.channels;
    wave.sampleRate = info.samplerate;
    if (info.channels == 1 && info.frames > 0) {
        wave.pcm.resize(static_cast<std::size_t>(info.frames));
        wave.readable = sf_readf_short(file, wave.pcm.data(), info.frames) == info.frames;
    }
    sf_close(file);
    return wave;
}
