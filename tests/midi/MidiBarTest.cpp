// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsTestSupport.h"

#include "core/PadBanks.h"
#include "midi/MidiPads.h"
#include "settings/PadKeyLearn.h"
#include "settings/SliderMidiLearn.h"

#include <QFile>
#include <QSignalSpy>

#include <map>
#include <vector>

namespace {

// The controller's side of a transport: what it plays into Quendel, what Quendel lights on it.
class FakeTransport : public MidiTransport {
public:
    void setReceiver(Receiver r) override { receiver = std::move(r); }
    void send(const std::uint8_t* bytes, std::size_t size) override
    {
        sent.emplace_back(bytes, bytes + size);
    }
    bool connected() const override { return true; }
    const char* name() const override { return "test"; }

    void message(int status, int channel, int number, int value)
    {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(status | (channel - 1)),
                                       static_cast<std::uint8_t>(number),
                                       static_cast<std::uint8_t>(value)};
        if (receiver)
            receiver(bytes, 3);
    }
    void noteOn(int note, int channel = 1) { message(0x90, channel, note, 100); }
    void noteOff(int note, int channel = 1) { message(0x90, channel, note, 0); }
    void control(int number, int value, int channel = 1) { message(0xB0, channel, number, value); }
    void program(int number, int channel = 1)
    {
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(0xC0 | (channel - 1)),
                                       static_cast<std::uint8_t>(number)};
        if (receiver)
            receiver(bytes, 2);
    }

    Receiver receiver;
    std::vector<std::vector<std::uint8_t>> sent;
};

class MidiBar : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Beat.wav", Constant(0.5f, 4410)));
        bind(6, "Beat.wav");
        if (!bar->Midi)
            bar->Midi = std::make_unique<BarMidi>(*bar);
        bar->Midi->useTransport(midi);
        pads = bar->Midi->pads();
        midi.sent.clear();
    }
    void TearDown() override
    {
        bar->Midi.reset(); // the transport goes with the test
        SettingsFixture::TearDown();
    }
    void drain() const { pads->drain(); }
    // The lights sent, as "note:on" / "note:off" with channel when not 1.
    // The controller's last word on every pad's default note is what the bar shows.
    void expectLightsMatchPads() const
    {
        QCoreApplication::processEvents();
        std::map<int, bool> last;
        for (const auto& m : midi.sent)
            last[m[1]] = (m[0] & 0xF0) == 0x90 && m[2] == 127;
        const std::vector<int> lit = litPads();
        for (const auto& [note, on] : last)
            EXPECT_EQ(on, std::find(lit.begin(), lit.end(), note - 36) != lit.end()) << note;
    }
    std::vector<std::string> lights() const
    {
        QCoreApplication::processEvents(); // lights go out once the event that set them is over
        std::vector<std::string> out;
        for (const auto& m : midi.sent) {
            std::string text =
                std::to_string(m[1]) + ((m[0] & 0xF0) == 0x90 && m[2] == 127 ? ":on" : ":off");
            if ((m[0] & 0x0F) != 0)
                text += " ch" + std::to_string((m[0] & 0x0F) + 1);
            out.push_back(text);
        }
        return out;
    }
    std::optional<QString> storedTrigger(const QString& key) const
    {
        QFile file(folder->settingsFile());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return FindSettingValue(file.readAll(), u"Triggers", key);
    }

    FakeTransport midi;
    MidiPads* pads = nullptr;
};

TEST_F(MidiBar, ANoteOnPlaysItsPadAsTheMouseDoesAndLightsIt)
{
    midi.noteOn(39); // pad 4
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    EXPECT_EQ(litPads(), std::vector<int>{3});
    EXPECT_GT(levelsNow().left, 0.1f);
    midi.noteOff(39);
    midi.noteOn(39, 10); // any channel: the playing pad stops
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 100);
    EXPECT_EQ(litPads(), std::vector<int>{});
    EXPECT_LT(levelsNow().left, 0.001f);
    midi.noteOn(70); // no pad
    drain();
    // The stop lit the pad for a moment: the controller hears only the end of it.
    EXPECT_EQ(lights(), (std::vector<std::string>{"39:on", "39:off"}));

    midi.noteOn(42); // left to the wake-up from the transport's thread: no drain by hand
    EXPECT_TRUE(Settles([&] { return bar->Deck.ActivePad == 6; }));
}

TEST_F(MidiBar, AProgramChangeShowsItsBankAndTheNotesAfterItPlayThatBanksPads)
{
    ASSERT_TRUE(WriteTestSound(folder->soundsFolder() + "Fill.wav", Constant(0.5f, 4410)));
    WriteSetting("Samples B", "Sample 7", "Fill.wav", folder->settingsFile());
    midi.noteOn(42); // pad 7 of bank A
    drain();
    ASSERT_EQ(bar->Deck.activeDeckPad(), 6);
    midi.sent.clear();

    midi.program(1, 5); // any channel
    midi.noteOn(42);
    drain();
    EXPECT_EQ(PadBanks::Shown(), 1);
    EXPECT_EQ(bar->Deck.activeDeckPad(), kPadCount + 6) << "bank B's pad 7 took over";
    EXPECT_EQ(litPads(), std::vector<int>{6});
    EXPECT_EQ(lights(), std::vector<std::string>{}) << "pad 7's light was on and stays on";

    midi.program(8); // beyond the banks: another device's program, not ours
    midi.program(0x45);
    drain();
    EXPECT_EQ(PadBanks::Shown(), 1);
    midi.program(0);
    drain();
    EXPECT_EQ(PadBanks::Shown(), 0);
    EXPECT_EQ(litPads(), std::vector<int>{}) << "bank B's loop plays on, unseen";
    EXPECT_EQ(lights(), std::vector<std::string>{"42:off"});

    // With a setlist, a program picks its song, which brings its bank.
    WriteSetting("Setlist", "Song 1", "Opener | A", folder->settingsFile());
    WriteSetting("Setlist", "Song 2", "Encore | C", folder->settingsFile());
    bar->Deck.Songs.reload();
    midi.program(1);
    drain();
    EXPECT_EQ(bar->Deck.Songs.current(), 1);
    EXPECT_EQ(PadBanks::Shown(), 2);
}

TEST_F(MidiBar, APedalsNotesStepThroughTheBoundPads)
{
    WriteSetting("Triggers", "Next Pad", "Note 70", folder->settingsFile());
    WriteSetting("Triggers", "Previous Pad", "Note 71", folder->settingsFile());
    pads->reload();
    midi.noteOn(70);
    midi.noteOff(70);
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 3) << "the first bound pad";
    midi.noteOn(70);
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    midi.noteOn(70);
    midi.noteOn(71);
    midi.noteOn(71); // one back in all, from pad 7, wrapping round
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 3);
}

// The three ways a player presses a pad: the mouse on its face, its key, its note.
enum class Trigger { Mouse, Key, Midi };

class EveryTrigger : public MidiBar, public ::testing::WithParamInterface<Trigger> {
protected:
    void hold(int pad, bool down)
    {
        const auto key = static_cast<Qt::Key>(Qt::Key_F1 + pad); // F1..F10 play pads 1..10
        switch (GetParam()) {
        case Trigger::Mouse:
            down ? press(pad) : release(pad);
            break;
        case Trigger::Key:
            down ? QTest::keyPress(bar, key) : QTest::keyRelease(bar, key);
            if (!down) // the release counts once it is sure no repeat's press follows
                Settles([&] { return !bar->Deck.isLit(pad) || bar->Deck.ActivePad == pad; });
            break;
        case Trigger::Midi:
            down ? midi.noteOn(36 + pad) : midi.noteOff(36 + pad);
            drain();
            break;
        }
    }
};

TEST_P(EveryTrigger, AFailedPressLightsThePadOnlyWhileHeldAndLeavesThePlayingPad)
{
    for (const bool somethingPlays : {false, true}) {
        if (somethingPlays) {
            hold(6, true);
            hold(6, false);
        }
        hold(5, true); // pad 6 has no sound: lit alone while held
        EXPECT_EQ(litPads(), std::vector<int>{5});
        EXPECT_EQ(bar->Deck.PadPressFailed, 1);
        hold(5, false);
        // A key's release counts once no press of the key follows it at once (a held key's
        // repeats come as release and press).
        const std::vector<int> lit = somethingPlays ? std::vector<int>{6} : std::vector<int>{};
        EXPECT_TRUE(Settles([&] { return litPads() == lit; }));
        EXPECT_EQ(bar->Deck.ActivePad, somethingPlays ? 6 : 100);
        expectLightsMatchPads(); // the controller shows what the bar shows
    }
    EXPECT_NEAR(levelsNow().left, 0.4f, 0.002f); // the playing pad never stopped
}

std::string triggerName(const ::testing::TestParamInfo<Trigger>& info)
{
    const char* const names[] = {"Mouse", "Key", "Midi"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(MouseKeyAndMidi, EveryTrigger,
                         ::testing::Values(Trigger::Mouse, Trigger::Key, Trigger::Midi),
                         triggerName);

TEST_F(MidiBar, LightsFollowSwitchesAndPageChangesOncePerChange)
{
    midi.noteOn(39);
    drain();
    QTest::mouseClick(bar->Picture6[6], Qt::LeftButton, {}, QPoint(10, 10)); // the mouse switches
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    EXPECT_EQ(lights(), (std::vector<std::string>{"39:on", "39:off", "42:on"}));
    QTest::mousePress(bar->Picture1[1], Qt::LeftButton, {}, QPoint(5, 5)); // tuner: pads stop
    EXPECT_EQ(litPads(), std::vector<int>{});
    EXPECT_EQ(lights(), (std::vector<std::string>{"39:on", "39:off", "42:on", "42:off"}));
    QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5)); // back: all dark
    EXPECT_EQ(lights().size(), 4u);
}

TEST_F(MidiBar, LearnTakesTheNextNoteForTheSelectedPad)
{
    open();
    pick(settings->List1, "Sample 4");
    QTest::mouseClick(settings->Learn->Button, Qt::LeftButton);
    ASSERT_TRUE(settings->Learn->isWaiting());
    midi.noteOn(50, 10);
    drain();
    EXPECT_FALSE(settings->Learn->isWaiting());
    EXPECT_EQ(storedTrigger("Pad 4"), "F4, Scan 12, Note 50 Ch 10");
    EXPECT_EQ(settings->Learn->KeysLabel->text(), "F4, 3, Note 50 Ch 10");
    EXPECT_EQ(bar->Deck.ActivePad, 100); // the note only taught
    midi.noteOff(50, 10);
    drain();
    EXPECT_EQ(litPads(), std::vector<int>{});
    // The pad's light moved to the learned note; the note plays it, on its channel only.
    EXPECT_EQ(lights(), (std::vector<std::string>{"50:off ch10"}));
    midi.sent.clear();
    midi.noteOn(50, 10);
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 3);
    EXPECT_EQ(lights(), (std::vector<std::string>{"50:on ch10"}));
}

TEST_F(MidiBar, ALearnedControlMovesTheVolumeAndIsStoredOnceItRests)
{
    open();
    QTest::mouseClick(settings->SliderLearn[0]->Button, Qt::LeftButton);
    ASSERT_TRUE(settings->SliderLearn[0]->isWaiting());
    midi.control(7, 100);
    drain();
    EXPECT_FALSE(settings->SliderLearn[0]->isWaiting());
    EXPECT_EQ(storedTrigger("Volume"), "CC 7 Ch 1");
    EXPECT_EQ(stored("Volume"), "<none>"); // learning moved nothing

    midi.noteOn(39);
    drain();
    QTimer& rest = pads->controls().restTimer(MidiControls::Volume);
    rest.setInterval(3600 * 1000); // the test says when the control has rested
    for (int value : {127, 64, 0, 40}) {
        midi.control(7, value);
        drain();
    }
    EXPECT_EQ(settings->Label4->text(), "31"); // 40/127 of the knob's travel
    EXPECT_EQ(settings->Picture2->KnobLeft(), 1035);
    EXPECT_NEAR(levelsNow().left, 0.5 * 0.31, 0.002); // heard at once
    EXPECT_TRUE(rest.isActive());
    EXPECT_EQ(stored("Volume"), "<none>");
    rest.start(0);
    EXPECT_TRUE(Settles([&] { return stored("Volume") == "31"; }));
    EXPECT_EQ(stored("VolPos"), "1035");
}

TEST_F(MidiBar, ALearnedControlSetsThePanWithTheWindowClosed)
{
    WriteSetting("Triggers", "Pan", "CC 10 Ch 2", folder->settingsFile());
    pads->reload();
    midi.noteOn(39);
    drain();
    ASSERT_EQ(LoadedForm<Settings>(), nullptr);
    QTimer& rest = pads->controls().restTimer(MidiControls::Pan);
    midi.control(10, 127, 1); // another channel: not the pan
    drain();
    EXPECT_FALSE(rest.isActive());
    midi.control(10, 0, 2);
    drain();
    const ChannelLevels levels = levelsNow();
    EXPECT_NEAR(levels.left, 0.5 * 0.8, 0.002);
    EXPECT_LT(levels.right, 0.001f);
    EXPECT_TRUE(Settles([&] { return stored("PanVal") == "-100"; }));
    EXPECT_EQ(stored("PanPos"), "0");
    EXPECT_EQ(open().Label5->text(), "-100"); // the window shows what was stored
}

TEST_F(MidiBar, ALearnedTempoControlAndTempoNotesSetTheSessionTempo)
{
    // Learned by hand in the file; the stored learn takes the control from the volume.
    WriteSetting("Triggers", "Volume", "CC 20", folder->settingsFile());
    MidiControls::StoreLearned(MidiControls::Tempo, 1, 20);
    EXPECT_EQ(storedTrigger("Tempo"), "CC 20 Ch 1");
    EXPECT_EQ(storedTrigger("Volume"), "");
    ASSERT_EQ(MidiControls::Stored(MidiControls::Tempo),
              (MidiTrigger{MidiTrigger::Kind::Control, 20, 1}));

    // A burst: only where it settles counts, 0..127 being 60..187 BPM.
    for (int value : {127, 0, 36})
        midi.control(20, value);
    EXPECT_EQ(stored("Tempo"), "<none>"); // nothing before the drain
    drain();
    EXPECT_EQ(stored("Tempo"), "96.0");
    EXPECT_EQ(bar->Strip->Tempo->value(), "96.0");
    EXPECT_EQ(stored("Volume"), "<none>");

    // A pedal's notes nudge it as the keys do; a burst of them counts each press.
    WriteSetting("Triggers", "Tempo Up", "Note 70", folder->settingsFile());
    WriteSetting("Triggers", "Tempo Down", "Note 40", folder->settingsFile());
    pads->reload();
    midi.noteOn(70);
    midi.noteOff(70);
    midi.noteOn(70);
    drain();
    EXPECT_EQ(stored("Tempo"), "98.0");
    midi.noteOn(40); // taken from pad 5's default note
    drain();
    EXPECT_EQ(stored("Tempo"), "97.0");
    EXPECT_EQ(bar->Deck.ActivePad, 100);
}

TEST_F(MidiBar, AFloodOfNotesNeitherHangsNorLeavesAWrongState)
{
    // 10,000 notes on the pads without sounds, in the bursts a controller gives between two
    // drains, each burst ending on a pad with a sound.
    for (int burst = 0; burst < 10; ++burst) {
        for (int i = 0; i < 1000; ++i) {
            const int pad = (i / 2 * 5 + burst) % 28;
            if (pad == 3 || pad == 6)
                continue;
            if (i % 2 == 0)
                midi.noteOn(36 + pad);
            else
                midi.noteOff(36 + pad);
        }
        midi.noteOn(burst % 2 == 0 ? 39 : 42);
        drain();
        drain();
        EXPECT_EQ(pads->dropped(), 0u);
    }
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    EXPECT_EQ(litPads(), std::vector<int>{6});
    expectLightsMatchPads();

    // More than the queue holds at once: the rest is dropped, nothing blocks, and a bounded
    // number of drains plays what was kept.
    for (int i = 0; i < 10000; ++i)
        midi.noteOn(36 + i % 28);
    EXPECT_EQ(pads->dropped(), 10000u - MidiPads::kQueueSize);
    for (std::size_t i = 0; i <= MidiPads::kQueueSize / MidiPads::kMaxMessagesPerDrain; ++i)
        drain();
    EXPECT_EQ(litPads().size(), 1u);
    expectLightsMatchPads();
}

} // namespace

namespace {

TEST_F(MidiBar, AnExternalClockSetsTheSessionTempoOnlyWhenFollowed)
{
    double now = 100.0;
    pads->clockIn().setClock([&now] { return now; });
    const auto clocks = [&](double bpm, int beats) {
        const std::uint8_t clock = 0xF8;
        for (int i = 0; i < beats * 24; ++i) {
            now += 60.0 / bpm / 24 + (i % 2 == 0 ? 0.0015 : -0.0015); // a jittery sender
            midi.receiver(&clock, 1);
            if (i % 6 == 5)
                drain(); // the UI thread drains as messages come
        }
    };
    clocks(100.0, 4);
    EXPECT_EQ(bar->Deck.Tempo.now().tempo, 0.0) << "not followed by default";

    WriteSetting("Quendel", "MidiClock", "follow", folder->settingsFile());
    pads->reload();
    QSignalSpy changed(&bar->Deck.Tempo, &SessionTempo::changed);
    clocks(100.0, 8);
    EXPECT_NEAR(bar->Deck.Tempo.now().tempo, 100.0, 0.1);
    EXPECT_LE(changed.size(), 3) << "a steady clock leaves the tempo alone once found";
    EXPECT_EQ(bar->Strip->Tempo->value(), "100.0");

    const std::uint8_t start = 0xFA;
    midi.receiver(&start, 1);
    clocks(132.0, 4);
    EXPECT_NEAR(bar->Deck.Tempo.now().tempo, 132.0, 0.1);
    EXPECT_EQ(bar->Deck.ActivePad, PadDeck::kNoPad) << "a Start plays nothing unless asked to";
}

TEST_F(MidiBar, AFollowedSendersStartAndStopPlayAndEndTheLastPadWhenAskedTo)
{
    const std::uint8_t start = 0xFA;
    const std::uint8_t stop = 0xFC;
    WriteSetting("Quendel", "MidiClock", "follow", folder->settingsFile());
    WriteSetting("Quendel", "MidiClockStartStop", "on", folder->settingsFile());
    pads->reload();
    bar->Deck.press(6);
    bar->Deck.press(6); // played, then stopped
    ASSERT_EQ(bar->Deck.ActivePad, PadDeck::kNoPad);
    midi.receiver(&start, 1);
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 6);
    midi.receiver(&stop, 1);
    drain();
    EXPECT_EQ(bar->Deck.PendingPad, 6) << "it ends at its cycle's end";
    // A Stop and a Start in one drain: the last one counts, and the loop plays on.
    midi.receiver(&stop, 1);
    midi.receiver(&start, 1);
    drain();
    EXPECT_EQ(bar->Deck.ActivePad, 6);
}

} // namespace
