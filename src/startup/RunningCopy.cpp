// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunningCopy.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

namespace {
// The whole conversation: a later start sends this line, the running copy shows its bar.
constexpr char kShowRequest[] = "show\n";
constexpr qint64 kLongestRequest = 64; // anything longer is not a start of ours talking
constexpr int kWaitMs = 1000;
} // namespace

RunningCopy::RunningCopy(const QString& privateFolder, const QString& name)
    : m_folder(privateFolder), m_name(name)
{
}

RunningCopy::~RunningCopy() = default;

QString RunningCopy::socketPath() const
{
    return m_folder.isEmpty() ? QString() : m_folder + m_name + QStringLiteral(".socket");
}

bool RunningCopy::claim()
{
    if (m_folder.isEmpty())
        return true;
    m_lock = std::make_unique<QLockFile>(m_folder + m_name + QStringLiteral(".lock"));
    // A lock names its process; one whose process no longer runs is stale at once.
    m_lock->setStaleLockTime(0);
    m_holdsLock = m_lock->tryLock(0);
    // Only a lock that another living copy holds stops the start; a folder that refuses the lock
    // file must not keep Quendel from running.
    return m_holdsLock || m_lock->error() != QLockFile::LockFailedError;
}

bool RunningCopy::listen(std::function<void()> onShow)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    m_onShow = std::move(onShow);
    if (m_holdsLock)
        QLocalServer::removeServer(path);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection())
            serve(client);
    });
    if (m_server->listen(path))
        return true;
    m_server.reset();
    return false;
}

void RunningCopy::serve(QLocalSocket* client)
{
    QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    const auto read = [this, client] {
        if (!client->canReadLine()) {
            if (client->bytesAvailable() > kLongestRequest)
                client->abort();
            return;
        }
        const QByteArray line = client->readLine(kLongestRequest);
        client->disconnectFromServer();
        if (line == kShowRequest && m_onShow)
            m_onShow();
    };
    QObject::connect(client, &QLocalSocket::readyRead, client, read);
    if (client->bytesAvailable() > 0)
        read();
}

bool RunningCopy::askToShow() const
{
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWaitMs);
    return sent;
}

void ShowRaised(QWidget& window)
{
    window.showNormal();
    window.raise();
    window.activateWindow();
}
