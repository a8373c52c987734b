// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// What came of bringing a list of files into the Sounds folder.
struct ImportOutcome {
    QStringList names;    // bare names in Sounds of the files that came in, in the order given
    QStringList problems; // one line per file that did not, saying why
};

// Brings dropped files into the Sounds folder without ever holding up the pads or the windows:
// checks, comparisons and copies all run on one worker thread, one request after the other, so
// no two copies race for a name. The results come back on the thread of the requester.
class SoundImporter {
public:
    // A copy that runs longer than this shows how far it is.
    static constexpr int kProgressDelayMs = 500;

    using Progress = std::function<void(const QString& text)>;
    using Done = std::function<void(const ImportOutcome& outcome)>;

    // The program's one importer.
    static SoundImporter& shared();
    SoundImporter() = default;
    ~SoundImporter(); // abandons a copy under way (its part file goes) and waits for the worker
    SoundImporter(const SoundImporter&) = delete;
    SoundImporter& operator=(const SoundImporter&) = delete;

    // Brings the files at paths into soundsFolder (see SoundImport::PlaceInFolder); a file is
    // taken only when it is a sound file that the engine decodes. progress gets lines such as
    // "Copying Drums.wav … 42 %", done the outcome once every file is dealt with. Both run in
    // context's thread through its event loop, and not at all once context is gone.
    void import(const QStringList& paths, const QString& soundsFolder, QObject* context,
                Progress progress, Done done);
    // Nothing waits and nothing runs.
    bool idle() const;

    // The line progress shows.
    static QString ProgressText(const QString& fileName, int percent);

    // For tests: copies in chunks of chunkBytes (0: the usual size), progress shown after
    // progressDelayMs (-1: the usual delay), and beforeChunk called on the worker before every
    // chunk is read, so a test can hold a copy at a chunk of its choice.
    struct TestHooks {
        qint64 chunkBytes = 0;
        int progressDelayMs = -1;
        std::function<void()> beforeChunk;
    };
    void setTestHooks(TestHooks hooks);

private:
    struct Request {
        QStringList paths;
        QString soundsFolder;
        QPointer<QObject> context;
        Progress progress;
        Done done;
    };
    void run();
    ImportOutcome process(const Request& request, const TestHooks& hooks);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_requests;
    bool m_running = false;
    TestHooks m_hooks;
    std::atomic<bool> m_stopping{false};
    std::thread m_worker; // started by the first request
};
