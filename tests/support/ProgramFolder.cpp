// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramFolder.h"

#include "core/Form.h"
#include "core/ProgramState.h"
#include "startup/InstallationStep.h"

#include <QDir>
#include <QFile>

ProgramFolder::ProgramFolder()
{
    QDir dir(m_dir.path());
    dir.mkdir(QStringLiteral("Skin"));
    dir.mkdir(QStringLiteral("Sounds"));
    dir.mkdir(QStringLiteral("tmp"));

    // The program file exists, as it does for a real start, so its name keeps its case.
    QFile program(root() + QStringLiteral("quendel"));
    program.open(QIODevice::WriteOnly);
    program.close();

    AppModul::ResetState();
    AppModul::SetupFolders(root() + QStringLiteral("quendel"), tempFolder());
    SetSharedNames();
    SetMessagePresenter(
        [this](const QString& text, int kind) { messages.emplace_back(text, kind); });
}

ProgramFolder::~ProgramFolder()
{
    FormRegistry::DestroyAll();
    SetMessagePresenter({});
    AppModul::ResetState();
}

QString ProgramFolder::root() const
{
    return QDir(m_dir.path()).absolutePath() + QDir::separator();
}
QString ProgramFolder::skinFolder() const
{
    return root() + QStringLiteral("Skin/");
}
QString ProgramFolder::soundsFolder() const
{
    return root() + QStringLiteral("Sounds/");
}
QString ProgramFolder::tempFolder() const
{
    return root() + QStringLiteral("tmp/");
}
QString ProgramFolder::settingsFile() const
{
    return root() + QStringLiteral("quendel.ini");
}

QRgb ProgramFolder::skinPixel(int x, int y, int seed)
{
    return qRgb((x * 7 + seed * 40) & 0xff, (y * 5 + seed * 90) & 0xff,
                ((x ^ y) + seed * 17) & 0xff);
}

QImage ProgramFolder::patternImage(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, skinPixel(x, y, seed));
    return image;
}

void ProgramFolder::writeSkin(const QString& baseName, int width, int height, int seed,
                              const QString& suffix) const
{
    patternImage(width, height, seed).save(skinFolder() + baseName + u'.' + suffix);
}

void ProgramFolder::writeAllSkins() const
{
    writeSkin(QStringLiteral("AllOff"), 1018, 761, 1);
    writeSkin(QStringLiteral("AllOn"), 1018, 761, 2);
    writeSkin(QStringLiteral("Settings"), 820, 268, 3);
    writeSkin(QStringLiteral("TunerOff"), 820, 268, 4);
    writeSkin(QStringLiteral("TunerOn"), 820, 268, 5);
    writeSkin(QStringLiteral("ToneOff"), 820, 268, 6);
    writeSkin(QStringLiteral("ToneOn"), 820, 268, 7);
    writeSkin(QStringLiteral("PotiClip"), 73, 68 * 32, 8);
}
