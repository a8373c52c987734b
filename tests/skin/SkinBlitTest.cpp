// SPDX-License-Identifier: GPL-3.0-or-later
#include "skin/SkinBlit.h"
#include "skin/PictureBox.h"
#include "support/ProgramFolder.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QImage stripImage(int width, int height)
{
    // Every row (or column) holds its own index, so an offset can be read back from a pixel.
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (y >> 8) & 0xff));
    return image;
}
int rowOf(QRgb pixel)
{
    return qGreen(pixel) + (qBlue(pixel) << 8);
}

TEST(CopySkinArea, CopiesExactlyTheRectangleUnderTheControl)
{
    QWidget window;
    window.resize(1018, 761);
    PictureBox pad(&window, QRect(143, 424, 50, 94));
    const QImage skin = ProgramFolder::patternImage(1018, 761, 2);
    CopySkinArea(pad, skin);
    EXPECT_EQ(pad.face(), skin.copy(143, 424, 50, 94));
}

TEST(CopySkinArea, WritesOnlyWhereTheSourceReaches)
{
    QWidget window;
    PictureBox control(&window, QRect(90, 40, 20, 20));
    control.face().fill(Qt::red);
    const QImage small = ProgramFolder::patternImage(100, 50, 3);
    CopySkinArea(control, small);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool covered = 90 + x < 100 && 40 + y < 50;
            const QRgb expected = covered ? small.pixel(90 + x, 40 + y) : qRgb(255, 0, 0);
            ASSERT_EQ(control.face().pixel(x, y), expected) << x << "," << y;
        }
    // A missing image leaves the face as it was.
    CopySkinArea(control, QImage());
    EXPECT_EQ(control.face().pixel(19, 19), qRgb(255, 0, 0));
}

struct StripCase {
    int stripLength, count, frame, offset;
};

TEST(DrawStripFrame, OffsetsRoundHalfToEven)
{
    const StripCase cases[] = {{100, 8, 0, 0},      {100, 8, 1, 12},      {100, 8, 3, 38},
                               {100, 8, 5, 62},     {1280, 32, 26, 1040}, {2176, 32, 31, 2108},
                               {2176, 32, 26, 1768}};
    for (const StripCase& c : cases)
        EXPECT_EQ(StripFrameOffset(c.stripLength, c.frame, c.count), c.offset)
            << c.stripLength << "/" << c.count << " frame " << c.frame;
}

TEST(DrawStripFrame, ReadsVerticallyOnlyForOrientationOne)
{
    QWidget window;
    PictureBox knob(&window, QRect(0, 0, 10, 12));
    const QImage vertical = stripImage(10, 100);
    DrawStripFrame(knob, vertical, 3, 8, 1);
    EXPECT_EQ(rowOf(knob.face().pixel(0, 0)), 38);
    EXPECT_EQ(rowOf(knob.face().pixel(0, 11)), 49);

    const QImage horizontal = stripImage(100, 12);
    for (int orientation : {0, 2, -1}) {
        knob.face().fill(Qt::black);
        DrawStripFrame(knob, horizontal, 5, 8, orientation);
        EXPECT_EQ(qRed(knob.face().pixel(0, 0)), 62) << orientation;
    }
}

TEST(DrawStripFrame, AFrameOutsideTheStripDrawsNothing)
{
    QWidget window;
    PictureBox knob(&window, QRect(0, 0, 73, 68));
    const QImage strip = stripImage(73, 68 * 32);
    DrawStripFrame(knob, strip, 31, 32, 1);
    const QImage lastFrame = knob.face();
    for (int frame : {32, 33, 40, -1, -5}) {
        DrawStripFrame(knob, strip, frame, 32, 1);
        EXPECT_EQ(knob.face(), lastFrame) << frame;
    }
}

TEST(SkinFiles, TheBitmapWinsOverTheJpeg)
{
    ProgramFolder folder;
    folder.writeSkin("AllOn", 8, 8, 1, "jpg");
    EXPECT_EQ(SkinFilePath("AllOn"), folder.skinFolder() + "AllOn.jpg");
    EXPECT_FALSE(LoadSkinImage("AllOn").isNull());
    folder.writeSkin("AllOn", 8, 8, 2, "bmp");
    EXPECT_EQ(SkinFilePath("AllOn"), folder.skinFolder() + "AllOn.bmp");
    EXPECT_EQ(LoadSkinImage("AllOn").pixel(5, 3), ProgramFolder::skinPixel(5, 3, 2));
    EXPECT_TRUE(LoadSkinImage("Missing").isNull());
}

TEST(CenterWindow, CentresOnFortyTwoAndAHalfPercentOfTheScreenHeight)
{
    EXPECT_EQ(CenteredPosition({1024, 768}, {600, 200}), QPoint(212, 226));
    EXPECT_EQ(CenteredPosition({1920, 1080}, {1018, 761}), QPoint(451, 79));
    EXPECT_EQ(CenteredPosition({1024, 768}, {600, 700}), QPoint(212, 0)); // too tall
    EXPECT_EQ(CenteredPosition({800, 600}, {1018, 300}), QPoint(0, 105)); // too wide
}

TEST(PictureBox, DeliversEveryButtonAndKeepsItsFace)
{
    QWidget window;
    window.resize(200, 200);
    PictureBox box(&window, QRect(10, 10, 50, 40));
    box.face().fill(Qt::green);
    std::vector<std::tuple<char, int, int>> events;
    box.MouseDown = [&](int button, int shift, double, double) {
        events.emplace_back('d', button, shift);
    };
    box.MouseUp = [&](int button, int shift, double, double) {
        events.emplace_back('u', button, shift);
    };
    window.show();
    QTest::mousePress(&box, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 5));
    QTest::mouseRelease(&box, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 5));
    QTest::mousePress(&box, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(&box, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 5));
    const std::vector<std::tuple<char, int, int>> expected = {{'d', kRightButton, kShiftKey},
                                                              {'u', kRightButton, kShiftKey},
                                                              {'d', kMiddleButton, 0},
                                                              {'u', kMiddleButton, 0}};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(box.grab().toImage().pixel(20, 20), QColor(Qt::green).rgb());
}

} // namespace
