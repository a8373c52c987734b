// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ListControl.h"

#include <QStringList>

// A list of the files in one folder whose names match a pattern such as "*.wav;*.mp3".
class FileListBox : public ListControl {
public:
    FileListBox(QWidget* parent, const QRect& rect, const QString& pattern);

    // Shows the matching files of folder. A folder that does not exist shows an empty list.
    void setPath(const QString& folder);
    QString path() const { return m_folder; }
    // Reads the folder again.
    void Refresh();
    // The selected file's name without folder, "" when none is selected.
    QString FileName() const { return Text(); }

    // The plain files of folder (not folders, not hidden files) whose names match one of the
    // ";"-separated wildcard patterns, without regard to case, sorted without regard to case.
    static QStringList MatchingFiles(const QString& folder, const QString& pattern);

private:
    QString m_pattern;
    QString m_folder;
};
