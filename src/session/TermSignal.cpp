// SPDX-License-Identifier: GPL-3.0-or-later
#include "TermSignal.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Read by the handler, which may touch nothing but this and write().
std::atomic<int> g_wakeFd{-1};
struct sigaction g_before {};

extern "C" void onTermSignal(int)
{
    const int savedErrno = errno;
    const int fd = g_wakeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
    }
    errno = savedErrno;
}
} // namespace

TermSignal::TermSignal(std::function<void()> onTerm, QObject* parent)
    : QObject(parent), m_onTerm(std::move(onTerm))
{
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        std::perror("quendel: SIGTERM stays as it is");
        return;
    }
    int expected = -1;
    if (!g_wakeFd.compare_exchange_strong(expected, fd)) {
        close(fd); // another one is in place already
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this, fd] {
        std::uint64_t count = 0;
        if (read(fd, &count, sizeof count) == sizeof count && m_onTerm)
            m_onTerm();
    });
    struct sigaction action {};
    action.sa_handler = onTermSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = sigaction(SIGTERM, &action, &g_before) == 0;
    if (!m_installed) {
        std::perror("quendel: SIGTERM stays as it is");
        m_notifier.reset();
        g_wakeFd.store(-1);
        close(fd);
    }
}

TermSignal::~TermSignal()
{
    if (!m_installed)
        return;
    sigaction(SIGTERM, &g_before, nullptr);
    const int fd = g_wakeFd.exchange(-1);
    m_notifier.reset();
    close(fd);
}
