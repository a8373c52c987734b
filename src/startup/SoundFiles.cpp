#include "SoundFiles.h"

#include <QFile>

std::string AudioPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
