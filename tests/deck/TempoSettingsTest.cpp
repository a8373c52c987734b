// SPDX-License-Identifier: GPL-3.0-or-later
#include "deck/TempoSettings.h"
#include "deck/SessionTempo.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace TempoSettings;

// A settings file of the test's own, with the pads' and the main section's names set.
class TempoSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_before = {AppModul::SettingsFile, AppModul::AppTitle, AppModul::PadSection};
        AppModul::SettingsFile = m_dir.filePath("quendel.ini");
        AppModul::AppTitle = "Quendel";
        AppModul::PadSection = "Samples";
    }
    void TearDown() override
    {
        AppModul::SettingsFile = m_before[0];
        AppModul::AppTitle = m_before[1];
        AppModul::PadSection = m_before[2];
    }
    static QByteArray text() { return ReadSettingsText(AppModul::SettingsFile).value_or(""); }

    QTemporaryDir m_dir;
    std::array<QString, 3> m_before;
};

TEST_F(TempoSettingsTest, APadsTempoHoldsOnlyForTheFileItWasFoundFor)
{
    WriteSetting("Samples", "Sample 3", "Bass.wav", AppModul::SettingsFile);
    EXPECT_EQ(PadTempoIn(text(), 2).kind, PadTempo::Kind::Unknown); // a file from before tempo

    StorePadTempo(2, {PadTempo::Kind::Set, 96.0, 2}, "Bass.wav");
    EXPECT_EQ(FindSettingValue(text(), u"Samples", u"Tempo 3"), "96.00");
    EXPECT_EQ(FindSettingValue(text(), u"Samples", u"Bars 3"), "2");
    EXPECT_EQ(PadTempoIn(text(), 2), (PadTempo{PadTempo::Kind::Set, 96.0, 2}));

    WriteSetting("Samples", "Sample 3", "Other.wav", AppModul::SettingsFile); // bound anew
    EXPECT_EQ(PadTempoIn(text(), 2).kind, PadTempo::Kind::Unknown);

    StorePadTempo(2, {PadTempo::Kind::None, 0, 0}, "Other.wav");
    EXPECT_EQ(PadTempoIn(text(), 2).kind, PadTempo::Kind::None);
}

TEST_F(TempoSettingsTest, HandEditsReadAsMeantAndNonsenseAsUnknown)
{
    const auto tempoOf = [](const char* tempo, const char* bars) {
        QByteArray file = "[Samples]\nSample 1=Loop.wav\nTempo 1=";
        file += tempo;
        file += "\nBars 1=";
        file += bars;
        file += "\n";
        return PadTempoIn(file, 0);
    };
    EXPECT_EQ(tempoOf(" 120 ", "4"), (PadTempo{PadTempo::Kind::Set, 120.0, 4})); // no "of": ours
    EXPECT_EQ(tempoOf("NONE", ""), (PadTempo{PadTempo::Kind::None, 0.0, 0}));
    for (const char* bad : {"fast", "12abc", "nan", "inf", "-90", "0", "1e9"})
        EXPECT_EQ(tempoOf(bad, "4").kind, PadTempo::Kind::Unknown) << bad;
    for (const char* bad : {"", "0", "-2", "zwei", "100000"})
        EXPECT_EQ(tempoOf("120", bad).kind, PadTempo::Kind::Unknown) << bad;

    const QByteArray keys = "[Samples]\nTranspose 1=+30\nCents 1=-7.4\nTranspose 2=x\n";
    EXPECT_EQ(PadKeyIn(keys, 0), (PadKey{12, -7}));
    EXPECT_EQ(PadKeyIn(keys, 1), (PadKey{}));

    const SessionKeyAndTempo session = SessionIn(
        "[Quendel]\nTempo=999\nTranspose=-40\nTransposeCents=12\nBandA4=500\nMetronome=ON\n"
        "MetronomeLevel=150\nCountIn=maybe\n");
    EXPECT_EQ(session.tempo, kMaxTempo);
    EXPECT_EQ(session.semitones, -12);
    EXPECT_EQ(session.cents, 12);
    EXPECT_EQ(session.bandA4, 440.0); // a band that far off is not a band pitch
    EXPECT_TRUE(session.metronome);
    EXPECT_EQ(session.metronomeLevel, 100);
    EXPECT_FALSE(session.countIn);
    EXPECT_EQ(SessionIn("[Quendel]\nTempo=off\n").tempo, 0.0);
}

TEST_F(TempoSettingsTest, PitchAndLengthFollowTheSessionThePadAndTheBand)
{
    SessionKeyAndTempo session;
    EXPECT_EQ(PitchScale(session, {}), 1.0); // nothing set: exactly as recorded
    session.semitones = 5;
    EXPECT_NEAR(PitchScale(session, {2, 0}), 1.4983070768766815, 1e-12); // a fifth up
    session = {};
    session.bandA4 = 438.6;
    EXPECT_NEAR(PitchScale(session, {}) * 440.0, 438.6, 1e-9);

    const PadTempo pad{PadTempo::Kind::Set, 120.0, 4};
    EXPECT_EQ(CycleFrames(session, pad, 48000), 0.0); // no session tempo: its own length
    session.tempo = 100.0;
    EXPECT_DOUBLE_EQ(CycleFrames(session, pad, 48000), 4 * 4 * 0.6 * 48000); // 9.6 s
    session.tempo = 59.0; // more than twice as long: plays at its own tempo
    EXPECT_EQ(CycleFrames(session, pad, 48000), 0.0);
    session.tempo = 100.0;
    EXPECT_EQ(CycleFrames(session, {PadTempo::Kind::None, 0, 0}, 48000), 0.0);
}

TEST_F(TempoSettingsTest, TheSessionStoresWhatChangesAndTellsOfIt)
{
    SessionTempo tempo;
    QSignalSpy changed(&tempo, &SessionTempo::changed);
    tempo.nudgeTempo(1, 97.6); // from off: the pad's own tempo, rounded, one step up
    EXPECT_EQ(tempo.now().tempo, 99.0);
    tempo.setTempo(1000);
    EXPECT_EQ(tempo.now().tempo, kMaxTempo);
    tempo.setTempo(0);
    EXPECT_EQ(FindSettingValue(text(), u"Quendel", u"Tempo"), "off");

    tempo.tapAt(10.0);
    EXPECT_EQ(tempo.now().tempo, 0.0); // one tap is no tempo yet
    tempo.tapAt(10.5);
    tempo.tapAt(11.0);
    EXPECT_EQ(tempo.now().tempo, 120.0);
    tempo.tapAt(20.0); // a long pause starts over
    EXPECT_EQ(tempo.now().tempo, 120.0);

    tempo.setTranspose(-2, 15);
    tempo.setBandA4(438.64);
    tempo.setMetronome(true);
    EXPECT_EQ(FindSettingValue(text(), u"Quendel", u"Transpose"), "-2");
    EXPECT_EQ(FindSettingValue(text(), u"Quendel", u"TransposeCents"), "15");
    EXPECT_EQ(FindSettingValue(text(), u"Quendel", u"BandA4"), "438.6");
    EXPECT_EQ(FindSettingValue(text(), u"Quendel", u"Metronome"), "on");
    const int told = static_cast<int>(changed.size());
    tempo.setMetronome(true); // no change, no signal
    EXPECT_EQ(changed.size(), told);

    WriteSetting("Quendel", "Tempo", "90", AppModul::SettingsFile); // a hand edit
    tempo.reload();
    EXPECT_EQ(tempo.now().tempo, 90.0);
    EXPECT_EQ(changed.size(), told + 1);
}

} // namespace
