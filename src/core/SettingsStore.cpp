// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far beyond any settings file Quendel writes. A bigger file is not read into memory: reads give
// the defaults and writes leave it alone.
constexpr qint64 kMaxFileSize = qint64(256) << 20;

std::function<void(const QString&)>& notSavedListener()
{
    static std::function<void(const QString&)> listener;
    return listener;
}

void reportNotSaved(const QString& file)
{
    if (notSavedListener())
        notSavedListener()(file);
}

} // namespace

// Every pad press reads the file, so this uses the four system calls it needs (open, fstat,
// read, close) rather than QFile's eight.
std::optional<QByteArray> ReadSettingsText(const QString& file)
{
    const QByteArray path = QFile::encodeName(file);
    // Without O_NONBLOCK a pipe in the file's place would hang the program in open().
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxFileSize) {
        // One byte more than the file holds, so a single read also sees its end.
        QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
        qsizetype filled = 0;
        bool ok = true;
        while (true) {
            if (filled == bytes.size()) {
                if (bytes.size() > kMaxFileSize) {
                    ok = false;
                    break;
                }
                bytes.resize(bytes.size() * 2); // the file grew since fstat
            }
            const ssize_t got =
                ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                ok = false;
                break;
            }
            filled += got;
            if (got == 0 || filled < bytes.size())
                break; // a plain file reads short only at its end
        }
        if (ok) {
            bytes.truncate(filled);
            result = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

QString ReadSetting(const QString& section, const QString& key, const QString& file,
                    const QString& defaultValue)
{
    const std::optional<QByteArray> text = ReadSettingsText(file);
    return text ? SettingIn(*text, section, key, defaultValue) : defaultValue;
}

namespace {

// Stores the change in the file; false when it could not be stored (the old file stays whole).
bool storeSetting(const QString& section, const QString& key, const QString& value,
                  const QString& file)
{
    QByteArray before;
    const QFileInfo info(file);
    if (info.exists()) {
        // A folder, a pipe, a read-only or unreadable file is left exactly as it is: rewriting it
        // from what little could be read would lose the rest.
        if (!info.isFile() || !info.isWritable())
            return false;
        std::optional<QByteArray> bytes = ReadSettingsText(file);
        if (!bytes)
            return false;
        before = std::move(*bytes);
    }
    const QByteArray after = TextWithSetting(before, section, key, value);
    if (info.exists() && after == before)
        return true; // nothing changes: the file is not touched at all
    return WriteWholeFile(file, after);
}

} // namespace

bool WriteWholeFile(const QString& file, QByteArrayView after)
{
    // QSaveFile writes a new file beside the old one and renames it over it only when every byte
    // is on disk, so a crash or a full disk leaves the old file whole. It writes through a
    // symbolic link to the file the link points at, as a user who links the file expects.
    // Unbuffered, so that the one write below reaches the file at once and a short write (a full
    // disk, a file size limit) shows in its count: from QSaveFile's own buffer the bytes would go
    // out only inside commit(), which does not notice when part of them could not be written,
    // and the cut-off file would replace the whole one.
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (output.write(after.data(), after.size()) != after.size()) {
        output.cancelWriting();
        return false;
    }
    return output.commit();
}

void WriteSetting(const QString& section, const QString& key, const QString& value,
                  const QString& file)
{
    if (!storeSetting(section, key, value, file))
        reportNotSaved(file);
}

bool SettingsCanBeSaved(const QString& file)
{
    // A write through a symbolic link replaces the file the link points at, in that one's folder.
    const QFileInfo link(file);
    const QFileInfo info(link.isSymLink() ? link.symLinkTarget() : file);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        return false;
    return !info.exists() || (info.isFile() && info.isReadable() && info.isWritable());
}

void SetSettingsNotSavedListener(std::function<void(const QString& file)> listener)
{
    notSavedListener() = std::move(listener);
}
