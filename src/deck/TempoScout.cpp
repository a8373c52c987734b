// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoScout.h"
#include "io/BackgroundWork.h"

#include "audio/sounds/Loudness.h"
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

void TempoScout::find(int pad, const QString& fileName, const std::string& path, bool loudness)
{
    ask({pad, fileName, path, true, loudness});
}

void TempoScout::measure(int pad, const QString& fileName, const std::string& path)
{
    ask({pad, fileName, path, false, true});
}

void TempoScout::ask(Request request)
{
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_requests, [&request](const Request& older) {
            if (older.pad != request.pad)
                return false;
            if (older.fileName == request.fileName) {
                request.tempo = request.tempo || older.tempo;
                request.loudness = request.loudness || older.loudness;
            }
            return true;
        });
        m_requests.push_back(std::move(request));
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
    return Hear(path, true, false).tempo.value_or(PadTempo{PadTempo::Kind::None, 0.0, 0});
}

TempoScout::Heard TempoScout::Hear(const std::string& path, bool tempo, bool loudness)
{
    constexpr PadTempo kNoTempo{PadTempo::Kind::None, 0.0, 0};
    constexpr PadLoudness kNoLoudness{PadLoudness::Kind::None, 0.0, 0.0};
    Heard heard;
    if (tempo)
        heard.tempo = kNoTempo;
    if (loudness)
        heard.loudness = kNoLoudness;
    const std::unique_ptr<SoundFile> file = SoundFile::open(path);
    if (!file || file->rate() <= 0)
        return heard;
    // The tracker hears the first minute (a loop's tempo holds throughout); the whole file is
    // read for its exact length, which the bars are fitted to, and for its loudness.
    const auto heardFrames = static_cast<std::size_t>(kListenSeconds * file->rate());
    const auto limit = static_cast<std::size_t>(kMaxSeconds * file->rate());
    std::optional<LoudnessMeter> meter;
    if (loudness)
        meter.emplace(file->rate());
    std::vector<float> frames;
    std::vector<float> chunk(8192 * 2);
    std::size_t total = 0;
    for (;;) {
        const long got = file->readStereo(chunk.data(), 8192);
        if (got <= 0)
            break;
        const auto count = static_cast<std::size_t>(got);
        if (tempo && total < heardFrames) {
            const std::size_t kept = std::min(count, heardFrames - total);
            frames.insert(frames.end(), chunk.begin(), chunk.begin() + static_cast<long>(kept * 2));
        }
        if (meter)
            meter->add(chunk.data(), count);
        total += count;
        if (total > limit) // a long track: no loop tempo to find, and too long to measure
            return heard;
    }
    if (meter)
        if (const std::optional<Loudness> measured = meter->result())
            heard.loudness = PadLoudness{PadLoudness::Kind::Set, measured->integratedLufs,
                                         measured->truePeakDbtp};
    if (!tempo)
        return heard;
    const std::optional<double> bpm = DetectBpm(frames.data(), frames.size() / 2, file->rate());
    if (!bpm)
        return heard;
    const std::optional<LoopTempo> fitted =
        FitLoopTempo(*bpm, static_cast<double>(total) / file->rate());
    if (fitted && fitted->bars >= 1)
        heard.tempo = PadTempo{PadTempo::Kind::Set, fitted->bpm, fitted->bars};
    return heard;
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
        const Heard heard = Hear(request.path, request.tempo, request.loudness);
        {
            std::lock_guard lock(m_mutex);
            m_listening = false;
        }
        // Told on the UI thread, where the deck stores it.
        QMetaObject::invokeMethod(
            this,
            [this, pad = request.pad, name = request.fileName, heard] {
                if (heard.tempo)
                    emit found(pad, name, *heard.tempo);
                if (heard.loudness)
                    emit measured(pad, name, *heard.loudness);
            },
            Qt::QueuedConnection);
    }
}
