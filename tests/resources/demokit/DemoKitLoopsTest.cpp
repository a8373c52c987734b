// SPDX-License-Identifier: GPL-3.0-or-later
// The demo loops exactly as the build put them into Sounds/: what a user hears at the first
// press of a pad.

#include "DemoKitDesign.h"
#include "DemoKitFiles.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

namespace demokit {
void PrintTo(const DemoLoopFile& file, std::ostream* out)
{
    *out << file.name;
}
} // namespace demokit

namespace {

using demokit::DemoLoopFile;
using demokit::FileKind;
using demokit::LoopCanvas;

const std::filesystem::path kSounds = QUENDEL_DEMO_SOUNDS_DIR;
const double kMinus1dB = std::pow(10.0, -1.0 / 20.0);

std::optional<LoopCanvas> load(const std::string& name)
{
    return demokit::readLoop(kSounds / name);
}

std::vector<double> channel(const LoopCanvas& loop, int which)
{
    std::vector<double> samples(static_cast<std::size_t>(loop.frames()));
    for (int i = 0; i < loop.frames(); ++i)
        samples[static_cast<std::size_t>(i)] = which == 0 ? loop.left(i) : loop.right(i);
    return samples;
}

class DemoLoop : public ::testing::TestWithParam<DemoLoopFile> {};

// For the MP3 the length is the gapless test: the encoder's delay and padding must be trimmed on
// reading, or the loop would drift against the others and stutter at every pass.
TEST_P(DemoLoop, IsStereo44100InItsFormatAndDecodesToWholeBarsAt120Bpm)
{
    SF_INFO info{};
    SNDFILE* file = sf_open((kSounds / GetParam().name).c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << GetParam().name << ": " << sf_strerror(nullptr);
    sf_close(file);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    if (GetParam().kind == FileKind::Mp3)
        EXPECT_EQ(info.format, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    else
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    const auto loop = load(GetParam().name);
    ASSERT_TRUE(loop);
    EXPECT_EQ(loop->frames() % 88200, 0);
    EXPECT_EQ(loop->frames(), demokit::kLoopFrames);
}

// The step from the last frame back to the first is one the loop takes all the time anyway:
// no click, no gap at the seam.
TEST_P(DemoLoop, PeaksBelowMinusOneDbfsWithoutDcAndLoopsWithoutAClick)
{
    const auto loop = load(GetParam().name);
    ASSERT_TRUE(loop);
    EXPECT_LT(loop->peak(), kMinus1dB);
    // Loud enough to be worth a pad: no part is a near-silent file.
    EXPECT_GT(loop->rms(), std::pow(10.0, -40.0 / 20.0));
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which == 0 ? "left" : "right");
        const std::vector<double> samples = channel(*loop, which);
        double sum = 0.0;
        for (double value : samples)
            sum += value;
        EXPECT_LT(std::abs(sum / static_cast<double>(samples.size())), 1e-4);
        std::vector<double> steps;
        for (std::size_t i = 1; i < samples.size(); ++i)
            steps.push_back(std::abs(samples[i] - samples[i - 1]));
        const auto typical = steps.begin() + static_cast<long>(steps.size() * 99 / 100);
        std::nth_element(steps.begin(), typical, steps.end());
        const double seam = std::abs(samples.front() - samples.back());
        EXPECT_LE(seam, *typical);
    }
}

INSTANTIATE_TEST_SUITE_P(Kit, DemoLoop, ::testing::ValuesIn(demokit::demoKitFiles()),
                         [](const auto& info) {
                             std::string name;
                             for (char c : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Listening by numbers: the parts played together do not clip, and they are the full mix the
// first pad plays, in step with it to the sample.
TEST(DemoKit, PartsTogetherAreTheFullMixWithoutClipping)
{
    // Both of the program's playback paths are heard: streams (the MP3) and samples.
    const auto& files = demokit::demoKitFiles();
    ASSERT_GE(files.size(), 4u);
    ASSERT_EQ(files.front().kind, FileKind::Mp3);
    const auto full = load(files.front().name);
    ASSERT_TRUE(full);
    LoopCanvas together(demokit::kLoopFrames);
    for (std::size_t i = 1; i < files.size(); ++i) {
        const auto part = load(files[i].name);
        ASSERT_TRUE(part) << files[i].name;
        EXPECT_EQ(files[i].kind, FileKind::Wave);
        ASSERT_EQ(part->frames(), together.frames()) << files[i].name;
        together.mix(*part);
    }
    EXPECT_LT(together.peak(), 1.0);

    double product = 0.0;
    double energyTogether = 0.0;
    double energyFull = 0.0;
    for (int i = 0; i < together.frames(); ++i)
        for (int which = 0; which < 2; ++which) {
            const double a = which == 0 ? together.left(i) : together.right(i);
            const double b = which == 0 ? full->left(i) : full->right(i);
            product += a * b;
            energyTogether += a * a;
            energyFull += b * b;
        }
    EXPECT_GT(product / std::sqrt(energyTogether * energyFull), 0.98);
    EXPECT_NEAR(std::sqrt(energyFull / energyTogether), 1.0, 0.05);
}

// The drums really are at 120 BPM: their loudness swings with a period of one beat (0.5 s).
TEST(DemoKit, DrumsPulseOnTheBeat)
{
    const auto drums = load("Drums 120.wav");
    ASSERT_TRUE(drums);
    constexpr int kWindow = 441; // 10 ms
    std::vector<double> envelope;
    for (int start = 0; start + kWindow <= drums->frames(); start += kWindow) {
        double energy = 0.0;
        for (int i = start; i < start + kWindow; ++i)
            energy += drums->left(i) * drums->left(i) + drums->right(i) * drums->right(i);
        envelope.push_back(energy);
    }
    double mean = 0.0;
    for (double value : envelope)
        mean += value / static_cast<double>(envelope.size());
    int bestLag = 0;
    double best = -1.0;
    for (int lag = 30; lag <= 75; ++lag) { // 0.3 s to 0.75 s: 200 down to 80 BPM
        double sum = 0.0;
        for (std::size_t i = 0; i < envelope.size(); ++i)
            sum += (envelope[i] - mean) *
                   (envelope[(i + static_cast<std::size_t>(lag)) % envelope.size()] - mean);
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, 50);
}

} // namespace
