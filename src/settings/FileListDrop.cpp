// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListDrop.h"

#include "Settings.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "import/SoundDrops.h"
#include "import/SoundImporter.h"

#include <QDropEvent>

FileListDrop::FileListDrop(Settings& window)
    : QObject(&window), m_window(window), m_viewport(window.File1->viewport())
{
    // The list's viewport gets the drag events; the list's own drag handling (for moving
    // entries, which this list does not offer) never sees them.
    m_viewport->setAcceptDrops(true);
    m_viewport->installEventFilter(this);
}

void FileListDrop::soundsChanged()
{
    using namespace AppModul;
    const QString selected = m_window.File1->FileName();
    m_window.File1->Refresh();
    selectFile(selected);
    const QString pad = m_window.List1->Text();
    if (!pad.isEmpty())
        m_window.Label2->setText(ReadSetting(PadSection, pad, SettingsFile, QString()));
}

void FileListDrop::selectFile(const QString& name)
{
    FileListBox* list = m_window.File1;
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    if (name.isEmpty() || found.isEmpty())
        return;
    // Selected from code, so no preview plays (a click would play one).
    list->setCurrentItem(found.first());
    list->scrollToItem(found.first());
}

bool FileListDrop::eventFilter(QObject* watched, QEvent* event)
{
    // Compared by address only: the window may be half destroyed when its last events come.
    if (watched != m_viewport)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!SoundDrops::CarriesFiles(drag->mimeData()) || !SoundDrops::TakeAsCopy(drag))
            drag->ignore();
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* dropped = static_cast<QDropEvent*>(event);
        const SoundDrops::DraggedFiles files = SoundDrops::FilesOf(dropped->mimeData());
        if (files.paths.isEmpty() || !SoundDrops::TakeAsCopy(dropped)) {
            dropped->ignore();
            return true;
        }
        SoundImporter::shared().import(
            files.paths, AppModul::SoundsFolder, this,
            [this](const QString& text) { m_window.Label2->setText(text); },
            [this, problems = files.problems](const ImportOutcome& outcome) {
                showOutcome(outcome, problems);
            });
        return true;
    }
    default:
        return false;
    }
}

void FileListDrop::showOutcome(const ImportOutcome& outcome, QStringList problems)
{
    problems << outcome.problems;
    const QString selected = m_window.File1->FileName();
    m_window.File1->Refresh();
    selectFile(outcome.names.isEmpty() ? selected : outcome.names.first());
    QStringList notes;
    if (!outcome.names.isEmpty()) {
        notes << (outcome.names.size() == 1
                      ? QStringLiteral("Added %1").arg(outcome.names.first())
                      : QStringLiteral("Added %1 files").arg(outcome.names.size()));
    }
    if (!problems.isEmpty())
        notes << SoundDrops::ProblemSummary(problems);
    m_window.Label2->setText(notes.join(QStringLiteral("; ")));
}
