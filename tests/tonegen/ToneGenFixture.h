// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bar/BarTestSupport.h"
#include "core/SettingsStore.h"
#include "startup/InstallationStep.h"
#include "tonegen/ToneBlock.h"
#include "tonegen/ToneFrequencyEntry.h"
#include "tonegen/frmToneGen.h"

#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <vector>

// The tone generator opened from the bar, with the gestures and looks its tests check.

inline std::vector<std::uint8_t> expectedBlock(int frequency, float volume)
{
    std::vector<std::uint8_t> block;
    ToneBlock::Fill(block, frequency, volume, 1.0f);
    return block;
}

class ToneGenWindow : public BarFixture {
protected:
    void SetUp() override
    {
        // Captions group digits the user's way; the machine's own locale may be "C".
        QLocale::setDefault(QLocale(QLocale::German));
        BarFixture::SetUp();
    }
    void TearDown() override
    {
        BarFixture::TearDown();
        QLocale::setDefault(QLocale::c());
    }

    frmToneGen* open()
    {
        page(2);
        toneGen = LoadedForm<frmToneGen>();
        return toneGen;
    }
    void page(int k) const
    {
        QTest::mousePress(bar->Picture1[k], Qt::LeftButton, {}, QPoint(5, 5));
    }

    // A drag of the marker: press at the pointer column, then one move to local x.
    void pressMarker(double x = 35, Qt::MouseButton button = Qt::LeftButton) const
    {
        sendMouse(toneGen->Picture1, QEvent::MouseButtonPress, QPointF(x, 20), button, button);
    }
    void moveMarker(double x) const
    {
        sendMouse(toneGen->Picture1, QEvent::MouseMove, QPointF(x, 20), Qt::NoButton,
                  Qt::LeftButton);
    }
    void releaseMarker() const
    {
        sendMouse(toneGen->Picture1, QEvent::MouseButtonRelease, QPointF(35, 20), Qt::LeftButton,
                  Qt::NoButton);
    }
    // Double-clicks the readout and types text into the field that opens, then the key.
    void type(const QString& text, Qt::Key key = Qt::Key_Return) const
    {
        QTest::mouseDClick(toneGen->lblFreq, Qt::LeftButton, {}, QPoint(20, 10));
        ASSERT_TRUE(toneGen->txtFreq->isVisible());
        toneGen->txtFreq->selectAll();
        QTest::keyClick(toneGen->txtFreq, Qt::Key_Backspace);
        QTest::keyClicks(toneGen->txtFreq, text);
        QTest::keyClick(toneGen->txtFreq, key);
    }
    static QString stored(const char* key)
    {
        return ReadSetting(AppModul::AppTitle, QLatin1String(key), AppModul::SettingsFile,
                           QStringLiteral("(absent)"));
    }
    void pressKnob(double y = 30) const
    {
        sendMouse(toneGen->Picture3, QEvent::MouseButtonPress, QPointF(36, y), Qt::LeftButton,
                  Qt::LeftButton);
    }
    void moveKnob(double y) const
    {
        sendMouse(toneGen->Picture3, QEvent::MouseMove, QPointF(36, y), Qt::NoButton,
                  Qt::LeftButton);
    }
    void releaseKnob() const
    {
        sendMouse(toneGen->Picture3, QEvent::MouseButtonRelease, QPointF(36, 0), Qt::LeftButton,
                  Qt::NoButton);
    }
    // Drags the knob up by six pixels: one frame louder.
    void knobUp()
    {
        pressKnob(30);
        moveKnob(0);
        releaseKnob();
    }
    void clickPink() const
    {
        QTest::mouseClick(toneGen->Picture2, Qt::LeftButton, {}, QPoint(20, 20));
    }

    // The tone generator's own skins: 6 unlit, 7 lit, 8 the knob strip of 68-pixel frames.
    bool showsSkin(const PictureBox* control, int seed) const
    {
        return control->face() ==
               ProgramFolder::patternImage(820, 268, seed).copy(control->geometry());
    }
    bool knobShowsFrame(int frame) const
    {
        static const QImage strip = ProgramFolder::patternImage(73, 68 * 32, 8);
        return toneGen->Picture3->face() == strip.copy(0, frame * 68, 73, 68);
    }
    bool silent() const
    {
        const auto& block = toneGen->toneBlock();
        return !block.empty() &&
               std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 128; });
    }
    // A steady level stands in for the noise, so that any sine left over would show.
    void writePink() const
    {
        ASSERT_TRUE(WriteTestSound(AppModul::TempFolder + "pink.wav", Constant(0.25f, 44100)));
    }
    // The peak-to-peak swing of what sounds, once a rewrite has faded over.
    float swing()
    {
        Render(2048);
        const std::vector<float> out = Render(4101);
        const auto [low, high] = std::minmax_element(out.begin(), out.end());
        return *high - *low;
    }

    frmToneGen* toneGen = nullptr;
};
