// SPDX-License-Identifier: GPL-3.0-or-later
#include "SkinBlit.h"

#include "PictureBox.h"
#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SoundFiles.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cstddef>
#include <cstring>

void CopyOverlap(QImage& target, const QImage& source, QPoint sourceOrigin)
{
    if (target.isNull() || source.isNull())
        return;
    const QRect wanted(sourceOrigin, target.size());
    const QRect overlap = wanted.intersected(source.rect());
    if (overlap.isEmpty())
        return;
    const QPoint to = overlap.topLeft() - sourceOrigin;
    if (target.format() == source.format() && target.depth() == 32) {
        // A pad press redraws 29 faces: copy scanlines directly.
        const size_t bytes = static_cast<size_t>(overlap.width()) * 4;
        for (int row = 0; row < overlap.height(); ++row) {
            const uchar* from =
                source.constScanLine(overlap.top() + row) + std::ptrdiff_t{overlap.left()} * 4;
            uchar* into = target.scanLine(to.y() + row) + std::ptrdiff_t{to.x()} * 4;
            std::memcpy(into, from, bytes);
        }
        return;
    }
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(to, overlap.size()), source, overlap);
}

void CopySkinArea(PictureBox& target, const QImage& source)
{
    target.matchFaceToSize();
    CopyOverlap(target.face(), source, target.pos());
    target.update();
}

void CopySkinArea(PictureBox& target, const PictureBox& source)
{
    CopySkinArea(target, source.face());
}

int StripFrameOffset(int stripLength, int frame, int count)
{
    if (frame == 0 || count == 0)
        return 0;
    const double frameSize = static_cast<double>(stripLength) / count;
    return RoundHalfEven(frame * frameSize);
}

void DrawStripFrame(PictureBox& target, const QImage& strip, int frame, int count, int orientation)
{
    target.matchFaceToSize();
    const bool vertical = orientation == 1;
    const int offset = StripFrameOffset(vertical ? strip.height() : strip.width(), frame, count);
    CopyOverlap(target.face(), strip, vertical ? QPoint(0, offset) : QPoint(offset, 0));
    target.update();
}

void DrawStripFrame(PictureBox& target, const PictureBox& strip, int frame, int count,
                    int orientation)
{
    DrawStripFrame(target, strip.face(), frame, count, orientation);
}

QString SkinFilePath(const QString& baseName)
{
    return AppModul::SkinImageFile(baseName);
}

QImage LoadSkinImage(const QString& baseName)
{
    QImage image(SkinFilePath(baseName));
    if (image.isNull())
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

QPoint CenteredPosition(QSize screen, QSize window)
{
    const int height = RoundHalfEven(screen.height() * 0.85);
    const int top = height / 2 - window.height() / 2;
    const int left = screen.width() / 2 - window.width() / 2;
    return {std::max(left, 0), std::max(top, 0)};
}

void CenterWindow(QWidget& window)
{
    QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    window.move(area.topLeft() + CenteredPosition(area.size(), window.frameGeometry().size()));
}

void MakeTopmost(QWidget& window)
{
    const bool wasVisible = window.isVisible();
    window.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (wasVisible) // changing the flags of a shown window hides it
        window.show();
}
