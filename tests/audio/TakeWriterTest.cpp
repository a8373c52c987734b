// SPDX-License-Identifier: GPL-3.0-or-later
// Takes written to disk while the ring is fed: their names, their frames, and what a refused
// write leaves behind (a real file size limit in a child process).

#include "audio/record/TakeWriter.h"
#include "AudioTestSupport.h"
#include "audio/sounds/SampleBuffer.h"
#include "io/MonoRing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr int kRate = 48000;

using audiotest::eventually;

struct TempFolder : audiotest::TempDir {
    std::string path = dir.path().toStdString();
};

// Frames [from, to) of the input, with a period no chunk size shares, so that a frame written
// in the wrong place shows.
std::vector<float> Inputs(std::int64_t from, std::int64_t to)
{
    std::vector<float> frames;
    for (std::int64_t i = from; i < to; ++i)
        frames.push_back(static_cast<float>(i % 4099) * 1e-4f - 0.2f);
    return frames;
}

// Feeds frames [from, to) in blocks of odd sizes, waiting whenever the ring has no room.
void Feed(MonoRing& ring, std::int64_t from, std::int64_t to)
{
    static const int kBlocks[] = {1, 7, 333, 4099, 2, 1500};
    for (int b = 0; from < to; ++b) {
        const auto block = Inputs(from, std::min<std::int64_t>(from + kBlocks[b % 6], to));
        while (ring.capacity() - ring.readable() < block.size())
            std::this_thread::sleep_for(1ms);
        ring.write(block.data(), block.size());
        from += static_cast<std::int64_t>(block.size());
    }
}

struct Take {
    int channels = 0;
    std::int64_t frames = 0;
    std::vector<float> samples;
    std::uint64_t dataEnd = 0; // where the header says the frames end
};

// Reads a take with libsndfile (which forgives a stale header, so the header is read as well);
// a `whole` take's header covers the file exactly.
Take ReadTake(const std::string& path, bool whole = true)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr)
        return {};
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(info.samplerate, kRate);
    Take take{info.channels, 0, std::vector<float>(std::size_t(info.frames * info.channels))};
    take.frames = sf_readf_float(file, take.samples.data(), info.frames);
    sf_close(file);
    std::ifstream raw(path, std::ios::binary);
    std::uint32_t size = 0;
    raw.seekg(4).read(reinterpret_cast<char*>(&size), 4);
    const std::uint64_t riffEnd = size + 8;
    char id[4];
    for (std::uint64_t at = 12; raw.seekg(at).read(id, 4).read(reinterpret_cast<char*>(&size), 4);
         at += 8 + size + (size & 1))
        if (std::string(id, 4) == "data")
            take.dataEnd = at + 8 + size;
    if (whole) {
        EXPECT_EQ(riffEnd, std::filesystem::file_size(path));
        EXPECT_EQ(take.dataEnd, std::filesystem::file_size(path));
    }
    return take;
}

// The first of `frames` frames of `take` that is not the input (plus `loop` on both sides), or -1.
std::int64_t FirstWrongFrame(const Take& take, std::int64_t frames,
                             const SampleBuffer* loop = nullptr)
{
    const auto input = Inputs(0, frames);
    for (std::int64_t i = 0; i < std::min(frames, take.frames); ++i) {
        const bool under = loop && i < static_cast<std::int64_t>(loop->frames());
        for (int c = 0; c < take.channels; ++c)
            if (take.samples[std::size_t(i * take.channels + c)] !=
                input[std::size_t(i)] + (under ? loop->data()[2 * i + c] : 0.0f))
                return i;
    }
    return -1;
}

std::shared_ptr<const SampleBuffer> Loop(std::size_t frames)
{
    auto data = std::make_unique<float[]>(frames * 2);
    for (std::size_t i = 0; i < frames * 2; ++i)
        data[i] = static_cast<float>(i % 977) * 3e-4f * (i % 2 ? -1.0f : 1.0f);
    return std::make_shared<const SampleBuffer>(std::move(data), frames);
}

} // namespace

TEST(TakeNames, TheLowestFreeNameIsTakenAndNoOtherFileOrLinkIsWrittenOver)
{
    TempFolder folder;
    std::ofstream(folder.file("Take 1.wav")) << "an earlier take";
    std::filesystem::create_symlink(folder.file("elsewhere.wav"), folder.file("Take 2.wav"));
    std::ofstream(folder.file("Take 4.wav")) << "another";
    EXPECT_EQ(NextTakeName(folder.path), "Take 3.wav");
    EXPECT_EQ(NextTakeName(folder.file("missing")), "");

    MonoRing ring(1024);
    TakeWriter writer;
    ASSERT_TRUE(writer.start(folder.path + "/", kRate, ring));
    EXPECT_EQ(writer.path(), folder.path + "/Take 3.wav");
    EXPECT_EQ(NextTakeName(folder.path), "Take 5.wav");
    std::string kept;
    std::getline(std::ifstream(folder.file("Take 1.wav")), kept);
    EXPECT_EQ(kept, "an earlier take");
    EXPECT_FALSE(std::filesystem::exists(folder.file("elsewhere.wav")));
}

TEST(TakeWriterFailure, AFolderThatTakesNoFileIsNamedInTheMessage)
{
    TempFolder folder;
    MonoRing ring(1024);
    TakeWriter writer;
    EXPECT_FALSE(writer.start(folder.file("gone"), kRate, ring));
    EXPECT_EQ(writer.status().state, TakeWriter::State::Failed);
    EXPECT_EQ(writer.status().error,
              "Cannot write a take in " + folder.file("gone") + ": No such file or directory");

    chmod(folder.path.c_str(), 0500);
    if (access(folder.path.c_str(), W_OK) == 0)
        GTEST_SKIP() << "this user writes in a read-only folder all the same";
    EXPECT_FALSE(writer.start(folder.path, kRate, ring));
    EXPECT_EQ(writer.status().error,
              "Cannot write a take in " + folder.path + ": Permission denied");
}

TEST(TakeWriterContent, ATakeHoldsExactlyItsFramesWhetherItsEndCameEarlyOrLate)
{
    constexpr std::int64_t kFrames = 50001;
    struct Case {
        const char* name;
        std::shared_ptr<const SampleBuffer> loop;
        bool endKnownEarly;
    };
    // An overdub is the loop plus the input on both sides, and the input alone past its end.
    for (const Case& c :
         {Case{"mono, end known early", nullptr, true},
          Case{"mono, end known late", nullptr, false}, Case{"overdub", Loop(30000), true}}) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        MonoRing ring(1 << 15);
        TakeWriter writer;
        ASSERT_TRUE(writer.start(folder.path, kRate, ring, c.loop));
        Feed(ring, 0, kFrames / 3);
        if (c.endKnownEarly)
            writer.finish(kFrames);
        // More than the take: a late end cuts back what was written past it.
        Feed(ring, kFrames / 3, kFrames + 1000);
        if (!c.endKnownEarly) {
            ASSERT_TRUE(
                eventually([&] { return writer.status().framesWritten == kFrames + 1000; }));
            writer.finish(kFrames);
        }
        ASSERT_TRUE(writer.waitClosed(10s));
        EXPECT_EQ(writer.status().state, TakeWriter::State::Finished);
        EXPECT_EQ(writer.status().framesWritten, kFrames);
        const Take take = ReadTake(writer.path());
        EXPECT_EQ(take.channels, c.loop ? 2 : 1);
        EXPECT_EQ(take.frames, kFrames);
        EXPECT_EQ(FirstWrongFrame(take, kFrames, c.loop.get()), -1);
    }
}

TEST(TakeWriterContent, ATakeOpensWhileItIsWrittenAndAStopKeepsEverythingFed)
{
    TempFolder folder;
    MonoRing ring(1 << 16);
    TakeWriter writer;
    ASSERT_TRUE(writer.start(folder.path, kRate, ring));
    Feed(ring, 0, kRate);
    ASSERT_TRUE(eventually([&] { return writer.status().framesWritten == kRate; }));
    // Found now (the program gone, say), the file already holds most of that second.
    EXPECT_GE(ReadTake(writer.path(), false).dataEnd, sizeof(float) * kRate * 3 / 4);

    Feed(ring, kRate, kRate + 100);
    writer.stop();
    ASSERT_TRUE(writer.waitClosed(10s));
    EXPECT_EQ(writer.status().state, TakeWriter::State::Finished);
    const Take take = ReadTake(writer.path());
    EXPECT_EQ(take.frames, kRate + 100);
    EXPECT_EQ(FirstWrongFrame(take, take.frames), -1);
}

TEST(TakeWriterContent, FramesTheRingHadNoRoomForBecomeSilenceAndTheTakeKeepsItsLength)
{
    TempFolder folder;
    MonoRing ring(64);
    TakeWriter writer;
    ASSERT_TRUE(writer.start(folder.path, kRate, ring));
    const auto burst = Inputs(0, 1000);
    ring.write(burst.data(), burst.size());
    writer.finish(1000);
    ASSERT_TRUE(writer.waitClosed(10s));
    const auto lost = static_cast<std::int64_t>(ring.dropped());
    EXPECT_EQ(writer.status().framesLost, lost);
    const Take take = ReadTake(writer.path());
    EXPECT_EQ(take.frames, 1000);
    EXPECT_EQ(FirstWrongFrame(take, 1000 - lost), -1);
}

TEST(TakeWriterFailure, AFileSizeLimitLeavesAValidFileWithEveryFrameWrittenBeforeIt)
{
    constexpr rlim_t kLimit = 100003;
    for (const bool overdub : {false, true}) {
        SCOPED_TRACE(overdub ? "overdub" : "mono");
        TempFolder folder;
        const auto loop = overdub ? Loop(70000) : nullptr;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The writer itself keeps SIGXFSZ from ending the program, so the write fails.
            const rlimit limit{kLimit, kLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            MonoRing ring(1 << 16);
            TakeWriter writer;
            writer.start(folder.path, kRate, ring, loop);
            Feed(ring, 0, 60000);
            writer.finish(60000);
            writer.waitClosed(10s);
            const TakeWriter::Status status = writer.status();
            std::ofstream(folder.file("status")) << static_cast<int>(status.state) << ' '
                                                 << status.framesWritten << ' ' << status.error;
            _exit(0);
        }
        int exit = 0;
        waitpid(child, &exit, 0);
        ASSERT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0) << "the child ended with " << exit;
        std::ifstream said(folder.file("status"));
        int state = 0;
        std::int64_t frames = 0;
        std::string error;
        std::getline(said >> state >> frames >> std::ws, error);
        EXPECT_EQ(state, static_cast<int>(TakeWriter::State::Failed));
        EXPECT_GT(frames, 0);
        EXPECT_TRUE(error.starts_with("The take reached the largest file this system allows: "
                                      "Take 1.wav keeps the first 0."))
            << error;
        const Take take = ReadTake(folder.file("Take 1.wav"));
        EXPECT_EQ(take.channels, overdub ? 2 : 1);
        EXPECT_EQ(take.frames, frames);
        EXPECT_EQ(FirstWrongFrame(take, frames, loop.get()), -1);
    }
}
