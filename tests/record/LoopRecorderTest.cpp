// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/LoopRecorder.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"
#include "support/AudioTestKit.h"
#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <functional>

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr int kBeat = kRate / 2; // 120 BPM
constexpr int kBar = 4 * kBeat;

// The input the recorder opens, which the test plays into for as long as it stays open: the
// recorder closes (and frees) it between takes, as it would a device.
struct InputSocket {
    AudioInput::Sink sink = nullptr;
    void* context = nullptr;
    bool lost = false;
    bool failing = false;
};

class SocketInput final : public AudioInput {
public:
    explicit SocketInput(InputSocket& socket) : m_socket(socket) {}
    ~SocketInput() override { close(); }
    bool open(Sink sink, void* context) override
    {
        if (m_socket.failing)
            return false;
        m_socket = {sink, context, false, false};
        return true;
    }
    void close() override { m_socket.sink = nullptr; }
    bool lost() const override { return m_socket.lost; }
    int rate() const override { return 48000; }
    const char* name() const override { return "offline"; }

private:
    InputSocket& m_socket;
};

// A deck over an offline engine whose input the test plays: a click on every beat of the grid
// the engine counts from its first frame, as a drummer in time with it would.
class LoopRecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine->setInputFactory([this] { return std::make_unique<SocketInput>(socket); });
        engine->start(kRate);
        deck = std::make_unique<PadDeck>(*engine);
        recorder = std::make_unique<LoopRecorder>(*deck);
    }
    void TearDown() override
    {
        recorder.reset();
        deck.reset();
    }

    // Renders `frames`, the input heard first in each block, and lets the UI side follow.
    void play(std::int64_t frames)
    {
        std::vector<float> heard(kBlock);
        for (std::int64_t done = 0; done < frames; done += kBlock) {
            for (int i = 0; i < kBlock; ++i)
                heard[static_cast<std::size_t>(i)] = playing(m_position + i);
            if (socket.sink && !socket.lost)
                socket.sink(socket.context, heard.data(), kBlock);
            Render(*engine, kBlock);
            m_position += kBlock;
            QCoreApplication::processEvents();
        }
    }
    // Plays on until the recorder reaches `phase` (Idle: the take is written and bound, or the
    // recorder gave up).
    void playUntil(LoopRecorder::Phase phase)
    {
        const QDeadlineTimer deadline(30000);
        while (recorder->phase() != phase && !deadline.hasExpired())
            play(kBlock);
    }
    void playUntilIdle() { playUntil(LoopRecorder::Phase::Idle); }
    std::vector<float> readTake(const QString& name, int* channels = nullptr)
    {
        SF_INFO info{};
        SNDFILE* file =
            sf_open(QFile::encodeName(folder.soundsFolder() + name).constData(), SFM_READ, &info);
        if (!file)
            return {};
        std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
        sf_readf_float(file, samples.data(), info.frames);
        sf_close(file);
        if (channels)
            *channels = info.channels;
        return samples;
    }
    QString setting(const char* key)
    {
        return ReadSetting(AppModul::PadSection, key, AppModul::SettingsFile, QString());
    }

    std::function<float(std::int64_t)> playing = [](std::int64_t position) {
        return position % kBeat == 0 ? 1.0f : 0.0f;
    };
    ProgramFolder folder;
    TestEngine engine;
    std::unique_ptr<PadDeck> deck;
    std::unique_ptr<LoopRecorder> recorder;
    InputSocket socket;
    std::int64_t m_position = 0;
};

} // namespace

TEST_F(LoopRecorderTest, ATakeIsWrittenBoundAndLoopedFromTheNextBarAndUndoTakesItBack)
{
    deck->Tempo.setTempo(120.0);
    ASSERT_TRUE(recorder->arm(0, 1));
    EXPECT_EQ(recorder->phase(), LoopRecorder::Phase::Armed);
    playUntilIdle();
    ASSERT_EQ(recorder->phase(), LoopRecorder::Phase::Idle);

    const std::vector<float> take = readTake("Take 1.wav");
    ASSERT_EQ(take.size(), static_cast<std::size_t>(kBar));
    for (int beat = 0; beat < 4; ++beat)
        EXPECT_EQ(take[static_cast<std::size_t>(beat * kBeat)], 1.0f) << beat;
    EXPECT_EQ(setting("Sample 1"), "Take 1.wav");
    EXPECT_EQ(setting("Bars 1"), "1");
    EXPECT_EQ(setting("Tempo 1 of"), "Take 1.wav");
    EXPECT_EQ(deck->activeDeckPad(), 0);
    EXPECT_TRUE(recorder->canUndo());

    // The loop plays from a bar line: its clicks fall on the grid's beats.
    play(kBar);
    const std::int64_t toBar = kBar - m_position % kBar;
    Render(*engine, static_cast<int>(toBar));
    m_position += toBar;
    const std::int64_t barStart = m_position;
    const std::vector<float> heard = Render(*engine, kBar);
    m_position += kBar;
    for (int beat = 0; beat < 4; ++beat)
        EXPECT_GT(heard[static_cast<std::size_t>(2 * beat * kBeat)], 0.5f)
            << "beat " << beat << " after " << barStart;

    // A second take never writes over the first.
    ASSERT_TRUE(recorder->arm(1, 1));
    playUntilIdle();
    EXPECT_TRUE(QFile::exists(folder.soundsFolder() + "Take 2.wav"));
    EXPECT_EQ(setting("Sample 2"), "Take 2.wav");

    // Undo discards the last take: its file and its binding.
    ASSERT_TRUE(recorder->undo());
    EXPECT_FALSE(QFile::exists(folder.soundsFolder() + "Take 2.wav"));
    EXPECT_TRUE(QFile::exists(folder.soundsFolder() + "Take 1.wav"));
    EXPECT_EQ(setting("Sample 2"), "");
    EXPECT_FALSE(recorder->undo());
}

TEST_F(LoopRecorderTest, AnOverdubMixesTheNewPlayingIntoTheLoopAndUndoReturnsToIt)
{
    deck->Tempo.setTempo(120.0);
    ASSERT_TRUE(recorder->arm(0, 1));
    playUntilIdle();
    ASSERT_EQ(deck->activeDeckPad(), 0);
    play(2 * kBar); // the take loops

    // Now an off-beat shaker over the loop.
    playing = [](std::int64_t position) { return position % kBeat == kBeat / 2 ? 0.25f : 0.0f; };
    ASSERT_TRUE(recorder->arm(0, 1));
    EXPECT_TRUE(recorder->overdub());
    playUntilIdle();
    int channels = 0;
    const std::vector<float> overdub = readTake("Take 2.wav", &channels);
    ASSERT_EQ(channels, 2);
    ASSERT_EQ(overdub.size(), static_cast<std::size_t>(2 * kBar));
    for (int beat = 0; beat < 4; ++beat) {
        const auto on = static_cast<std::size_t>(2 * beat * kBeat);
        const auto off = static_cast<std::size_t>(2 * (beat * kBeat + kBeat / 2));
        EXPECT_FLOAT_EQ(overdub[on], 1.0f) << "the old click stays on beat " << beat;
        EXPECT_FLOAT_EQ(overdub[off], 0.25f) << "the new one lands between " << beat;
        EXPECT_FLOAT_EQ(overdub[off + 1], 0.25f);
    }
    EXPECT_EQ(setting("Sample 1"), "Take 2.wav");
    ASSERT_TRUE(recorder->undo());
    EXPECT_EQ(setting("Sample 1"), "Take 1.wav");
    EXPECT_TRUE(QFile::exists(folder.soundsFolder() + "Take 1.wav"));
}

TEST_F(LoopRecorderTest, WithoutATempoTheTakeSetsItAndALostInputKeepsWhatWasRecorded)
{
    ASSERT_TRUE(recorder->arm(0, 2));
    const std::int64_t armedAt = m_position;
    playUntil(LoopRecorder::Phase::Recording);
    play(2 * kBar - (m_position - armedAt));
    recorder->press();
    playUntilIdle();
    EXPECT_NEAR(deck->Tempo.now().tempo, 120.0, 0.05);
    EXPECT_EQ(setting("Sample 1"), "Take 1.wav");
    EXPECT_EQ(setting("Bars 1"), "2");

    // The input goes away in the middle of a take: what came before is a valid file.
    QSignalSpy notes(recorder.get(), &LoopRecorder::note);
    ASSERT_TRUE(recorder->arm(1, 4));
    play(3 * kBar);
    socket.lost = true;
    playUntilIdle();
    const std::vector<float> partial = readTake("Take 2.wav");
    EXPECT_GT(partial.size(), static_cast<std::size_t>(kBar));
    EXPECT_LT(partial.size(), static_cast<std::size_t>(4 * kBar));
    EXPECT_EQ(setting("Sample 2"), "") << "a partial take is kept, not played";
    ASSERT_FALSE(notes.isEmpty());
    EXPECT_TRUE(notes.back().at(0).toString().contains("Take 2.wav"));

    // The sound starts again under a take (another output chosen): the same.
    socket.lost = false;
    ASSERT_TRUE(recorder->arm(2, 4));
    play(3 * kBar);
    engine->stop();
    engine->start(kRate);
    playUntilIdle();
    EXPECT_GT(readTake("Take 3.wav").size(), static_cast<std::size_t>(kBar));
    EXPECT_EQ(setting("Sample 3"), "");
    EXPECT_TRUE(notes.back().at(0).toString().contains("Take 3.wav"));
}

TEST_F(LoopRecorderTest, NoInputOrNoFolderToWriteInArmsNothing)
{
    QSignalSpy notes(recorder.get(), &LoopRecorder::note);
    socket.failing = true;
    EXPECT_FALSE(recorder->arm(0, 1));
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes.back().at(0).toString(),
              "No input to record from: connect one and arm the pad again");

    socket.failing = false;
    AppModul::SoundsFolder = folder.root() + "Missing/";
    EXPECT_FALSE(recorder->arm(0, 1));
    EXPECT_EQ(recorder->phase(), LoopRecorder::Phase::Idle);
    EXPECT_EQ(notes.size(), 2);
}
