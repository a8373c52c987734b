#include "AppModul.h"

#include "InstallationStep.h"
#include "core/PrivateFiles.h"

#include <QCoreApplication>
#include <QLockFile>

#include <memory>

namespace AppModul {

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

} // namespace AppModul
