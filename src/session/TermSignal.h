// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

// A session manager ends its programs with SIGTERM. While one of these lives, SIGTERM does not
// kill Quendel on the spot: the handler only writes to an eventfd, and the event loop, seeing it
// readable, calls onTerm, which ends the program as closing the bar does. One at a time; the
// handler that was there before comes back when it goes.
class TermSignal : public QObject {
    Q_OBJECT
public:
    explicit TermSignal(std::function<void()> onTerm, QObject* parent = nullptr);
    ~TermSignal() override;
    TermSignal(const TermSignal&) = delete;
    TermSignal& operator=(const TermSignal&) = delete;

    // False when the handler could not be put in place (SIGTERM then ends the program at once).
    bool isInstalled() const { return m_installed; }

private:
    std::function<void()> m_onTerm;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};
