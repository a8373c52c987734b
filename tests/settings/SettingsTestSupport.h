// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bar/BarTestSupport.h"
#include "core/SettingsStore.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QPushButton>

// The settings page opened from a started bar, with pad 4 (index 3) bound to a steady 0.5 level.
class SettingsFixture : public BarFixture {
protected:
    static constexpr int kBlock = 256;

    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Groove.wav", Constant(0.5f, 4410)));
        bind(3, "Groove.wav");
    }

    Settings& open()
    {
        QTest::mousePress(bar->Picture4, Qt::LeftButton, {}, QPoint(5, 5));
        settings = LoadedForm<Settings>();
        EXPECT_NE(settings, nullptr);
        return *settings;
    }
    void padPage() const { QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5)); }

    // Knob mouse events at pixel positions inside the knob, as the window system delivers them.
    static void knobPress(SliderKnob* knob, double x = 5, Qt::MouseButton button = Qt::LeftButton)
    {
        sendMouse(knob, QEvent::MouseButtonPress, QPointF(x, 5), button, button);
    }
    static void knobMove(SliderKnob* knob, double x, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        sendMouse(knob, QEvent::MouseMove, QPointF(x, 5), Qt::NoButton, buttons);
    }
    static void knobRelease(SliderKnob* knob, QPointF at = QPointF(5, 5),
                            Qt::MouseButton button = Qt::LeftButton)
    {
        sendMouse(knob, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }
    // Grabs the knob 5 pixels from its left and moves the mouse by dx pixels (15 twips each).
    static void dragBy(SliderKnob* knob, double dx)
    {
        knobPress(knob);
        knobMove(knob, 5 + dx);
    }
    static void dragTo(SliderKnob* knob, double twips)
    {
        dragBy(knob, (twips - knob->KnobLeft()) / 15.0);
    }

    // A click on an entry of a list, as the user makes it.
    static void pick(ListControl* list, const QString& text)
    {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list->scrollToItem(found.first());
        const QRect rect = list->visualItemRect(found.first());
        ASSERT_TRUE(list->viewport()->rect().contains(rect.center()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString stored(const QString& key) const
    {
        return ReadSetting(QStringLiteral("Quendel"), key, folder->settingsFile(),
                           QStringLiteral("<none>"));
    }
    QString storedPad(int pad) const
    {
        return ReadSetting(QStringLiteral("Samples"), QStringLiteral("Sample %1").arg(pad + 1),
                           folder->settingsFile(), QStringLiteral("<none>"));
    }

    ChannelLevels levelsNow() { return LevelsOf(Render(4 * kBlock), kBlock); }

    Settings* settings = nullptr;
};
