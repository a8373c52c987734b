// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/TermSignal.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

void (*termHandler())(int)
{
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    return now.sa_handler;
}

TEST(TermSignal, SigtermEndsTheEventLoopInsteadOfTheProcessOnlyWhileInPlace)
{
    const auto before = termHandler();
    {
        QEventLoop loop;
        int ends = 0;
        TermSignal term([&] {
            ++ends;
            loop.exit(7);
        });
        ASSERT_TRUE(term.isInstalled());
        // Only one at a time: a second one leaves the first in place.
        const TermSignal second([] {});
        EXPECT_FALSE(second.isInstalled());

        ASSERT_EQ(std::raise(SIGTERM), 0); // the handler only wakes the loop: the test lives on
        QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
        EXPECT_EQ(loop.exec(), 7);
        EXPECT_EQ(ends, 1);
    }
    EXPECT_EQ(termHandler(), before);
}

} // namespace
