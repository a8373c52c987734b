// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/RunningCopy.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class RunningCopyTest : public ::testing::Test {
protected:
    QString folder() const { return m_dir.path() + u'/'; }
    QTemporaryDir m_dir;
};

TEST_F(RunningCopyTest, NoCopyListeningMeansNoRequestIsDelivered)
{
    RunningCopy lone(folder());
    EXPECT_FALSE(lone.askToShow());
    // Without a trustworthy private folder every start runs on its own and asks nobody.
    RunningCopy unfolded{QString()};
    EXPECT_TRUE(unfolded.claim());
    EXPECT_FALSE(unfolded.listen([] {}));
    EXPECT_FALSE(unfolded.askToShow());
}

TEST_F(RunningCopyTest, ASocketLeftByACrashedCopyIsReplaced)
{
    // A crashed copy leaves its socket file bound but with nobody listening.
    RunningCopy probe(folder());
    const QByteArray path = QFile::encodeName(probe.socketPath());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(probe.socketPath()));

    RunningCopy restarted(folder());
    ASSERT_TRUE(restarted.claim());
    int shown = 0;
    ASSERT_TRUE(restarted.listen([&] { ++shown; }));
    // A later start finds it running and has it show the bar.
    RunningCopy later(folder());
    EXPECT_FALSE(later.claim());
    EXPECT_TRUE(later.askToShow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }));
}

TEST_F(RunningCopyTest, OtherTalkOnTheSocketShowsNothingAndBreaksNothing)
{
    RunningCopy running(folder());
    ASSERT_TRUE(running.claim());
    int shown = 0;
    ASSERT_TRUE(running.listen([&] { ++shown; }));

    for (const QByteArray& junk : {QByteArray("hello\n"), QByteArray(4096, 'x'), QByteArray()}) {
        QLocalSocket socket;
        socket.connectToServer(running.socketPath());
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(junk);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    }
    // It still answers a real request afterwards, and only that one shows the bar.
    EXPECT_TRUE(RunningCopy(folder()).askToShow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 1);
}

} // namespace
