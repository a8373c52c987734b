// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/PadBanks.h"
#include "core/PadCount.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

// What each pad holds, as the settings file says and the Sounds folder has it, kept up to date
// while Quendel runs: a binding made in the settings window or a settings file edited by hand
// shows on the pads within a fraction of a second. A press still reads its binding afresh; this
// is what the pads show, not what they play.
class PadBindings : public QObject {
    Q_OBJECT
public:
    struct Pad {
        QString fileName;     // bare file name in Sounds; empty when the pad is unbound
        bool missing = false; // bound, but the file is not in Sounds
        bool operator==(const Pad&) const = default;
    };

    PadBindings();

    // Starts watching the settings file and the Sounds folder, and reads both now.
    void watch(const QString& settingsFile, const QString& soundsFolder);
    // Reads the settings file again at once (a torn file keeps what was read before).
    void reload();

    const Pad& pad(int index) const { return m_pads[static_cast<std::size_t>(index)]; }

    // The shown bank's pads again, from the text last read (PadBanks::Show changed the bank).
    void showBank();

    // The bindings a settings file's text gives for the shown bank (section "Samples" for bank
    // A, "Samples B".."Samples H" for the others; keys "Sample 1".."Sample 28").
    static std::array<QString, kPadCount> NamesIn(const QByteArray& text);

signals:
    // Some pad's file name or its presence in Sounds changed.
    void changed();
    // The settings file was read anew and its text differs from the last reading (a hand edit,
    // or a setting stored by any window): what else it holds may have changed too.
    void fileChanged();

private:
    void noticeChange();
    // trustNow: the file is whole (read on request, not on a change seen mid-write).
    void read(bool trustNow);
    void apply(const std::array<QString, kPadCount>& names);
    void rewatch();

    QString m_settingsFile;
    QString m_soundsFolder;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;        // lets a write finish before the file is read
    QByteArray m_candidate; // the text read last, taken once a second read agrees
    QByteArray m_accepted;  // the text the pads show
    bool m_hasCandidate = false;
    std::array<QString, kPadCount> m_names;
    std::array<Pad, kPadCount> m_pads;
};
