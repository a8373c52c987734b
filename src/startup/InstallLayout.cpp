// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstallLayout.h"

#include "core/ProgramState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#ifndef QUENDEL_DATA_FROM_PROGRAM
#define QUENDEL_DATA_FROM_PROGRAM "../share/quendel"
#endif

namespace {

QString withSeparator(QString folder)
{
    AppModul::AddBackslash(folder);
    return folder;
}

// An XDG base folder: the variable when it names an absolute path (a relative one is to be
// ignored), else the fallback under the home folder.
QString baseFolder(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return withSeparator(QDir::cleanPath(value));
    return withSeparator(QDir::homePath() + QDir::separator() + fallbackUnderHome);
}

bool isFolder(const QString& path)
{
    return QFileInfo(path).isDir();
}

} // namespace

StartPlace ProbeStartPlace(const QString& programFile)
{
    StartPlace place;
    const QFileInfo program(programFile);
    place.programFile = QDir::toNativeSeparators(program.absoluteFilePath());
    place.programFolder = withSeparator(QDir::toNativeSeparators(program.absolutePath()));
    place.programHasSkin = isFolder(place.programFolder + QStringLiteral("Skin"));
    // access() and not the permission bits: a read-only medium refuses writes whatever they say.
    place.programWritable = ::access(QFile::encodeName(place.programFolder).constData(), W_OK) == 0;
    place.installedData = withSeparator(
        QDir::cleanPath(place.programFolder + QStringLiteral(QUENDEL_DATA_FROM_PROGRAM)));
    place.configHome = baseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
    place.dataHome = baseFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    return place;
}

Layout ChooseLayout(const StartPlace& place)
{
    Layout layout;
    if (place.programHasSkin && place.programWritable) {
        layout.skinFolder = place.programFolder + QStringLiteral("Skin/");
        layout.soundsFolder = place.programFolder + QStringLiteral("Sounds/");
        layout.settingsFile = AppModul::SettingsFileFor(place.programFile);
        return layout;
    }
    // A portable folder that cannot be written (a read-only medium) still brings its own skin
    // and loops; the user's things then live in the user's folders as for an installation.
    const QString data = place.programHasSkin ? place.programFolder : place.installedData;
    const QString userData = place.dataHome + QStringLiteral("quendel/");
    layout.installed = true;
    layout.skinFolder = data + QStringLiteral("Skin/");
    layout.userSkinFolder = userData + QStringLiteral("Skin/");
    layout.soundsFolder = userData + QStringLiteral("Sounds/");
    layout.settingsFile = place.configHome + QStringLiteral("quendel/quendel.ini");
    layout.demoKitFolder = data + QStringLiteral("Sounds/");
    layout.starterSettings = data + QStringLiteral("quendel.ini");
    return layout;
}

Layout SessionLayout(const StartPlace& place, const QString& sessionFolder)
{
    Layout layout = ChooseLayout(place);
    if (!layout.installed) {
        layout.demoKitFolder = place.installedData + QStringLiteral("Sounds/");
        layout.starterSettings = place.installedData + QStringLiteral("quendel.ini");
    }
    layout.sessionFolder = withSeparator(sessionFolder);
    layout.soundsFolder = layout.sessionFolder + QStringLiteral("Sounds/");
    layout.settingsFile = layout.sessionFolder + QStringLiteral("quendel.ini");
    return layout;
}

void PrepareUserFolders(const Layout& layout)
{
    if (!layout.installed && layout.sessionFolder.isEmpty())
        return;
    if (layout.installed)
        QDir().mkpath(layout.userSkinFolder); // empty: shows the user where their own images go

    if (!isFolder(layout.soundsFolder) && QDir().mkpath(layout.soundsFolder)) {
        const QDir kit(layout.demoKitFolder);
        for (const QString& name : kit.entryList(QDir::Files | QDir::Readable, QDir::Name))
            QFile::copy(kit.filePath(name), layout.soundsFolder + name); // never replaces
    }

    const QFileInfo settings(layout.settingsFile);
    if (!settings.exists() && !settings.isSymLink() && QDir().mkpath(settings.absolutePath()))
        QFile::copy(layout.starterSettings, layout.settingsFile);
}
