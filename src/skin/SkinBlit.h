// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

class PictureBox;
class QWidget;

// Draws a control lit or unlit: copies the rectangle of source that lies under the target (the
// target's position on its window) into the target's face, pixel for pixel. Only the overlap of
// the rectangle with the source image is written; the rest of the face stays as it was.
void CopySkinArea(PictureBox& target, const PictureBox& source);
void CopySkinArea(PictureBox& target, const QImage& source);

// Draws one frame of a strip of count frames into target. orientation 1 reads the strip top to
// bottom, any other value left to right. Frame sizes need not be whole pixels: the offset is
// frame x size rounded to the nearest pixel, a half going to the even one. A frame outside the
// strip draws nothing (only what overlaps the strip is ever copied).
void DrawStripFrame(PictureBox& target, const PictureBox& strip, int frame, int count,
                    int orientation);
void DrawStripFrame(PictureBox& target, const QImage& strip, int frame, int count, int orientation);
// The offset of a frame in the strip (0 for frame 0).
int StripFrameOffset(int stripLength, int frame, int count);

// Copies the part of source at sourceOrigin that overlaps both images into target at (0, 0).
void CopyOverlap(QImage& target, const QImage& source, QPoint sourceOrigin);

// The skin image baseName (the user's own or the default one, see AppModul::SkinImageFile).
QString SkinFilePath(const QString& baseName);
QImage LoadSkinImage(const QString& baseName);

// Places a window centred horizontally and centred on 42.5 % of the screen height, never above or
// left of the screen's edge. Pure form: the top-left corner for a window on a screen.
QPoint CenteredPosition(QSize screen, QSize window);
void CenterWindow(QWidget& window);

// Keeps a window above all normal windows. Call before the window is first shown.
void MakeTopmost(QWidget& window);
