// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the default skin at build time: the windows' faces as bitmaps into the Skin folder, the
// pictures the windows carry themselves as PNG files for the program's resources, and the
// program's icon for the desktop's icon theme.

#include "IconArt.h"
#include "SkinFaces.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace {

using Painting = std::pair<const char*, std::function<QImage()>>;

bool writeAll(const QString& folder, const std::vector<Painting>& paintings, const char* suffix,
              const char* format)
{
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "skin painter: cannot create %s\n", qPrintable(folder));
        return false;
    }
    bool ok = true;
    for (const auto& [name, paint] : paintings) {
        QImage image = paint();
        // Bitmaps go out as 24-bit: no alpha channel for the skin loader to trip over.
        if (std::strcmp(format, "BMP") == 0)
            image = image.convertToFormat(QImage::Format_RGB32);
        const QString path = QDir(folder).filePath(QString::fromLatin1(name) + suffix);
        if (!image.save(path, format)) {
            std::fprintf(stderr, "skin painter: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

// The icon in the layout of the hicolor theme under folder: NxN/apps/<name>.png for every size
// and scalable/apps/<name>.svg.
bool writeIcons(const QString& folder, const QString& name)
{
    bool ok = true;
    for (const int size : IconArt::kBitmapSizes) {
        const QString sizeFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString path = sizeFolder + QStringLiteral("/%1.png").arg(name);
        if (!QDir().mkpath(sizeFolder) || !IconArt::paintIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "skin painter: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    const QString scalable = folder + QStringLiteral("/scalable/apps");
    QFile svg(scalable + QStringLiteral("/%1.svg").arg(name));
    if (!QDir().mkpath(scalable) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(IconArt::iconSvg()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "skin painter: cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // Painting needs fonts but no display: a build machine may have none.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);

    QString skinFolder;
    QString imageFolder;
    QString iconFolder;
    QString iconName = QStringLiteral("quendel");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--skin") == 0)
            skinFolder = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--images") == 0)
            imageFolder = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--icons") == 0)
            iconFolder = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--icon-name") == 0)
            iconName = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (skinFolder.isEmpty() && imageFolder.isEmpty() && iconFolder.isEmpty()) {
        std::fprintf(stderr,
                     "usage: %s [--skin FOLDER] [--images FOLDER] [--icons FOLDER "
                     "[--icon-name NAME]]\n",
                     argv[0]);
        return 2;
    }

    bool ok = true;
    if (!skinFolder.isEmpty()) {
        using namespace SkinFaces;
        const std::vector<Painting> skins{
            {"AllOff", [] { return paintBarFace(false); }},
            {"AllOn", [] { return paintBarFace(true); }},
            {"Settings", [] { return paintSettingsFace(); }},
            {"TunerOff", [] { return paintTunerFace(false); }},
            {"TunerOn", [] { return paintTunerFace(true); }},
            {"ToneOff", [] { return paintToneFace(false); }},
            {"ToneOn", [] { return paintToneFace(true); }},
            {"PotiClip", [] { return paintKnobStrip(); }},
        };
        ok = writeAll(skinFolder, skins, ".bmp", "BMP") && ok;
    }
    if (!imageFolder.isEmpty()) {
        using namespace SkinFaces;
        const std::vector<Painting> pictures{
            {"intro", [] { return paintIntroPicture(); }},
            {"marker", [] { return paintMarker(); }},
            {"knob", [] { return paintSliderKnob(); }},
            {"linkcursor", [] { return paintLinkCursor(); }},
        };
        ok = writeAll(imageFolder, pictures, ".png", "PNG") && ok;
    }
    if (!iconFolder.isEmpty())
        ok = writeIcons(iconFolder, iconName) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
