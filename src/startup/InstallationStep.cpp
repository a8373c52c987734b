// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstallationStep.h"

#include "AppModul.h"
#include "InstallLayout.h"
#include "core/PadBanks.h"
#include "core/PrivateFiles.h"
#include "core/SoundFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

namespace {
MessagePresenter g_presenter;

struct ReferenceSound {
    const char* name;
    const char* fileName;
};

// Written in this order; "pink.wav" stands for the whole set.
constexpr ReferenceSound kReferenceSounds[] = {
    {"CHORD", "Chord.wav"}, {"A", "A.wav"},       {"D", "D.wav"},
    {"E", "E.wav"},         {"G", "G.wav"},       {"H", "H.wav"},
    {"E2", "E2.wav"},       {"PINK", "pink.wav"}, {"PHASE", "Phase.wav"},
};

bool skinImageMissing(const QString& baseName)
{
    return !FileExists(AppModul::SkinImageFile(baseName));
}

// The portable or the installed way is chosen here, once per start.
Layout applySharedNames(const QString& sessionFolder)
{
    using namespace AppModul;
    const StartPlace place = ProbeStartPlace(ProgramFile());
    const Layout layout =
        sessionFolder.isEmpty() ? ChooseLayout(place) : SessionLayout(place, sessionFolder);
    AppTitle = QStringLiteral("Quendel");
    SettingsFile = layout.settingsFile;
    PadBanks::Show(0);
    SkinFolder = layout.skinFolder;
    UserSkinFolder = layout.userSkinFolder;
    SoundsFolder = layout.soundsFolder;
    return layout;
}
} // namespace

void SetSharedNames()
{
    applySharedNames({});
}

QStringList RequiredSkinImages()
{
    return {QStringLiteral("AllOff"), QStringLiteral("AllOn"), QStringLiteral("Settings"),
            QStringLiteral("TunerOff"), QStringLiteral("TunerOn")};
}

bool InstallationStep(const QString& sessionFolder)
{
    const Layout layout = applySharedNames(sessionFolder);

    const QStringList required = RequiredSkinImages();
    if (std::any_of(required.begin(), required.end(), skinImageMissing)) {
        ShowMessage(kMissingFilesMessage, 3);
        return false;
    }
    PrepareUserFolders(layout);

    const QString pink = AppModul::TempFolder + QStringLiteral("pink.wav");
    if (!FileExists(pink)) {
        // An empty TempFolder means no trustworthy folder exists: nothing may be written.
        if (!AppModul::TempFolder.isEmpty()) {
            for (const ReferenceSound& sound : kReferenceSounds)
                WriteResourceFile(AppModul::TempFolder + QLatin1String(sound.fileName),
                                  QLatin1String(sound.name), QStringLiteral("WAVE"));
        }
        if (!FileExists(pink))
            ShowMessage(kTempReadOnlyMessage, 2);
    }
    return true;
}

QString WriteResourceFile(const QString& path, const QString& name, const QString& type)
{
    QFile resource(QStringLiteral(":/%1/%2").arg(type, name));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return WriteFileReplacing(path, resource.readAll()) ? path : QString();
}

void SetMessagePresenter(MessagePresenter presenter)
{
    g_presenter = std::move(presenter);
}

void ShowMessage(const QString& text, int kind)
{
    QMessageBox::Icon icon;
    switch (kind) {
    case 1:
        icon = QMessageBox::Information;
        break;
    case 2:
        icon = QMessageBox::Warning;
        break;
    case 3:
        icon = QMessageBox::Critical;
        break;
    case 4:
        icon = QMessageBox::Question;
        break;
    default:
        return;
    }
    if (g_presenter) {
        g_presenter(text, kind);
        return;
    }
    QMessageBox box(icon, AppModul::AppTitle, text, QMessageBox::Ok);
    box.exec();
}
