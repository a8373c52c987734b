// SPDX-License-Identifier: GPL-3.0-or-later
// The output menu on the bar's title area and clock.

#include "BarTestSupport.h"
#include "core/SettingsStore.h"

#include <QAction>
#include <QMenu>

namespace {

class BarOutput : public BarFixture {
protected:
    void TearDown() override
    {
        bar->Outputs->menu().close();
        engine->host().setOutputChoice({});
        BarFixture::TearDown();
    }
    void rightClick(QWidget* area) const
    {
        QTest::mousePress(area, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseRelease(area, Qt::RightButton, {}, QPoint(5, 5));
    }
    QMenu& menu() const { return bar->Outputs->menu(); }
    QAction* entry(const QString& text) const
    {
        for (QAction* action : menu().actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    // The outputs checked (the clock's and the transport's entries left out).
    QStringList checked() const
    {
        QStringList texts;
        for (QAction* action : menu().actions())
            if (action->isChecked() && action->data().isValid())
                texts << action->text();
        return texts;
    }
};

} // namespace

TEST_F(BarOutput, ARightClickOnTheTitleOrTheClockOffersTheOutputsWithTheStoredOneChecked)
{
    writeSetting(QStringLiteral("Output"), QStringLiteral("SDL"));
    for (QWidget* area : std::initializer_list<QWidget*>{bar->Image2, bar->Label5}) {
        rightClick(area);
        ASSERT_TRUE(Settles([&] { return menu().isVisible(); }));
        // First a line that says where the sound goes now; then the outputs.
        EXPECT_FALSE(menu().actions().front()->isEnabled());
        EXPECT_TRUE(menu().actions().front()->text().startsWith(QStringLiteral("No sound device")))
            << menu().actions().front()->text().toStdString();
        EXPECT_NE(entry(QStringLiteral("Default (JACK, else PulseAudio, else SDL)")), nullptr);
        // SDL's dummy driver names its one device.
        EXPECT_NE(entry(QStringLiteral("SDL: System audio output device")), nullptr);
        // No JACK server answers here, so none is offered.
        EXPECT_EQ(entry(QStringLiteral("JACK")), nullptr);
        EXPECT_EQ(checked(), QStringList{QStringLiteral("SDL default device")});
        menu().close();
    }
}

TEST_F(BarOutput, AChoiceGoesToTheEngineAndIntoTheSettingsFileForTheNextStart)
{
    rightClick(bar->Image2);
    ASSERT_TRUE(Settles([&] { return menu().isVisible(); }));
    EXPECT_EQ(checked(), QStringList{QStringLiteral("Default (JACK, else PulseAudio, else SDL)")});
    entry(QStringLiteral("SDL: System audio output device"))->trigger();
    EXPECT_EQ(engine->host().outputChoice(),
              OutputChoice::fromText("SDL: System audio output device"));
    EXPECT_EQ(ReadSetting(QStringLiteral("Quendel"), QStringLiteral("Output"),
                          folder->settingsFile(), {}),
              QStringLiteral("SDL: System audio output device"));

    // A stored output that is away now still shows checked: the next start tries it first.
    writeSetting(QStringLiteral("Output"), QStringLiteral("JACK"));
    rightClick(bar->Label5);
    EXPECT_EQ(checked(), QStringList{QStringLiteral("JACK")});
    // And a hand edit into nonsense is the default.
    writeSetting(QStringLiteral("Output"), QStringLiteral("the big speakers"));
    rightClick(bar->Label4);
    EXPECT_EQ(checked(), QStringList{QStringLiteral("Default (JACK, else PulseAudio, else SDL)")});
}

TEST_F(BarOutput, LinkStaysOffUntilSwitchedOnAndItsStartStopSwitchIsStored)
{
    bar->Outputs->populate();
    QAction* link = entry(QStringLiteral("Ableton Link"));
    QAction* startStop = entry(QStringLiteral("Link start/stop"));
    ASSERT_NE(link, nullptr);
    ASSERT_NE(startStop, nullptr);
    EXPECT_TRUE(link->isCheckable());
    EXPECT_FALSE(link->isChecked());
    EXPECT_FALSE(startStop->isChecked());
    EXPECT_EQ(bar->Link, nullptr) << "a file without the key never joins";
    EXPECT_EQ(bar->Strip->Tempo->caption(), QStringLiteral("TEMPO"));

    // Sharing start and stop is remembered for a session to come, and joins none by itself.
    startStop->trigger();
    EXPECT_EQ(ReadSetting(AppModul::AppTitle, QStringLiteral("LinkStartStop"),
                          AppModul::SettingsFile, QString()),
              QStringLiteral("on"));
    EXPECT_EQ(bar->Link, nullptr);
    bar->Outputs->populate();
    EXPECT_TRUE(entry(QStringLiteral("Link start/stop"))->isChecked());
}

TEST_F(BarOutput, TheClockAndTransportEntriesAreStoredAtOnceAndReachTheEngine)
{
    const auto stored = [&](const char* key) {
        return ReadSetting(QStringLiteral("Quendel"), QString::fromLatin1(key),
                           folder->settingsFile(), QStringLiteral("(none)"));
    };
    const auto shown = [&] {
        QStringList texts;
        for (QAction* action : menu().actions())
            if (action->isChecked() && !action->data().isValid())
                texts << action->text();
        return texts;
    };
    rightClick(bar->Image2);
    ASSERT_TRUE(Settles([&] { return menu().isVisible(); }));
    EXPECT_EQ(shown(), (QStringList{"MIDI clock: off", "JACK transport: off"}));

    entry(QStringLiteral("MIDI clock: send"))->trigger();
    EXPECT_EQ(stored("MidiClockOut"), "on");
    EXPECT_TRUE(engine->host().clockOut().enabled());
    entry(QStringLiteral("JACK transport: lead"))->trigger();
    EXPECT_EQ(stored("JackTransport"), "lead");
    EXPECT_EQ(engine->host().transport().mode(), JackTransportShare::Mode::Lead);
    rightClick(bar->Label5);
    EXPECT_EQ(shown(), (QStringList{"MIDI clock: send", "JACK transport: lead"}));

    // Following and sending exclude each other.
    entry(QStringLiteral("MIDI clock: follow"))->trigger();
    EXPECT_EQ(stored("MidiClock"), "follow");
    EXPECT_EQ(stored("MidiClockOut"), "off");
    EXPECT_FALSE(engine->host().clockOut().enabled());
    entry(QStringLiteral("JACK transport: off"))->trigger();
    EXPECT_EQ(engine->host().transport().mode(), JackTransportShare::Mode::Off);
}
