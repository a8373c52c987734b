// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrequencyScale.h"
#include "SkinFaces.h"
#include "skin/SkinLayout.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>
#include <gtest/gtest.h>

#include <vector>

using namespace SkinLayout;

namespace {

QString skinPath(const char* baseName)
{
    return QStringLiteral(QUENDEL_SKIN_DIR "/") + QString::fromLatin1(baseName) +
           QStringLiteral(".bmp");
}

QImage loadSkin(const char* baseName)
{
    return QImage(skinPath(baseName)).convertToFormat(QImage::Format_RGB32);
}

double meanLightness(const QImage& image, const QRect& rect)
{
    double sum = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (rect.width() * rect.height());
}

int maxLightness(const QImage& image, const QRect& rect)
{
    int most = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            most = std::max(most, qGray(image.pixel(x, y)));
    return most;
}

struct SkinFile {
    const char* name;
    QSize size;
};

TEST(SkinImages, EveryFileIsA24BitBitmapOfItsWindowsSize)
{
    for (const SkinFile file :
         {SkinFile{"AllOff", kBarSize}, SkinFile{"AllOn", kBarSize},
          SkinFile{"Settings", kToolSize}, SkinFile{"TunerOff", kToolSize},
          SkinFile{"TunerOn", kToolSize}, SkinFile{"ToneOff", kToolSize},
          SkinFile{"ToneOn", kToolSize}, SkinFile{"PotiClip", QSize(73, 68 * kKnobFrames)}}) {
        QFile bitmap(skinPath(file.name));
        ASSERT_TRUE(bitmap.open(QIODevice::ReadOnly)) << file.name;
        const QByteArray header = bitmap.read(30);
        ASSERT_EQ(header.size(), 30);
        EXPECT_EQ(header.left(2), QByteArray("BM")) << file.name;
        EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + 28), 24) << file.name;
        EXPECT_EQ(QImage(skinPath(file.name)).size(), file.size) << file.name;
    }
}

struct LitPair {
    const char* off;
    const char* on;
    std::vector<QRect> elements;
};

std::vector<LitPair> litPairs()
{
    std::vector<QRect> bar{kSamplesButton, kTunerButton, kToneGenButton, kSettingsButton,
                           kExitButton};
    for (int i = 0; i < kPadCount; ++i)
        bar.push_back(padRect(i));
    std::vector<QRect> tuner(kStringButtons.begin(), kStringButtons.end());
    tuner.push_back(kLoopSwitch);
    tuner.push_back(kListenSwitch);
    return {{"AllOff", "AllOn", bar},
            {"TunerOff", "TunerOn", tuner},
            {"ToneOff", "ToneOn", {kPinkButton}}};
}

// The program draws a lit element by copying its rectangle out of the lit face: anything that
// differed outside the elements would show as a seam, and an element that did not brighten would
// give the player no answer to the press.
TEST(SkinImages, LitFacesDifferOnlyInsideTheirElementsAndGlowThere)
{
    for (const LitPair& pair : litPairs()) {
        const QImage off = loadSkin(pair.off);
        const QImage on = loadSkin(pair.on);
        ASSERT_EQ(off.size(), on.size()) << pair.on;
        int strayPixels = 0;
        for (int y = 0; y < off.height(); ++y) {
            for (int x = 0; x < off.width(); ++x) {
                bool inside = false;
                for (const QRect& rect : pair.elements)
                    inside = inside || rect.contains(x, y);
                if (!inside && off.pixel(x, y) != on.pixel(x, y))
                    ++strayPixels;
            }
        }
        EXPECT_EQ(strayPixels, 0) << pair.on;
        for (const QRect& rect : pair.elements) {
            EXPECT_GT(meanLightness(on, rect), meanLightness(off, rect) + 15)
                << pair.on << " at " << rect.x() << "," << rect.y();
        }
    }
}

// The program writes its own texts (clock, minimise sign, values, version) in light colours on
// these spots.
TEST(SkinImages, SpotsForTheProgramsTextsStayDark)
{
    struct Spot {
        const char* image;
        QRect rect;
    };
    for (const Spot spot : {Spot{"AllOff", kMinimiseLabel}, Spot{"AllOn", kClockLabel},
                            Spot{"Settings", kSelectedFileLabel}, Spot{"Settings", kVolumeValue},
                            Spot{"Settings", kPanValue}, Spot{"ToneOff", kFrequencyReadout}}) {
        const QImage image = loadSkin(spot.image);
        EXPECT_LT(meanLightness(image, spot.rect), 30) << spot.image << " " << spot.rect.x();
        EXPECT_LT(maxLightness(image, spot.rect), 90) << spot.image << " " << spot.rect.x();
    }
    const QImage intro(QStringLiteral(":/images/intro.png"));
    EXPECT_LT(meanLightness(intro, kVersionLabel), 30);
}

TEST(SkinImages, KnobStripBlendsIntoTheToneGeneratorAndTurnsFrameByFrame)
{
    const QImage strip = loadSkin("PotiClip");
    const QImage off = loadSkin("ToneOff");
    const QImage on = loadSkin("ToneOn");
    ASSERT_EQ(strip.size(), QSize(kLevelKnob.width(), kLevelKnob.height() * kKnobFrames));
    const QImage seat = off.copy(kLevelKnob);
    for (int frame = 0; frame < kKnobFrames; ++frame) {
        const QImage picture =
            strip.copy(0, frame * kLevelKnob.height(), kLevelKnob.width(), kLevelKnob.height());
        // The corners lie outside the knob: there the frame is the face's own background.
        for (const QPoint corner : {QPoint(0, 0), QPoint(72, 0), QPoint(0, 67), QPoint(72, 67),
                                    QPoint(3, 3), QPoint(69, 64)})
            EXPECT_EQ(picture.pixel(corner), seat.pixel(corner)) << "frame " << frame;
        if (frame > 0) {
            const QImage previous = strip.copy(0, (frame - 1) * kLevelKnob.height(),
                                               kLevelKnob.width(), kLevelKnob.height());
            EXPECT_NE(picture, previous) << "frame " << frame;
        }
    }
    // The window shows frame 26 at load: the face already carries that very picture.
    EXPECT_EQ(strip.copy(0, 26 * kLevelKnob.height(), kLevelKnob.width(), kLevelKnob.height()),
              seat);
    EXPECT_EQ(on.copy(kLevelKnob), seat);
}

// A mark is a bright one-pixel line on the dark rail; the column beside it is darker.
TEST(SkinImages, ScaleMarksSitWhereTheMarkerPoints)
{
    const QImage face = loadSkin("ToneOff");
    const int row = 80;
    for (double frequency : {20.0, 50.0, 80.0, 100.0, 250.0, 500.0, 1000.0, 10000.0}) {
        const int column = FrequencyScale::markColumnFor(frequency);
        const int mark = qGray(face.pixel(column, row));
        EXPECT_GT(mark, qGray(face.pixel(column - 1, row)) + 40) << frequency;
        EXPECT_GT(mark, qGray(face.pixel(column + 1, row)) + 40) << frequency;
    }
    // The marker's red hairline is its pointer.
    const QImage marker =
        QImage(QStringLiteral(":/images/marker.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(marker.size(), kMarkerSize);
    int reddest = -1;
    int bestRedness = -1000;
    for (int x = 0; x < marker.width(); ++x) {
        const QColor colour(marker.pixel(x, 20));
        const int redness = colour.red() - (colour.green() + colour.blue()) / 2;
        if (redness > bestRedness) {
            bestRedness = redness;
            reddest = x;
        }
    }
    EXPECT_EQ(reddest, FrequencyScale::kPointerOffset);
}

TEST(SkinImages, TheLinkCursorIsTransparentAroundItsHotSpot)
{
    const QImage cursor(QStringLiteral(":/images/linkcursor.png"));
    ASSERT_EQ(cursor.size(), QSize(32, 32));
    ASSERT_TRUE(cursor.hasAlphaChannel());
    EXPECT_EQ(qAlpha(cursor.pixel(31, 0)), 0);
    EXPECT_EQ(qAlpha(cursor.pixel(0, 31)), 0);
    EXPECT_GT(qAlpha(cursor.pixel(SkinFaces::kLinkCursorHotSpot)), 128);
}

// The same build paints the same skin: the faces are not left to chance.
TEST(SkinImages, PaintingIsDeterministic)
{
    EXPECT_EQ(SkinFaces::paintTunerFace(true), loadSkin("TunerOn"));
    EXPECT_EQ(SkinFaces::paintSettingsFace(), SkinFaces::paintSettingsFace());
}

} // namespace
