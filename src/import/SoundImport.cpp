// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace SoundImport {

namespace {

// "Kick (9999).wav" is far past anything a musician keeps; beyond it the folder is not sane.
constexpr int kMaxNameChoices = 9999;
constexpr qint64 kCompareChunkBytes = 1 << 16;

QString shownName(const QString& path)
{
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    return name.isEmpty() ? path : name;
}

bool liesIn(const QFileInfo& file, const QString& folder)
{
    const QString own = QFileInfo(file.absolutePath()).canonicalFilePath();
    return !own.isEmpty() && own == QFileInfo(folder).canonicalFilePath();
}

// Something sits under path, a dangling link included: the name is not free.
bool taken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString writeFailure(const QFile& out)
{
    // Qt reports a full disk (ENOSPC) as a resource error.
    if (out.error() == QFileDevice::ResourceError)
        return QStringLiteral("the disk is full");
    return QStringLiteral("the Sounds folder could not be written (%1)").arg(out.errorString());
}

Placement failed(const QString& source, const QString& why)
{
    return {QString(), QStringLiteral("%1 could not be copied: %2").arg(shownName(source), why)};
}

// Copies source to part in chunks; an empty string on success, otherwise why not. A failed
// copy leaves no part behind.
QString copyToPart(const QString& source, const QString& part, const ChunkReport& report,
                   qint64 chunkBytes)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QFileInfo::exists(source) ? QStringLiteral("it cannot be read")
                                         : QStringLiteral("it is no longer there");
    const qint64 total = in.size();

    QFile::remove(part); // left by a copy that was interrupted
    QFile out(part);
    // Unbuffered, so a full disk shows at the write that hit it.
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return QStringLiteral("the Sounds folder cannot be written");

    const auto fail = [&](const QString& why) {
        out.close();
        QFile::remove(part);
        return why;
    };
    std::vector<char> buffer(static_cast<std::size_t>(chunkBytes));
    qint64 done = 0;
    for (;;) {
        if (report && !report(done, total))
            return fail(QStringLiteral("the copy was stopped"));
        const qint64 got = in.read(buffer.data(), chunkBytes);
        if (got < 0)
            return fail(QStringLiteral("it could not be read to its end"));
        if (got == 0)
            break;
        if (out.write(buffer.data(), got) != got)
            return fail(writeFailure(out));
        done += got;
    }
    if (done != total)
        return fail(QStringLiteral("it changed while it was being copied"));
#ifdef Q_OS_UNIX
    // The copy is on the disk before it takes the sound's name, so not even a power cut leaves
    // an empty file under it.
    if (::fsync(out.handle()) != 0)
        return fail(QStringLiteral("the Sounds folder could not be written"));
#endif
    out.close();
    return QString();
}

} // namespace

const QStringList& Extensions()
{
    static const QStringList extensions = {QStringLiteral("wav"),  QStringLiteral("mp3"),
                                           QStringLiteral("flac"), QStringLiteral("ogg"),
                                           QStringLiteral("oga"),  QStringLiteral("aif"),
                                           QStringLiteral("aiff"), QStringLiteral("opus")};
    return extensions;
}

QString FilePattern()
{
    QStringList patterns;
    for (const QString& extension : Extensions())
        patterns << QStringLiteral("*.") + extension;
    return patterns.join(QLatin1Char(';'));
}

bool HasSoundExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    bool ownName = false;
    for (qsizetype i = 0; i < dot && !ownName; ++i)
        ownName = fileName[i] != QLatin1Char('.');
    return ownName && Extensions().contains(fileName.mid(dot + 1).toLower());
}

std::optional<QString> Refusal(const QString& path,
                               const std::function<bool(const QString& path)>& decodes)
{
    const QString name = shownName(path);
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 is not there").arg(name);
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a sound file").arg(name);
    // Devices and pipes are no sound files whatever their names (and opening a pipe blocks).
    if (!info.isFile() || !HasSoundExtension(name))
        return QStringLiteral("%1 is not a sound file").arg(name);
    if (!QFile(path).open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read").arg(name);
    if (!decodes(path))
        return QStringLiteral("%1 does not play as sound").arg(name);
    return std::nullopt;
}

QString BindableName(const QString& fileName)
{
    QString name = fileName;
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    qsizetype dots = 0;
    while (dots < name.size() && name[dots] == QLatin1Char('.'))
        ++dots;
    return name.mid(dots);
}

QString NumberedName(const QString& fileName, int n)
{
    if (n <= 1)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString number = QStringLiteral(" (%1)").arg(n);
    return dot > 0 ? fileName.left(dot) + number + fileName.mid(dot) : fileName + number;
}

bool SameContents(const QString& a, const QString& b)
{
    QFile first(a), second(b);
    if (!QFileInfo(a).isFile() || !QFileInfo(b).isFile() || !first.open(QIODevice::ReadOnly) ||
        !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    for (;;) {
        const QByteArray x = first.read(kCompareChunkBytes);
        const QByteArray y = second.read(kCompareChunkBytes);
        if (x != y)
            return false;
        if (x.isEmpty())
            return true;
    }
}

QString PartFilePath(const QString& folder)
{
    return folder + QStringLiteral(".quendel-import.part");
}

Placement PlaceInFolder(const QString& source, const QString& folder, const ChunkReport& report,
                        qint64 chunkBytes)
{
    const QFileInfo info(source);
    const QString name = BindableName(info.fileName());
    if (name.isEmpty())
        return failed(source, QStringLiteral("it has no name to keep"));
    if (liesIn(info, folder) && name == info.fileName())
        return {name, QString(), false};
    if (!QDir().mkpath(folder))
        return failed(source, QStringLiteral("the Sounds folder cannot be made"));

    // The first free choice of name, unless an identical file already holds one before it.
    int choice = 1;
    for (;; ++choice) {
        if (choice > kMaxNameChoices)
            return failed(source, QStringLiteral("every choice of name is taken"));
        const QString target = folder + NumberedName(name, choice);
        if (!taken(target))
            break;
        if (SameContents(source, target))
            return {NumberedName(name, choice), QString(), false};
    }

    const QString part = PartFilePath(folder);
    const QString why = copyToPart(source, part, report, chunkBytes > 0 ? chunkBytes : 1);
    if (!why.isEmpty())
        return failed(source, why);

    // Renaming never replaces a file; should another one have taken the name during the copy,
    // the next choice is tried.
    for (; choice <= kMaxNameChoices; ++choice) {
        const QString target = folder + NumberedName(name, choice);
        if (QFile::rename(part, target))
            return {NumberedName(name, choice), QString(), true};
        if (!taken(target))
            break;
    }
    QFile::remove(part);
    return failed(source, QStringLiteral("it could not take its name in the Sounds folder"));
}

} // namespace SoundImport
