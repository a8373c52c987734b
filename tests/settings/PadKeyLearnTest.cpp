// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsTestSupport.h"

#include "deck/PadTriggers.h"
#include "settings/PadKeyLearn.h"

#include <QFile>
#include <QKeyEvent>

namespace {

class PadKeyLearnFixture : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        open();
        learn = settings->Learn;
    }
    static void key(QWidget* to, int key, quint32 scan, QEvent::Type type = QEvent::KeyPress)
    {
        QKeyEvent event(type, key, Qt::NoModifier, scan, 0, 0);
        QApplication::sendEvent(to, &event);
    }
    void tapOnBar(int k, quint32 scan) const
    {
        key(bar, k, scan);
        key(bar, k, scan, QEvent::KeyRelease);
    }
    // The stored line, or nothing when the section has no such line.
    std::optional<QString> storedTriggers(const QString& action) const
    {
        QFile file(folder->settingsFile());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return FindSettingValue(file.readAll(), u"Triggers", action);
    }
    void startLearning(const QString& pad)
    {
        pick(settings->List1, pad);
        QTest::mouseClick(learn->Button, Qt::LeftButton);
        ASSERT_TRUE(learn->isWaiting());
        ASSERT_EQ(learn->Button->text(), "PRESS A KEY");
    }

    PadKeyLearn* learn = nullptr;
};

TEST_F(PadKeyLearnFixture, ALearnedKeyIsStoredShownAndPlaysItsPadAlone)
{
    pick(settings->List1, "Sample 4");
    EXPECT_EQ(learn->KeysLabel->text(), "F4, 3");
    startLearning("Sample 4");
    key(learn->Button, Qt::Key_Shift, 50); // a modifier alone: still waiting
    EXPECT_TRUE(learn->isWaiting());
    key(learn->Button, Qt::Key_K, 53);
    EXPECT_FALSE(learn->isWaiting());
    EXPECT_EQ(learn->Button->text(), "LEARN");
    EXPECT_EQ(storedTriggers("Pad 4"), "F4, Scan 12, K");
    EXPECT_EQ(learn->KeysLabel->text(), "F4, 3, K");
    EXPECT_EQ(bar->Deck.ActivePad, 100); // the key only taught

    tapOnBar(Qt::Key_K, 53);
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    EXPECT_TRUE(bar->Picture6[3]->toolTip().endsWith("F4, 3, K"));

    // F1 taken over by pad 4 no longer plays pad 1.
    startLearning("Sample 4");
    key(learn->Button, Qt::Key_F1, 67);
    EXPECT_EQ(storedTriggers("Pad 1"), "Scan 49");
    tapOnBar(Qt::Key_F1, 67);
    EXPECT_EQ(bar->Deck.ActivePad, 3); // the pick's preview had stopped pad 4; F1 starts it
}

TEST_F(PadKeyLearnFixture, BackspaceClearsThePadAndEscOrAnotherChoiceCancels)
{
    startLearning("Sample 4");
    key(learn->Button, Qt::Key_Backspace, 22);
    EXPECT_EQ(storedTriggers("Pad 4"), QString());
    EXPECT_EQ(learn->KeysLabel->text(), "");
    tapOnBar(Qt::Key_F4, 70);
    EXPECT_EQ(bar->Deck.ActivePad, 100);

    startLearning("Sample 5");
    key(learn->Button, Qt::Key_Escape, 9);
    EXPECT_FALSE(learn->isWaiting());
    EXPECT_EQ(learn->Button->text(), "LEARN");

    startLearning("Sample 5");
    pick(settings->List1, "Sample 6"); // a click elsewhere, another pad
    EXPECT_FALSE(PadKeyLearn::anyWaiting());
    EXPECT_EQ(storedTriggers("Pad 5"), std::nullopt);
    EXPECT_EQ(storedTriggers("Pad 6"), std::nullopt);
}

} // namespace
