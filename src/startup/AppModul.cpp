// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppModul.h"

#include "InstallationStep.h"
#include "RunningCopy.h"
#include "core/PrivateFiles.h"

#include <QCoreApplication>

#include <memory>

namespace AppModul {

std::optional<int> Main(const std::function<void()>& showBar, std::function<void()> raiseBar)
{
    // The running copy lives as long as the process. The private folder is prepared once: when
    // its usual name is refused, each preparation would make another fresh folder.
    static std::unique_ptr<RunningCopy> runningCopy;
    const QString tempFolder = UserPrivateTempFolder();
    runningCopy = std::make_unique<RunningCopy>(tempFolder);
    if (!runningCopy->claim()) {
        // A second copy ends at once, without a window or message of its own, once it has asked
        // the first to show its bar.
        runningCopy->askToShow();
        return 0;
    }
    // Listening before the installation step: a start that comes meanwhile is answered as soon
    // as the event loop runs, by which time the bar is there.
    if (raiseBar)
        runningCopy->listen(std::move(raiseBar));

    SetupFolders(QCoreApplication::applicationFilePath(), tempFolder);
    if (!InstallationStep())
        return 1;
    showBar();
    return std::nullopt;
}

} // namespace AppModul
