// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where Quendel keeps its skin, sounds and settings. Two ways to live on a machine:
// - portable: the program's own folder holds a Skin folder and may be written, so everything
//   stays beside the program (the build folder is such a place);
// - installed: the default skin and the demo kit are read from share/quendel/ under the prefix,
//   and what belongs to the user lives in the user's data and configuration folders.

// What the start finds out about the machine before choosing.
struct StartPlace {
    QString programFile;          // the program file's full path
    QString programFolder;        // its folder, ending in a separator
    bool programHasSkin = false;  // a Skin folder lies beside the program
    bool programWritable = false; // the program's folder may be written
    QString installedData;        // share/quendel/ under the prefix, ending in a separator
    QString configHome;           // the user's configuration folder ($XDG_CONFIG_HOME or ~/.config)
    QString dataHome;             // the user's data folder ($XDG_DATA_HOME or ~/.local/share)
};

struct Layout {
    bool installed = false;
    QString skinFolder;     // the default skin
    QString userSkinFolder; // installed: the user's skin images that replace the default ones
    QString soundsFolder;   // the user's sample files
    QString settingsFile;
    QString demoKitFolder;   // installed: the loops a new user's Sounds folder starts with
    QString starterSettings; // installed: the settings a new user starts with (bindings)
    QString sessionFolder;   // under a session manager: the session's folder for Quendel
};

// Looks at the program's folder, the prefix it was installed to and the user's folders.
StartPlace ProbeStartPlace(const QString& programFile);

// The one decision between the portable and the installed way. Every folder ends in a separator.
Layout ChooseLayout(const StartPlace& place);

// Under a session manager, the session's folder holds the settings file and the Sounds folder,
// as a portable folder does; the skin comes from where the start without a session finds it. A
// session starts as a new user of an installation does, from the installation's demo kit and
// starter settings when there are any; a portable folder's own Sounds and settings are its
// user's, not a kit, so a portable program without an installation starts a session empty.
Layout SessionLayout(const StartPlace& place, const QString& sessionFolder);

// The installed way's first-start work: the user's folders are made, Sounds is filled with the
// demo kit when this start creates it (a folder that exists is never touched, even if empty),
// and the starter settings are copied only when there is no settings file. A session's folder
// gets the same at its first open. Whatever cannot be made or written is left out; nothing here
// fails the start.
void PrepareUserFolders(const Layout& layout);
