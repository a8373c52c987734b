// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoudnessSettings.h"
#include "TempoSettings.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// Listens to the files bound to pads, on a worker thread of its own, one file at a time: a beat
// tracker finds the tempo of those whose tempo is not known yet (fitted to a whole number of
// bars), and a loudness meter measures those not measured yet. One reading of a file serves
// both. What it finds is told on the UI thread.
class TempoScout : public QObject {
    Q_OBJECT
public:
    // Files longer than this are not listened to (a long track has no loop tempo to find).
    static constexpr double kMaxSeconds = 600.0;
    // How much of a file the beat tracker hears.
    static constexpr double kListenSeconds = 60.0;

    TempoScout();
    ~TempoScout() override; // stops after the file under way

    // Asks for the tempo (and with `loudness` also the loudness) of `path`, bound to `pad` as
    // `fileName`; a newer request for the same pad replaces an older one that has not started,
    // taking on what it asked for when it is for the same file.
    void find(int pad, const QString& fileName, const std::string& path, bool loudness = false);
    // Asks for the loudness of `path` only.
    void measure(int pad, const QString& fileName, const std::string& path);
    // Requests wait or a file is being listened to (its verdict may still be on its way to the
    // UI thread).
    bool busy() const;

    // The beat tracker's verdict on a file (on the calling thread): a tempo with its bars, or
    // no tempo (silence, a drone, a file that does not open).
    static PadTempo Listen(const std::string& path);
    // What one reading of a file tells: its tempo and its loudness, each only when asked.
    struct Heard {
        std::optional<PadTempo> tempo;
        std::optional<PadLoudness> loudness;
    };
    static Heard Hear(const std::string& path, bool tempo, bool loudness);
    // How long a file lasts by its header, in seconds; 0 when it does not open.
    static double LoopSeconds(const std::string& path);

signals:
    void found(int pad, const QString& fileName, const PadTempo& tempo);
    void measured(int pad, const QString& fileName, const PadLoudness& loudness);

private:
    struct Request {
        int pad;
        QString fileName;
        std::string path;
        bool tempo = true;
        bool loudness = false;
    };
    void ask(Request request);
    void work();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_requests;
    bool m_listening = false;
    bool m_stop = false;
    std::thread m_worker; // started with the first request
};
