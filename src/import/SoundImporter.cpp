// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundImporter.h"

#include "SoundImport.h"
#include "audio/sounds/SoundFile.h"
#include "core/SoundFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

// A file is sound when the engine opens it and gets frames out of it: a header alone (or a
// renamed text file) is not enough.
bool decodes(const QString& path)
{
    const std::unique_ptr<SoundFile> file = SoundFile::open(AudioPath(path));
    if (!file)
        return false;
    float frames[2 * 64];
    return file->readStereo(frames, 64) > 0;
}

// Runs work in context's thread, unless context is gone by the time the event comes.
void post(const QPointer<QObject>& context, std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    QMetaObject::invokeMethod(
        app,
        [context, work = std::move(work)] {
            if (context)
                work();
        },
        Qt::QueuedConnection);
}

} // namespace

SoundImporter& SoundImporter::shared()
{
    static SoundImporter importer;
    return importer;
}

SoundImporter::~SoundImporter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void SoundImporter::import(const QStringList& paths, const QString& soundsFolder, QObject* context,
                           Progress progress, Done done)
{
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(Request{paths, soundsFolder, QPointer<QObject>(context),
                                     std::move(progress), std::move(done)});
        if (!m_worker.joinable())
            m_worker = std::thread([this] { run(); });
    }
    m_wake.notify_one();
}

bool SoundImporter::idle() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.empty() && !m_running;
}

QString SoundImporter::ProgressText(const QString& fileName, int percent)
{
    return QStringLiteral("Copying %1 \u2026 %2 %").arg(fileName).arg(percent);
}

void SoundImporter::setTestHooks(TestHooks hooks)
{
    std::lock_guard lock(m_mutex);
    m_hooks = std::move(hooks);
}

void SoundImporter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_requests.empty(); });
        if (m_stopping)
            return;
        const Request request = std::move(m_requests.front());
        m_requests.pop_front();
        m_running = true;
        const TestHooks hooks = m_hooks;
        lock.unlock();

        const ImportOutcome outcome = process(request, hooks);
        if (!m_stopping)
            post(request.context, [done = request.done, outcome] {
                if (done)
                    done(outcome);
            });

        lock.lock();
        m_running = false;
    }
}

ImportOutcome SoundImporter::process(const Request& request, const TestHooks& hooks)
{
    const int delayMs = hooks.progressDelayMs >= 0 ? hooks.progressDelayMs : kProgressDelayMs;
    const qint64 chunkBytes =
        hooks.chunkBytes > 0 ? hooks.chunkBytes : SoundImport::kDefaultChunkBytes;

    ImportOutcome outcome;
    for (const QString& path : request.paths) {
        if (m_stopping)
            break;
        if (const std::optional<QString> why = SoundImport::Refusal(path, decodes)) {
            outcome.problems << *why;
            continue;
        }

        const QString shown = QFileInfo(path).fileName();
        QElapsedTimer clock;
        clock.start();
        int shownPercent = -1;
        const auto report = [&](qint64 done, qint64 total) {
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
            if (percent != shownPercent && clock.elapsed() >= delayMs) {
                shownPercent = percent;
                post(request.context,
                     [progress = request.progress, text = ProgressText(shown, percent)] {
                         if (progress)
                             progress(text);
                     });
            }
            if (hooks.beforeChunk)
                hooks.beforeChunk();
            return !m_stopping;
        };

        const SoundImport::Placement placed =
            SoundImport::PlaceInFolder(path, request.soundsFolder, report, chunkBytes);
        if (placed.error.isEmpty())
            outcome.names << placed.name;
        else
            outcome.problems << placed.error;
    }
    return outcome;
}
