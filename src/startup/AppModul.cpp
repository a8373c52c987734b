#include "AppModul.h"

#include "InstallationStep.h"
#include "PrivateFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QWidget>

#include <memory>

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
    PadSection.clear();
    SkinFolder.clear();
    SoundsFolder.clear();
    ActivePad = kNoPad;
    TunerLoopOn = 0;
    g_programFile.clear();
    g_programEnded = false;
}

QString ProgramFile()
{
    return g_programFile;
}

std::optional<int> Main(const std::function<void()>& showBar)
{
    // A second copy ends at once and silently. The lock lives as long as the process; a lock left
    // by a copy that crashed names a process that no longer runs and is taken over.
    static std::unique_ptr<QLockFile> instanceLock;
    // The private folder is prepared once: when its usual name is refused, each preparation
    // would make another fresh folder.
    const QString tempFolder = UserPrivateTempFolder();
    if (!tempFolder.isEmpty()) {
        instanceLock = std::make_unique<QLockFile>(tempFolder + QStringLiteral("quendel.lock"));
        instanceLock->setStaleLockTime(0);
        if (!instanceLock->tryLock(0) && instanceLock->error() == QLockFile::LockFailedError)
            return 0;
    }

    SetupFolders(QCoreApplication::applicationFilePath(), tempFolder);
    if (!InstallationStep())
        return 1;
    showBar();
    return std::nullopt;
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
