// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoScout.h"
#include "io/BackgroundWork.h"

#include "audio/sounds/SoundFile.h"
#include "audio/tempo/TempoDetect.h"
#include "audio/tempo/TempoFit.h"

#include <QMetaObject>

#include <algorithm>
#include <vector>

TempoScout::TempoScout() = default;

TempoScout::~TempoScout()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_requests.clear();
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void TempoScout::find(int pad, const QString& fileName, const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_requests, [pad](const Request& request) { return request.pad == pad; });
        m_requests.push_back({pad, fileName, path});
        if (!m_worker.joinable())
            m_worker = std::thread([this] { work(); });
    }
    m_wake.notify_one();
}

bool TempoScout::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_listening || !m_requests.empty();
}

PadTempo TempoScout::Listen(const std::string& path)
{
    const std::unique_ptr<SoundFile> file = SoundFile::open(path);
    if (!file || file->rate() <= 0)
        return {PadTempo::Kind::None, 0.0, 0};
    // The tracker hears the first minute (a loop's tempo holds throughout); the whole file is
    // read for its exact length, which the bars are fitted to.
    const auto heard = static_cast<std::size_t>(kListenSeconds * file->rate());
    const auto limit = static_cast<std::size_t>(kMaxSeconds * file->rate());
    std::vector<float> frames;
    std::vector<float> chunk(8192 * 2);
    std::size_t total = 0;
    for (;;) {
        const long got = file->readStereo(chunk.data(), 8192);
        if (got <= 0)
            break;
        const auto count = static_cast<std::size_t>(got);
        if (total < heard) {
            const std::size_t kept = std::min(count, heard - total);
            frames.insert(frames.end(), chunk.begin(), chunk.begin() + static_cast<long>(kept * 2));
        }
        total += count;
        if (total > limit)
            return {PadTempo::Kind::None, 0.0, 0};
    }
    const std::optional<double> bpm = DetectBpm(frames.data(), frames.size() / 2, file->rate());
    if (!bpm)
        return {PadTempo::Kind::None, 0.0, 0};
    const std::optional<LoopTempo> tempo =
        FitLoopTempo(*bpm, static_cast<double>(total) / file->rate());
    if (!tempo || tempo->bars < 1)
        return {PadTempo::Kind::None, 0.0, 0};
    return {PadTempo::Kind::Set, tempo->bpm, tempo->bars};
}

double TempoScout::LoopSeconds(const std::string& path)
{
    const std::unique_ptr<SoundFile> file = SoundFile::open(path);
    if (!file || file->rate() <= 0 || file->framesHint() <= 0)
        return 0.0;
    return static_cast<double>(file->framesHint()) / file->rate();
}

void TempoScout::work()
{
    YieldToEveryOtherThread();
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_requests.empty(); });
            if (m_stop)
                return;
            request = std::move(m_requests.front());
            m_requests.pop_front();
            m_listening = true;
        }
        const PadTempo tempo = Listen(request.path);
        {
            std::lock_guard lock(m_mutex);
            m_listening = false;
        }
        // Told on the UI thread, where the deck stores it.
        QMetaObject::invokeMethod(
            this,
            [this, pad = request.pad, name = request.fileName, tempo] {
                emit found(pad, name, tempo);
            },
            Qt::QueuedConnection);
    }
}
