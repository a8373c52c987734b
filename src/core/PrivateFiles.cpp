// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}
} // namespace

QString PreparePrivateFolder(const QString& base, const QString& name)
{
    QString folder = QDir(base).absoluteFilePath(name);
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // A link, a file or someone else's folder under the name is refused.
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return {};
    // Ours, but perhaps made open by hand: others must neither read nor plant files in it.
    if ((info.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return {};
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

QString UserPrivateTempFolder()
{
    const QString base = QDir::tempPath();
    QString folder = PreparePrivateFolder(base, QStringLiteral("quendel-%1").arg(::geteuid()));
    if (!folder.isEmpty())
        return folder;
    // Someone else holds that name: use a fresh folder of our own for this run.
    QByteArray pattern =
        QFile::encodeName(QDir(base).absoluteFilePath(QStringLiteral("quendel-XXXXXX")));
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    folder = QFile::decodeName(pattern);
    return folder + QDir::separator();
}

bool WriteFileReplacing(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}
