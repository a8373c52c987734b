// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioEngine.h"
#include "bar/Bar.h"
#include "core/PadCount.h"
#include "core/ProgramState.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"
#include "support/TestEngine.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <memory>

// Runs the event loop until done holds, for at most 10 s: timers and file watches get their turn,
// and only a hang fails.
template <typename Done>
bool Settles(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return done();
}

// Frame j of a loop holds base + j * step: every frame tells whose it is and where.
inline std::vector<float> Tagged(float base, int frames, float step = 1.0f / 10000.0f)
{
    std::vector<float> out(static_cast<std::size_t>(frames));
    for (int j = 0; j < frames; ++j)
        out[static_cast<std::size_t>(j)] = base + static_cast<float>(j) * step;
    return out;
}

// A started bar in a program folder of the test's own, with pattern skins and the engine
// rendering offline.
class BarFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::make_unique<ProgramFolder>();
        folder->writeAllSkins();
        bar = &TheForm<Bar>(deck);
        bar->show();
    }
    void TearDown() override
    {
        bar->Deck.DMC.TerminateBASS();
        folder.reset();
    }

    // What the bar's engine renders next, offline.
    std::vector<float> Render(int frames) { return ::Render(*engine, frames); }
    // Its left channel.
    std::vector<float> RenderLeft(int frames)
    {
        const std::vector<float> stereo = Render(frames);
        std::vector<float> out;
        for (std::size_t i = 0; i < stereo.size(); i += 2)
            out.push_back(stereo[i]);
        return out;
    }

    static QImage skinRect(int seed, const QRect& rect)
    {
        static const QImage allOff = ProgramFolder::patternImage(1018, 761, 1);
        static const QImage allOn = ProgramFolder::patternImage(1018, 761, 2);
        return (seed == 1 ? allOff : allOn).copy(rect);
    }
    // A control shows its lit (AllOn) or unlit (AllOff) face.
    static bool isLit(const PictureBox* control)
    {
        return control->face() == skinRect(2, control->geometry());
    }
    static bool isUnlit(const PictureBox* control)
    {
        return control->face() == skinRect(1, control->geometry());
    }
    std::vector<int> litPads() const
    {
        std::vector<int> lit;
        for (int i = 0; i < kPadCount; ++i) {
            if (isLit(bar->Picture6[i]))
                lit.push_back(i);
            else
                EXPECT_TRUE(isUnlit(bar->Picture6[i])) << "pad " << i << " shows neither face";
        }
        return lit;
    }

    void bind(int pad, const QString& name) const;
    void writeSetting(const QString& key, const QString& value) const;
    void press(int pad, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = {}) const
    {
        QTest::mousePress(bar->Picture6[pad], button, mods, QPoint(10, 10));
    }
    void release(int pad, Qt::MouseButton button = Qt::LeftButton) const
    {
        QTest::mouseRelease(bar->Picture6[pad], button, {}, QPoint(10, 10));
    }
    void click(int pad) const
    {
        press(pad);
        release(pad);
    }
    static void sendMouse(QWidget* widget, QEvent::Type type, QPointF local, Qt::MouseButton button,
                          Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, local, widget->mapToGlobal(local), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    TestEngine engine; // offline: the tests pull what the bar plays
    PadDeck deck{*engine};
    std::unique_ptr<ProgramFolder> folder;
    Bar* bar = nullptr;
};
