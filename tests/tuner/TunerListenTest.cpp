// SPDX-License-Identifier: GPL-3.0-or-later
// The listening tuner on its window: LISTEN, the meter, the tuning's menu, the reference pitch
// and the band's pitch, fed through the offline back end's input.

#include "bar/BarTestSupport.h"
#include "core/SettingsStore.h"
#include "pitch/PitchDetector.h"
#include "startup/InstallationStep.h"
#include "support/OfflineAudioInput.h"
#include "tuner/Tuner.h"

#include <QMenu>
#include <QSignalSpy>

#include <cmath>

namespace {

class TunerListening : public BarFixture {
protected:
    void SetUp() override
    {
        BarFixture::SetUp();
        ASSERT_TRUE(InstallationStep()); // the reference sounds
        engine->setInputFactory([this] {
            auto input = std::make_unique<OfflineAudioInput>(48000);
            input->setFailing(noInput);
            this->input = input.get();
            return input;
        });
    }
    void TearDown() override
    {
        if (Tuner* tuner = LoadedForm<Tuner>())
            tuner->Listener.stop();
        BarFixture::TearDown();
    }
    Tuner& openTuner()
    {
        QTest::mousePress(bar->Picture1[1], Qt::LeftButton, {}, QPoint(5, 5));
        Render(4 * 44100); // the chord rings out
        return *LoadedForm<Tuner>();
    }
    // A plucked-string-like tone with its harmonics, fed in 10 ms blocks as a sound card would.
    void play(Tuner& tuner, double hz, double seconds)
    {
        std::vector<float> block(480);
        for (int n = 0; n < static_cast<int>(seconds * 100); ++n) {
            for (std::size_t i = 0; i < block.size(); ++i, ++frame) {
                const double t = static_cast<double>(frame) / 48000.0;
                block[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * hz * t) +
                                              0.2 * std::sin(4 * M_PI * hz * t) +
                                              0.1 * std::sin(6 * M_PI * hz * t));
            }
            input->feed(block.data(), static_cast<int>(block.size()));
            tuner.Listener.poll();
        }
    }
    static void press(QWidget* widget, QPoint at = QPoint(5, 5),
                      Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(widget, button, {}, at);
    }
    // Silence until the band's measurement has ended, at most the longest it hears.
    bool bandHeard(Tuner& tuner)
    {
        for (int i = 0; i < 2 * Tuner::kBandSeconds && tuner.BandLine->isMeasuring(); ++i)
            play(tuner, 0.0, 0.5);
        return !tuner.BandLine->isMeasuring();
    }
    QString stored(const char* key) const
    {
        return ReadSetting(QStringLiteral("Quendel"), QString::fromLatin1(key),
                           folder->settingsFile(), {});
    }

    OfflineAudioInput* input = nullptr;
    bool noInput = false;
    long frame = 0;
};

// The frequency of what the tuner's own audio control plays, read by the detector itself.
double heardFrequency(AudioEngine& engine, double seconds)
{
    pitch::PitchDetector detector(44100);
    const std::vector<float> stereo = Render(engine, static_cast<int>(seconds * 44100));
    std::vector<float> mono(stereo.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = stereo[2 * i];
    detector.feed(mono.data(), mono.size());
    return detector.reading().hasPitch ? detector.reading().frequency : 0.0;
}

} // namespace

TEST_F(TunerListening, ListenReadsTheStringShowsHowFarOffAndClosesTheInputWhenOff)
{
    Tuner& tuner = openTuner();
    EXPECT_EQ(tuner.Meter->mode(), TunerMeter::Mode::Off);
    press(tuner.ListenSwitch);
    ASSERT_NE(input, nullptr);
    EXPECT_TRUE(input->isOpen());
    EXPECT_EQ(tuner.ListenSwitch->face(),
              ProgramFolder::patternImage(820, 268, 5).copy(tuner.ListenSwitch->geometry()));

    // An A string 15.8 cents flat: A, -15.8 cents, 109.0 Hz.
    const double flatA = 110.0 * std::pow(2.0, -15.8 / 1200.0);
    play(tuner, flatA, 0.5);
    EXPECT_EQ(tuner.Meter->mode(), TunerMeter::Mode::Reading);
    EXPECT_EQ(tuner.Meter->noteText(), QStringLiteral("A"));
    EXPECT_EQ(tuner.Meter->centsText(), QStringLiteral("\u221215.8 cents"));
    EXPECT_EQ(tuner.Meter->frequencyText(), QStringLiteral("109.0 Hz"));

    // Silence parks the needle.
    play(tuner, 0.0, 0.6);
    EXPECT_EQ(tuner.Meter->mode(), TunerMeter::Mode::Listening);

    // A reference tone is not read as the instrument.
    press(tuner.Picture1[4]);
    EXPECT_EQ(tuner.Meter->mode(), TunerMeter::Mode::HearingTone);
    Render(2 * 44100);
    tuner.Timer1_Timer();
    play(tuner, flatA, 0.5);
    EXPECT_EQ(tuner.Meter->noteText(), QStringLiteral("A"));

    // Off, the input is closed (and gone).
    press(tuner.ListenSwitch);
    EXPECT_STREQ(tuner.Listener.inputName(), "");
    EXPECT_EQ(tuner.Meter->mode(), TunerMeter::Mode::Off);
    press(tuner.ListenSwitch);
    ASSERT_STREQ(tuner.Listener.inputName(), "offline");
    // Leaving the page closes the input at once.
    QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(LoadedForm<Tuner>(), nullptr);
}

TEST_F(TunerListening, WithoutAnInputTheFaceSaysSo)
{
    noInput = true;
    Tuner& tuner = openTuner();
    press(tuner.ListenSwitch);
    tuner.Listener.poll();
    EXPECT_EQ(tuner.Meter->mode(), TunerMeter::Mode::NoInput);
    EXPECT_EQ(tuner.Meter->statusText(), QStringLiteral("no input"));
}

TEST_F(TunerListening, TheTuningAndA4ComeFromTheFaceApplyToTheTonesAndAreKeptForTheNextOpening)
{
    Tuner& tuner = openTuner();
    EXPECT_EQ(tuner.StringNames[5]->note(), QStringLiteral("E"));
    // The tuning's line opens its menu; Drop D is chosen from it.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("Drop D"))
                action->trigger();
        menu->close();
    });
    press(tuner.TuningChoice);
    EXPECT_EQ(tuner.StringNames[5]->note(), QStringLiteral("D"));
    EXPECT_TRUE(tuner.TuningChoice->text().startsWith(QStringLiteral("DROP D")));
    EXPECT_EQ(stored("TunerTuning"), QStringLiteral("Drop D"));

    // Two steps down and one up: 439.5 Hz.
    press(tuner.PitchChoice, ReferencePitch::lowerArea().center());
    press(tuner.PitchChoice, ReferencePitch::lowerArea().center());
    press(tuner.PitchChoice, ReferencePitch::raiseArea().center());
    EXPECT_EQ(stored("TunerA4"), QStringLiteral("439.5"));

    // The low string's recorded E sounds as D at that A4.
    const double d2 = 439.5 * std::pow(2.0, (38 - 69) / 12.0);
    press(tuner.Picture1[5]);
    EXPECT_NEAR(1200 * std::log2(heardFrequency(*engine, 0.5) / d2), 0.0, 1.0);

    // The next opening takes both back; nonsense in the file means the defaults.
    QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5));
    Tuner& again = openTuner();
    EXPECT_EQ(again.CurrentTuning, pitch::Tuning(pitch::TuningKind::DropD, 439.5));
    QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5));
    writeSetting(QStringLiteral("TunerTuning"), QStringLiteral("banjo"));
    writeSetting(QStringLiteral("TunerA4"), QStringLiteral("1e9"));
    EXPECT_EQ(openTuner().CurrentTuning, pitch::Tuning());
}

TEST_F(TunerListening, BandPitchHearsTheBandOffersItsA4AndTakesItWhenClicked)
{
    Tuner& tuner = openTuner();
    QSignalSpy accepted(&tuner, &Tuner::bandPitchAccepted);
    // BAND PITCH listens too, and the band plays A3, C#4 and E4 at A4 = 438.6 Hz.
    press(tuner.BandLine, BandPitchLine::buttonArea().center());
    EXPECT_TRUE(tuner.Listener.isListening());
    EXPECT_EQ(tuner.BandLine->mode(), BandPitchLine::Mode::Measuring);
    for (int note : {57, 61, 64}) {
        play(tuner, 438.6 * std::exp2((note - 69) / 12.0), 0.5);
        play(tuner, 0.0, 0.2);
    }
    ASSERT_TRUE(bandHeard(tuner));
    ASSERT_EQ(tuner.BandLine->mode(), BandPitchLine::Mode::Offer);
    EXPECT_EQ(tuner.BandLine->text(), QStringLiteral("Band at A4 = 438.6 Hz: tune the pads"));
    EXPECT_EQ(tuner.BandLine->spreadText(), QStringLiteral("\u00b10.0 cents"));
    EXPECT_EQ(tuner.CurrentTuning.a4(), 440.0) << "nothing changes before the offer is taken";

    press(tuner.BandLine, tuner.BandLine->messageArea().center());
    ASSERT_EQ(accepted.count(), 1);
    EXPECT_EQ(accepted.at(0).at(0).toDouble(), 438.6);
    EXPECT_EQ(stored("TunerA4"), QStringLiteral("438.6"));
    EXPECT_EQ(stored("BandA4"), QStringLiteral("438.6"));
    EXPECT_EQ(tuner.PitchChoice->a4(), 438.6);
    EXPECT_EQ(tuner.CurrentTuning.kind(), pitch::TuningKind::Standard);

    // The next opening follows the band still; a right click goes back to 440 Hz.
    QTest::mousePress(bar->Picture1[0], Qt::LeftButton, {}, QPoint(5, 5));
    Tuner& again = openTuner();
    EXPECT_EQ(again.CurrentTuning.a4(), 438.6);
    EXPECT_EQ(again.BandLine->text(), QStringLiteral("Following the band at A4 = 438.6 Hz"));
    press(again.BandLine, again.BandLine->messageArea().center(), Qt::RightButton);
    EXPECT_EQ(stored("BandA4"), QStringLiteral("440.0"));
    EXPECT_EQ(stored("TunerA4"), QStringLiteral("440.0"));
    ASSERT_EQ(accepted.count(), 2);
    EXPECT_EQ(accepted.at(1).at(0).toDouble(), 440.0);
    EXPECT_EQ(again.BandLine->text(), QString());
}

TEST_F(TunerListening, BandPitchOffersNothingFromTooFewNotesOrABandTooFarFrom440)
{
    Tuner& tuner = openTuner();
    QSignalSpy accepted(&tuner, &Tuner::bandPitchAccepted);
    press(tuner.BandLine, BandPitchLine::buttonArea().center());
    play(tuner, 220.0, 0.5);
    ASSERT_TRUE(bandHeard(tuner));
    EXPECT_EQ(tuner.BandLine->mode(), BandPitchLine::Mode::TooFew);
    press(tuner.BandLine, tuner.BandLine->messageArea().center());

    // 45 cents flat is a band at A4 = 428.7 Hz, below what the tuner follows.
    press(tuner.BandLine, BandPitchLine::buttonArea().center());
    for (int note : {57, 61, 64, 69}) {
        play(tuner, 440.0 * std::exp2((note - 69) / 12.0 - 45.0 / 1200.0), 0.4);
        play(tuner, 0.0, 0.2);
    }
    // BAND PITCH again ends the hearing early.
    press(tuner.BandLine, BandPitchLine::buttonArea().center());
    EXPECT_EQ(tuner.BandLine->mode(), BandPitchLine::Mode::TooFar);
    EXPECT_EQ(tuner.BandLine->text(),
              QStringLiteral("The band (A4 = 428.7 Hz) is too far from 440 to follow"));
    press(tuner.BandLine, tuner.BandLine->messageArea().center());
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(stored("BandA4"), QString());
    EXPECT_EQ(tuner.CurrentTuning.a4(), 440.0);
}
