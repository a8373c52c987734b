// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppModul.h"

#include "InstallationStep.h"
#include "RunningCopy.h"
#include "core/PrivateFiles.h"
#include "session/NsmClient.h"
#include "session/SessionFiles.h"
#include "session/TermSignal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace AppModul {
namespace {
std::chrono::milliseconds g_sessionOpenWait = kSessionOpenWait;
std::unique_ptr<NsmClient> g_session;
std::unique_ptr<TermSignal> g_termSignal;

// Under a session manager: announces Quendel and waits for the session's folder, which it makes.
// Returns the folder (g_session then talks to the manager), empty to start without a session, or
// nothing when the folder cannot be made and the start must end.
std::optional<QString> joinSession(const QString& url, const BarHooks& bar,
                                   const QString& programFile)
{
    auto client = std::make_unique<NsmClient>(url);
    std::optional<NsmClient::Open> open;
    // The window can be hidden only when the bar says how.
    const QString capabilities = bar.hide ? QStringLiteral(":optional-gui:") : QStringLiteral(":");
    if (client->isConnected() &&
        client->announce(QStringLiteral("Quendel"), capabilities, QFileInfo(programFile).fileName(),
                         QCoreApplication::applicationPid()))
        open = client->waitForOpen(g_sessionOpenWait);
    if (!open) {
        std::fprintf(stderr, "quendel: %s; starting without a session\n",
                     qUtf8Printable(client->problem()));
        return QString();
    }
    const QString folder = SessionFolderFor(open->path);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        const QString problem =
            QStringLiteral("the session folder \"%1\" cannot be made").arg(open->path);
        std::fprintf(stderr, "quendel: %s\n", qUtf8Printable(problem));
        client->refuseOpen(NsmClient::kCreateFailed, problem);
        return std::nullopt;
    }
    g_session = std::move(client);
    return folder;
}

// The start ends before the bar shows: the manager hears why.
void leaveSession(const QString& why)
{
    if (g_session)
        g_session->refuseOpen(NsmClient::kGeneralError, why);
    CloseSession();
}

// The bar shows: the manager hears that the session is open and from now on is answered by the
// event loop, and its SIGTERM ends Quendel as closing the bar does.
void serveSession(const BarHooks& bar, const QString& folder)
{
    g_session->replyOpened(QStringLiteral("Quendel keeps its settings and sounds in ") + folder);
    g_session->reportGui(true);
    NsmClient::Handlers handlers;
    handlers.save = [] { return PutSettingsOnDisk(SettingsFile); };
    if (bar.hide) {
        handlers.showGui = [show = bar.raise ? bar.raise : bar.show, hide = bar.hide](bool shown) {
            shown ? show() : hide();
        };
    }
    g_session->listen(std::move(handlers));
    g_termSignal = std::make_unique<TermSignal>(bar.close ? bar.close : EndProgram);
}
} // namespace

void SetSessionOpenWait(std::chrono::milliseconds wait)
{
    g_sessionOpenWait = wait;
}

void CloseSession()
{
    g_termSignal.reset();
    g_session.reset();
}

std::optional<int> Main(const BarHooks& bar, const QString& programFile)
{
    // The running copy lives as long as the process. The private folder is prepared once: when
    // its usual name is refused, each preparation would make another fresh folder.
    static std::unique_ptr<RunningCopy> runningCopy;
    CloseSession();

    // The manager expects the announce at once, and the session decides where the settings are
    // before anything reads them.
    QString sessionFolder;
    const QString url = qEnvironmentVariable("NSM_URL");
    if (!url.isEmpty()) {
        const std::optional<QString> joined = joinSession(url, bar, programFile);
        if (!joined)
            return 1;
        sessionFolder = *joined;
    }

    const QString tempFolder = UserPrivateTempFolder();
    runningCopy = std::make_unique<RunningCopy>(tempFolder, sessionFolder.isEmpty()
                                                                ? QStringLiteral("quendel")
                                                                : SessionCopyName(sessionFolder));
    if (!runningCopy->claim()) {
        // A second copy ends at once, without a window or message of its own, once it has asked
        // the first to show its bar.
        runningCopy->askToShow();
        leaveSession(QStringLiteral("Quendel runs in this session already"));
        return 0;
    }
    // Listening before the installation step: a start that comes meanwhile is answered as soon
    // as the event loop runs, by which time the bar is there.
    if (bar.raise)
        runningCopy->listen(bar.raise);

    SetupFolders(programFile, tempFolder);
    if (!InstallationStep(sessionFolder)) {
        leaveSession(QStringLiteral("files Quendel needs are missing"));
        return 1;
    }
    bar.show();
    if (g_session)
        serveSession(bar, sessionFolder);
    return std::nullopt;
}

std::optional<int> Main(const std::function<void()>& showBar, std::function<void()> raiseBar)
{
    return Main(BarHooks{showBar, std::move(raiseBar), {}, {}},
                QCoreApplication::applicationFilePath());
}

} // namespace AppModul
