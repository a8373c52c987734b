// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;
class QWidget;

// One Quendel per user. The copy that runs holds a lock in the user's private folder and listens
// on a local socket beside it; a later start, say from a launcher, finds the lock taken, asks the
// running copy to show its bar and ends, so the click is never silently lost.
class RunningCopy {
public:
    // privateFolder: the user's private temporary folder, ending in a separator; empty when none
    // could be trusted (then every start runs on its own). name: the lock's and socket's name;
    // under a session manager each session has its own (SessionCopyName), so one Quendel runs
    // per session and one outside any.
    explicit RunningCopy(const QString& privateFolder,
                         const QString& name = QStringLiteral("quendel"));
    ~RunningCopy();
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    // True when this start may go on: it now holds the lock, or there is no lock to be had.
    // False when another copy runs. A lock left by a copy that crashed is taken over.
    bool claim();

    // The copy that runs: later starts that ask are answered by calling onShow. A socket left
    // behind by a crashed copy is removed first, but only while this copy holds the lock, so a
    // living copy's socket is never taken away. False when no socket could be opened.
    bool listen(std::function<void()> onShow);

    // A later start: asks the running copy to show its bar. True when the request was delivered
    // to a listening copy.
    bool askToShow() const;

    QString socketPath() const;

private:
    void serve(QLocalSocket* client);

    QString m_folder;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    bool m_holdsLock = false;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_onShow;
};

// Shows a window un-minimised, in front of the others and active: what a second start asks of
// the bar.
void ShowRaised(QWidget& window);
