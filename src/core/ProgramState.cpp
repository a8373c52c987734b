// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramState.h"

#include "PadBanks.h"
#include "SoundFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace AppModul {
namespace {
QString g_programFile;
bool g_programEnded = false;

bool isPathSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}
} // namespace

void AddBackslash(QString& path)
{
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
}

QString SkinImageFile(const QString& baseName)
{
    // A user's image replaces the default one as a whole, whichever of the two formats it has.
    for (const QString& folder : {UserSkinFolder, SkinFolder}) {
        if (folder.isEmpty())
            continue;
        for (const QLatin1String suffix : {QLatin1String(".bmp"), QLatin1String(".jpg")}) {
            const QString path = folder + baseName + suffix;
            if (FileExists(path))
                return path;
        }
    }
    return SkinFolder + baseName + QStringLiteral(".jpg");
}

QString TitleCasePath(const QString& path)
{
    QString result = path;
    for (qsizetype i = 1; i < result.size(); ++i) {
        const QChar before = path.at(i - 1);
        const bool startsWord = before == u' ' || before == u'-' || before == u'(' ||
                                before == u'_' || isPathSeparator(before);
        result[i] = startsWord ? path.at(i).toUpper() : path.at(i).toLower();
    }
    if (!result.isEmpty())
        result[0] = result.at(0).toUpper();
    return result;
}

QString ExpandShortPath(const QString& path)
{
    return QFileInfo::exists(path) ? path : TitleCasePath(path);
}

QString SettingsFileFor(const QString& programFilePath)
{
    const QString expanded = ExpandShortPath(programFilePath);
    const QString fileName = QFileInfo(expanded).fileName();
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= 0) // no extension (a leading dot names a hidden file, not an extension)
        return expanded + QStringLiteral(".ini");
    return expanded.left(expanded.size() - (fileName.size() - dot - 1)) + QStringLiteral("ini");
}

void SetupFolders(const QString& programFilePath, const QString& tempFolder)
{
    const QFileInfo program(programFilePath);
    g_programFile = QDir::toNativeSeparators(program.absoluteFilePath());
    ProgramFolder = QDir::toNativeSeparators(program.absolutePath());
    AddBackslash(ProgramFolder);
    ProgramName = program.completeBaseName();
    TempFolder = tempFolder;
}

void ResetState()
{
    ProgramFolder.clear();
    ProgramName.clear();
    TempFolder.clear();
    AppTitle.clear();
    SettingsFile.clear();
    PadBanks::Show(0);
    PadSection.clear();
    SkinFolder.clear();
    UserSkinFolder.clear();
    SoundsFolder.clear();
    TunerLoopOn = 0;
    g_programFile.clear();
    g_programEnded = false;
}

QString ProgramFile()
{
    return g_programFile;
}

void EndProgram()
{
    g_programEnded = true;
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

bool ProgramEnded()
{
    return g_programEnded;
}

} // namespace AppModul
