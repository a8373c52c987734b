// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadBindings.h"

#include "core/SettingsStore.h"
#include "core/SoundFiles.h"

#include <QFileInfo>

namespace {

// A write in progress is given this long to finish before its file is read; two reads this far
// apart that agree are taken as the file the user meant. Well inside the second in which a hand
// edit must show.
constexpr int kSettleMs = 80;

} // namespace

PadBindings::PadBindings()
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    QObject::connect(&m_settle, &QTimer::timeout, this, [this] { read(false); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged, this,
                     [this] { noticeChange(); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
                     [this] { noticeChange(); });
}

std::array<QString, kPadCount> PadBindings::NamesIn(const QByteArray& text)
{
    std::array<QString, kPadCount> names;
    for (int i = 0; i < kPadCount; ++i)
        names[static_cast<std::size_t>(i)] =
            FindSettingValue(text, PadBanks::Section(PadBanks::Shown()),
                             QStringLiteral("Sample %1").arg(i + 1))
                .value_or(QString());
    return names;
}

void PadBindings::watch(const QString& settingsFile, const QString& soundsFolder)
{
    m_settingsFile = settingsFile;
    m_soundsFolder = soundsFolder;
    rewatch();
    reload();
}

void PadBindings::rewatch()
{
    // A file replaced by renaming another over it (as the settings store and most editors save)
    // drops out of the watch: its folder is watched too, and the file is watched again.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    QStringList paths;
    for (const QString& path :
         {m_settingsFile, QFileInfo(m_settingsFile).absolutePath(), m_soundsFolder})
        if (!path.isEmpty() && QFileInfo::exists(path))
            paths << path;
    if (!paths.isEmpty())
        m_watcher.addPaths(paths);
}

void PadBindings::noticeChange()
{
    if (!m_settle.isActive())
        m_settle.start();
}

void PadBindings::reload()
{
    m_hasCandidate = false;
    read(true);
}

void PadBindings::read(bool trustNow)
{
    if (m_watcher.files().isEmpty() || m_watcher.directories().size() < 2)
        rewatch();

    const QByteArray text = ReadSettingsText(m_settingsFile).value_or(QByteArray());
    // A missing or empty file is a save in progress (or a file deleted by hand, which stores
    // nothing): the pads keep their names. The presence of the files in Sounds is still checked.
    if (text.trimmed().isEmpty()) {
        m_hasCandidate = false;
        apply(m_names);
        return;
    }
    if (text == m_accepted) {
        m_hasCandidate = false;
        apply(m_names);
        return;
    }
    if (!trustNow && !m_accepted.isNull() && !(m_hasCandidate && text == m_candidate)) {
        // New text: read again a moment later, and take it only when it has not moved on.
        m_candidate = text;
        m_hasCandidate = true;
        m_settle.start();
        return;
    }
    m_hasCandidate = false;
    m_accepted = text;
    apply(NamesIn(text));
    emit fileChanged();
}

void PadBindings::showBank()
{
    apply(NamesIn(m_accepted));
}

void PadBindings::apply(const std::array<QString, kPadCount>& names)
{
    m_names = names;
    bool anyChange = false;
    for (std::size_t i = 0; i < m_pads.size(); ++i) {
        Pad now;
        now.fileName = names[i];
        now.missing = !now.fileName.isEmpty() && !FileExists(m_soundsFolder + now.fileName);
        if (now != m_pads[i]) {
            m_pads[i] = now;
            anyChange = true;
        }
    }
    if (anyChange)
        emit changed();
}
