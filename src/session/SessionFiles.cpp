// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionFiles.h"

#include "core/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
// Empty when the file or folder at path reached the disk (or is not there), else why not.
QString syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    const bool synced = ::fsync(fd) == 0;
    const int syncErrno = errno;
    ::close(fd);
    return synced ? QString() : QString::fromLocal8Bit(std::strerror(syncErrno));
}
} // namespace

QString SessionFolderFor(const QString& openedPath)
{
    if (openedPath.isEmpty() || !QDir::isAbsolutePath(openedPath))
        return {};
    QString folder = QDir::cleanPath(openedPath);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString SessionCopyName(const QString& sessionFolder)
{
    const QByteArray hash =
        QCryptographicHash::hash(sessionFolder.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("quendel-") + QString::fromLatin1(hash.left(16));
}

QString PutSettingsOnDisk(const QString& settingsFile)
{
    if (!SettingsCanBeSaved(settingsFile))
        return QStringLiteral("the settings file %1 cannot be written").arg(settingsFile);
    // Opening a pipe or device read-only could block: only a plain file is opened.
    if (QFileInfo(settingsFile).isFile()) {
        if (const QString why = syncPath(settingsFile, O_NONBLOCK); !why.isEmpty())
            return QStringLiteral("the settings file %1 is not on disk: %2").arg(settingsFile, why);
    }
    // Each write replaces the file by renaming a new one into place: the folder holds the name.
    const QString folder = QFileInfo(settingsFile).absolutePath();
    if (const QString why = syncPath(folder, O_DIRECTORY); !why.isEmpty())
        return QStringLiteral("the folder %1 is not on disk: %2").arg(folder, why);
    return {};
}
