// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundFiles.h"

#include <QFile>
#include <QFileInfo>

std::string AudioPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile()) // folders, devices and pipes (whose open could block) are no files
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}
