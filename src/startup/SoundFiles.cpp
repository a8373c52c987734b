#include "SoundFiles.h"

#include <QFile>

std::string AudioPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

bool PlaysAsStream(const QString& fileName)
{
    return fileName.right(3).toLower() == QStringLiteral("mp3");
}
