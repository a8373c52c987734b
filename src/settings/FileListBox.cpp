// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListBox.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

FileListBox::FileListBox(QWidget* parent, const QRect& rect, const QString& pattern)
    : ListControl(parent, rect), m_pattern(pattern)
{
}

void FileListBox::setPath(const QString& folder)
{
    m_folder = folder;
    Refresh();
}

void FileListBox::Refresh()
{
    clear();
    addItems(MatchingFiles(m_folder, m_pattern));
}

QStringList FileListBox::MatchingFiles(const QString& folder, const QString& pattern)
{
    // An empty path would mean the process's current folder: files there could be listed but
    // never played or bound, since previews and pads look in the sounds folder.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    QDir dir(folder);
    dir.setNameFilters(pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Unsorted);
    QStringList names = dir.entryList();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byCase = a.compare(b, Qt::CaseInsensitive);
        return byCase != 0 ? byCase < 0 : a < b; // "a.wav" and "A.wav" in a steady order
    });
    return names;
}
