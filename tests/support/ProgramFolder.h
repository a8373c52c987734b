// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>
#include <vector>

// A program folder made for one test: Skin/ and Sounds/ folders, a private temp folder, and the
// shared program state pointing into it. Messages are recorded instead of shown. On destruction
// every window is destroyed and the shared state reset, so the next test starts afresh.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    QString root() const; // ends in a separator
    QString skinFolder() const;
    QString soundsFolder() const;
    QString tempFolder() const;
    QString settingsFile() const;

    // A skin image of the given size whose every pixel tells where it lies and which image it is,
    // so that a copied face can be checked pixel for pixel (see skinPixel).
    static QImage patternImage(int width, int height, int seed);
    static QRgb skinPixel(int x, int y, int seed);
    // Writes Skin/<baseName>.<suffix> as a pattern image of the given size.
    void writeSkin(const QString& baseName, int width, int height, int seed,
                   const QString& suffix = QStringLiteral("bmp")) const;
    // The skin images of every window, as pattern images.
    void writeAllSkins() const;

    std::vector<std::pair<QString, int>> messages;

private:
    QTemporaryDir m_dir;
};
