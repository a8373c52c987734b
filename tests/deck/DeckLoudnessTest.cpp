// SPDX-License-Identifier: GPL-3.0-or-later
#include "deck/PadDeck.h"

#include "audio/sounds/Loudness.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kRate = 44100;

// The demo kit's loops on pads 1..6, and on pads 7..9 a tone recorded very soft, at a usual level
// and as loud as it goes, with a spike far above its body on pad 10.
class DeckLoudnessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine->start(kRate);
        const QString file = AppModul::SettingsFile;
        const QDir kit(QStringLiteral(QUENDEL_DEMO_SOUNDS_DIR));
        int pad = 0;
        for (const QString& name : kit.entryList(QDir::Files, QDir::Name)) {
            ASSERT_TRUE(QFile::copy(kit.filePath(name), folder.soundsFolder() + name));
            bind(pad++, name);
        }
        ASSERT_EQ(pad, 6);
        for (const double peakDb : {-36.0, -20.0, -0.5}) {
            const QString name = QStringLiteral("Tone %1.wav").arg(peakDb);
            ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + name, tone(peakDb)));
            bind(pad++, name);
        }
        std::vector<float> spiky = tone(-40.0);
        spiky[kRate] = 0.9f;
        ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "Spiky.wav", spiky));
        bind(pad++, QStringLiteral("Spiky.wav"));
        m_pads = pad;
        WriteSetting(AppModul::AppTitle, "Volume", "100", file);
        deck = std::make_unique<PadDeck>(*engine);
        deck->renderBoundPads(); // as the bar does once it has loaded
    }
    void TearDown() override { deck.reset(); }

    static std::vector<float> tone(double peakDb)
    {
        std::vector<float> samples(4 * kRate);
        const double amplitude = std::pow(10.0, peakDb / 20.0);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * 330.0 * i / kRate));
        return samples;
    }
    void bind(int pad, const QString& name)
    {
        // Their tempo is of no interest here: only the loudness is measured.
        WriteSetting(AppModul::PadSection, QStringLiteral("Sample %1").arg(pad + 1), name,
                     AppModul::SettingsFile);
        WriteSetting(AppModul::PadSection, QStringLiteral("Tempo %1").arg(pad + 1), "none",
                     AppModul::SettingsFile);
    }
    bool allMeasured()
    {
        const QDeadlineTimer deadline(120000);
        const auto measured = [this] {
            for (int pad = 0; pad < m_pads; ++pad)
                if (deck->padLoudness(pad).kind == PadLoudness::Kind::Unknown)
                    return false;
            return true;
        };
        while (!measured() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return measured();
    }
    // How the pad sounds through the engine: a few seconds of its loop, once it has begun.
    Loudness heard(int pad)
    {
        deck->press(pad);
        Render(*engine, kRate / 2);
        const std::vector<float> out = Render(*engine, 3 * kRate);
        deck->press(pad); // stops it
        Render(*engine, kRate / 10);
        return MeasureLoudness(out.data(), out.size() / 2, kRate).value_or(Loudness{0.0, 0.0});
    }

    ProgramFolder folder;
    TestEngine engine;
    std::unique_ptr<PadDeck> deck;
    int m_pads = 0;
};

} // namespace

TEST_F(DeckLoudnessTest, MatchedPadsSoundAtTheTargetWithTheirPeaksUnderTheCeiling)
{
    ASSERT_TRUE(allMeasured());
    EXPECT_NEAR(deck->padLoudness(6).lufs - deck->padLoudness(8).lufs, -35.5, 0.5);
    EXPECT_EQ(deck->matchLoudness(), m_pads);
    for (int pad = 0; pad < m_pads; ++pad) {
        const Loudness loudness = heard(pad);
        const PadLoudness measured = deck->padLoudness(pad);
        const bool peakBound = measured.peakDbtp - measured.lufs > 15.0;
        if (!peakBound) {
            EXPECT_NEAR(loudness.integratedLufs, -16.0, 0.5) << "pad " << pad + 1;
        }
        EXPECT_LE(loudness.truePeakDbtp, -1.0 + 0.2) << "pad " << pad + 1;
    }
    // The spike holds its pad back: its gain stops at the ceiling, well short of the target.
    EXPECT_LT(deck->padGain(9), deck->padGain(6) - 20.0);

    // Off again, every pad plays as recorded, and says so in the settings file.
    deck->clearLoudnessMatch();
    EXPECT_NEAR(heard(6).integratedLufs, deck->padLoudness(6).lufs, 0.5);
    EXPECT_EQ(deck->padGain(6), 0.0);
}

TEST_F(DeckLoudnessTest, APadBoundWhileMatchedIsMatchedAsItIsMeasured)
{
    ASSERT_TRUE(allMeasured());
    deck->matchLoudness();
    ASSERT_TRUE(WriteTestSound(folder.soundsFolder() + "Late.wav", tone(-30.0)));
    bind(m_pads, QStringLiteral("Late.wav"));
    const int late = m_pads++;
    deck->renderBoundPads();
    ASSERT_TRUE(allMeasured());
    EXPECT_NEAR(deck->padGain(late), -16.0 - deck->padLoudness(late).lufs, 0.1);
    EXPECT_NEAR(heard(late).integratedLufs, -16.0, 0.5);
}
