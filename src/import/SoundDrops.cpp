// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundDrops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace SoundDrops {

DraggedFiles FilesOf(const QMimeData* data)
{
    DraggedFiles files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.paths << url.toLocalFile();
        else
            files.problems << QStringLiteral("%1 is not a file on this computer")
                                  .arg(url.toDisplayString(QUrl::PreferLocalFile));
    }
    return files;
}

bool CarriesFiles(const QMimeData* data)
{
    return !FilesOf(data).paths.isEmpty();
}

bool TakeAsCopy(QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    if (event->proposedAction() == Qt::CopyAction) {
        event->acceptProposedAction();
    } else {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    return true;
}

QString ProblemSummary(const QStringList& problems)
{
    if (problems.isEmpty())
        return QString();
    if (problems.size() == 1)
        return problems.first();
    return QStringLiteral("%1 (and %2 more)").arg(problems.first()).arg(problems.size() - 1);
}

} // namespace SoundDrops
