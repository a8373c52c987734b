// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class QWidget;
class Settings;
struct ImportOutcome;

// Sound files dragged onto the settings window's file list (File1). They are brought into the
// Sounds folder as drops on the pads are (see SoundImporter), the list is read again and the
// first of them is selected, ready for "<  Change Sample"; a drop binds nothing and plays
// nothing. How it went shows in Label2, never in a dialog.
class FileListDrop : public QObject {
public:
    explicit FileListDrop(Settings& window); // a child of the window, watching File1

    // Files came into Sounds or bindings changed outside the window: File1 reads the folder
    // again and keeps its selection, and Label2 shows the selected pad's file.
    void soundsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showOutcome(const ImportOutcome& outcome, QStringList problems);
    void selectFile(const QString& name);

    Settings& m_window;
    QWidget* m_viewport; // File1's, which the drag events reach
};
