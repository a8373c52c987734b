// SPDX-License-Identifier: GPL-3.0-or-later
// Set files from the bar's menu: save, collect with the sounds, open (and find missing sounds).
#include "Bar.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "sets/SetFiles.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

namespace {

const QString kSetFilter = QStringLiteral("Quendel sets (*.qset)");

// The first few names, for a line on the status line.
QString Names(const QStringList& names)
{
    constexpr int kShown = 3;
    QString text = names.mid(0, kShown).join(QStringLiteral(", "));
    if (names.size() > kShown)
        text += QStringLiteral(" and %1 more").arg(names.size() - kShown);
    return text;
}

} // namespace

void Bar::addSetEntries(QMenu& menu)
{
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Save set...")), &QAction::triggered, this,
                     [this] { saveSet(false); });
    QObject::connect(menu.addAction(QStringLiteral("Save set with its sounds...")),
                     &QAction::triggered, this, [this] { saveSet(true); });
    QObject::connect(menu.addAction(QStringLiteral("Open set...")), &QAction::triggered, this,
                     [this] {
                         const QString path = QFileDialog::getOpenFileName(
                             this, QStringLiteral("Open a set"), QString(), kSetFilter);
                         if (!path.isEmpty())
                             openSet(path);
                     });
}

void Bar::saveSet(bool collect)
{
    QString path = QFileDialog::getSaveFileName(
        this,
        collect ? QStringLiteral("Save the set with its sounds") : QStringLiteral("Save the set"),
        QString(), kSetFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".qset");
    const SetFiles::Saved saved =
        SetFiles::Save(path, AppModul::SettingsFile, AppModul::SoundsFolder, collect);
    if (!saved.error.isEmpty()) {
        showStatus(saved.error);
        return;
    }
    QString text = QStringLiteral("Set saved: %1").arg(QFileInfo(path).fileName());
    if (collect)
        text += QStringLiteral(", its sounds in \"%1\"")
                    .arg(QFileInfo(SetFiles::CollectedFolder(path).chopped(1)).fileName());
    if (!saved.missing.isEmpty())
        text += QStringLiteral("; not in Sounds: ") + Names(saved.missing);
    showStatus(text);
}

void Bar::openSet(const QString& path)
{
    QStringList folders;
    for (;;) {
        const SetFiles::Opened opened =
            SetFiles::Open(path, AppModul::SettingsFile, AppModul::SoundsFolder, folders);
        if (!opened.error.isEmpty()) {
            showStatus(opened.error);
            return;
        }
        followOpenedSet();
        if (opened.missing.isEmpty()) {
            showStatus(QStringLiteral("Set opened: %1").arg(QFileInfo(path).fileName()));
            return;
        }
        // The musician may know where the rest is: each folder picked is searched (and only
        // read), the ones before it again with it.
        const QString question =
            QStringLiteral("%1 sound(s) of the set are not here: %2.\nSearch a folder for them?")
                .arg(opened.missing.size())
                .arg(Names(opened.missing));
        if (QMessageBox::question(this, QStringLiteral("Open set"), question) != QMessageBox::Yes) {
            showStatus(QStringLiteral("Set opened; missing: ") + Names(opened.missing));
            return;
        }
        const QString folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Search for the set's sounds"));
        if (folder.isEmpty() || folders.contains(folder)) {
            showStatus(QStringLiteral("Set opened; missing: ") + Names(opened.missing));
            return;
        }
        folders << folder;
    }
}

void Bar::followOpenedSet()
{
    // The set's bank, then everything else it brought as a hand edit of the settings file is
    // followed (its tempo, key, setlist, names and renders).
    Deck.showBank(
        PadDeck::StoredBank(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray())));
    Bindings.reload();
}
