// SPDX-License-Identifier: GPL-3.0-or-later
// Sounds kept ready ahead of their presses: what a ready pad plays, what a press plays before its
// sound is ready or after its file changed, the memory budget, and files that cannot play.

#include "audio/sounds/ReadySounds.h"
#include "AudioTestSupport.h"
#include "audio/sounds/SampleBuffer.h"
#include "audio/sounds/SoundFile.h"

#include <filesystem>

using namespace audiotest;

namespace {

// Above what a press decodes at once (1 MiB decoded): 150000 stereo frames take 1.2 MB as floats.
constexpr std::size_t kLongFrames = 150000;

class ReadySoundsTest : public OfflineEngineTest {
protected:
    ReadySounds& sounds() { return engine().sounds(); }

    std::string longWav(const std::string& name, unsigned seed)
    {
        return sound(name, noise(kLongFrames * 2, 0.5f, seed), 2);
    }

    bool readyWhenSettled(const std::string& path)
    {
        EXPECT_TRUE(eventually([this] { return !sounds().busy(); }));
        return sounds().isReady(path);
    }

    // Plays the opened sample looped and checks it against `expected` for one and a half passes.
    void expectLoopOf(const std::vector<float>& expected)
    {
        control.PlaySample(true);
        const std::vector<float> out = render(static_cast<int>(expected.size() / 2 * 3 / 2));
        EXPECT_EQ(firstLoopMismatch(out, expected), -1);
        control.StopSample();
        render(512);
    }

    static std::vector<float> framesOf(const SampleBuffer& buffer)
    {
        return {buffer.data(), buffer.data() + buffer.frames() * 2};
    }
};

TEST_F(ReadySoundsTest, ReadyPadPlaysWhatAFreshDecodeGivesWithoutDecoding)
{
    const std::string same = longWav("same-rate.wav", 1);
    const std::string other =
        sound("other-rate.wav", sine(200000, 1, 310.0, 48000, 0.5f), 1, kWav16, 48000);
    control.KeepSamplesReady({same, other});
    ASSERT_TRUE(readyWhenSettled(same));
    ASSERT_TRUE(readyWhenSettled(other));

    control.OpenSample(same);
    EXPECT_FALSE(control.sampleIsStreamed());
    expectLoopOf(decodeStereo(same));

    // Converted to the engine's rate, exactly as a decode at the press would convert it.
    std::shared_ptr<const SampleBuffer> fresh;
    ASSERT_EQ(decodeSample(other, kRate, AudioEngine::kDefaultSampleSizeLimit, fresh),
              DecodeResult::Ok);
    control.OpenSample(other);
    EXPECT_FALSE(control.sampleIsStreamed());
    expectLoopOf(framesOf(*fresh));
}

TEST_F(ReadySoundsTest, PressBeforeTheSoundIsReadyStartsFromDiskFrameForFrame)
{
    const std::string path = longWav("late.wav", 2);
    const std::vector<float> expected = decodeStereo(path);
    control.OpenSample(path); // nothing asked for it before: not ready
    EXPECT_TRUE(control.sampleIsStreamed());
    expectLoopOf(expected);

    // The press asked for it: the next one plays it from memory, the same frames.
    ASSERT_TRUE(readyWhenSettled(path));
    control.OpenSample(path);
    EXPECT_FALSE(control.sampleIsStreamed());
    expectLoopOf(expected);
}

TEST_F(ReadySoundsTest, FileRewrittenBetweenPressesPlaysItsNewContent)
{
    const std::string path = longWav("rewritten.wav", 3);
    control.KeepSamplesReady({path});
    ASSERT_TRUE(readyWhenSettled(path));
    control.OpenSample(path);
    expectLoopOf(decodeStereo(path));

    // The same size with other frames: only the modification time tells.
    const std::optional<FileStamp> before = FileStamp::of(path);
    longWav("rewritten.wav", 4);
    std::optional<FileStamp> after = FileStamp::of(path);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(before->size, after->size);
    if (after->modifiedNs == before->modifiedNs) { // a file system with coarse times
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                                   std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(sounds().isReady(path));
    control.OpenSample(path);
    expectLoopOf(decodeStereo(path));

    // Another size, and a sound short enough to decode at the press.
    sound("rewritten.wav", noise(3000, 0.5f, 5), 1);
    control.OpenSample(path);
    EXPECT_FALSE(control.sampleIsStreamed());
    expectLoopOf(decodeStereo(path));
    EXPECT_TRUE(sounds().isReady(path));
}

TEST_F(ReadySoundsTest, BudgetDropsTheLeastRecentlyPressedSound)
{
    const std::string first = longWav("first.wav", 6);
    const std::string second = longWav("second.wav", 7);
    const std::string third = longWav("third.wav", 8);
    const std::size_t each = kLongFrames * 2 * sizeof(float);
    sounds().setBudget(0);            // nothing left over from before
    sounds().setBudget(each * 5 / 2); // room for two

    control.KeepSamplesReady({first, second});
    ASSERT_TRUE(readyWhenSettled(first));
    ASSERT_TRUE(readyWhenSettled(second));
    control.OpenSample(first); // pressed after both were made ready
    EXPECT_FALSE(control.sampleIsStreamed());

    sounds().prepare(third);
    ASSERT_TRUE(readyWhenSettled(third));
    EXPECT_TRUE(sounds().isReady(first));
    EXPECT_FALSE(sounds().isReady(second));
    EXPECT_LE(sounds().bytesHeld(), sounds().budget());

    // What plays keeps playing when its sound is dropped; the next press of it plays from disk.
    control.PlaySample(true);
    sounds().setBudget(0);
    EXPECT_EQ(sounds().bytesHeld(), 0u);
    const std::vector<float> out = render(static_cast<int>(kLongFrames + 1000));
    EXPECT_EQ(firstLoopMismatch(out, decodeStereo(first)), -1);
    control.OpenSample(first);
    EXPECT_TRUE(control.sampleIsStreamed());
}

TEST_F(ReadySoundsTest, FilesThatCannotPlayLeaveNothingReadyAndPlayNothing)
{
    const std::string missing = dir.file("missing.wav");
    const std::string empty = dir.file("empty.wav");
    const std::string corrupt = dir.file("corrupt.wav");
    std::FILE* file = std::fopen(empty.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    file = std::fopen(corrupt.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::vector<float> junk = noise(400000, 1.0f, 9);
    std::fwrite(junk.data(), sizeof(float), junk.size(), file);
    std::fclose(file);
    const std::size_t held = sounds().bytesHeld();

    control.KeepSamplesReady({missing, empty, corrupt});
    for (const std::string& path : {missing, empty, corrupt}) {
        EXPECT_FALSE(readyWhenSettled(path)) << path;
        control.OpenSample(path);
        EXPECT_FALSE(control.sampleIsStreamed()) << path;
        control.PlaySample(true);
        EXPECT_FALSE(control.SampleIsActive()) << path;
        EXPECT_TRUE(silent(render(1024))) << path;
    }
    EXPECT_EQ(sounds().bytesHeld(), held);
}

TEST_F(ReadySoundsTest, StreamedFilesAreNotPreparedAndARestartAtAnotherRatePreparesAgain)
{
    const std::string mp3 = sound("stream.mp3", sine(20000, 2, 220.0, kRate, 0.5f), 2, kMp3);
    const std::string path = longWav("pad.wav", 10);
    control.KeepSamplesReady({mp3, path});
    ASSERT_TRUE(readyWhenSettled(path));
    EXPECT_FALSE(sounds().isReady(mp3));

    control.TerminateBASS();
    control.InitBASS(0, 48000, false, false);
    EXPECT_EQ(sounds().rate(), 48000);
    ASSERT_TRUE(readyWhenSettled(path));
    std::shared_ptr<const SampleBuffer> fresh;
    ASSERT_EQ(decodeSample(path, 48000, AudioEngine::kDefaultSampleSizeLimit, fresh),
              DecodeResult::Ok);
    control.OpenSample(path);
    EXPECT_FALSE(control.sampleIsStreamed());
    expectLoopOf(framesOf(*fresh));
}

TEST(ReadySoundsBudget, SettingInMegabytesOrTheDefault)
{
    constexpr std::size_t kMiB = 1024 * 1024;
    EXPECT_EQ(ReadySounds::BudgetFromMegabytes("1024"), 1024 * kMiB);
    EXPECT_EQ(ReadySounds::BudgetFromMegabytes(" 256 "), 256 * kMiB);
    EXPECT_EQ(ReadySounds::BudgetFromMegabytes("0"), 0u);
    for (const char* nonsense : {"", "  ", "lots", "-5", "12x", "1.5", "99999999999999999999"})
        EXPECT_EQ(ReadySounds::BudgetFromMegabytes(nonsense), ReadySounds::kDefaultBudget)
            << nonsense;
}

} // namespace
