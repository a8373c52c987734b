// SPDX-License-Identifier: GPL-3.0-or-later
// The starter settings: written only where no settings file is, and read back by the program as
// pad bindings.

#include "DemoKitFiles.h"
#include "core/SettingsStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using demokit::StarterSettings;

const std::vector<std::string> kNames = {"Full Mix 120 Am.mp3", "Drums 120.wav", "Bass 120 Am.wav"};

std::string contentsOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class StarterSettingsFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    fs::path folder() const { return fs::path(m_dir.path().toStdString()); }
    fs::path settings() const { return folder() / "quendel.ini"; }
    // Only the settings file itself: no temporary file is left behind.
    void expectOnlyTheSettingsFile() const
    {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(folder())) {
            EXPECT_EQ(entry.path().filename(), "quendel.ini");
            ++count;
        }
        EXPECT_EQ(count, 1);
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(StarterSettingsFile, MissingFileGetsTheBindingsTheProgramReads)
{
    EXPECT_EQ(demokit::writeStarterSettings(settings(), kNames), StarterSettings::Written);
    EXPECT_EQ(contentsOf(settings()), "[Samples]\n"
                                      "Sample 1=Full Mix 120 Am.mp3\n"
                                      "Sample 2=Drums 120.wav\n"
                                      "Sample 3=Bass 120 Am.wav\n");
    const QString file = QString::fromStdString(settings().string());
    EXPECT_EQ(ReadSetting("Samples", "Sample 1", file, ""), "Full Mix 120 Am.mp3");
    EXPECT_EQ(ReadSetting("Samples", "Sample 3", file, ""), "Bass 120 Am.wav");
    EXPECT_EQ(ReadSetting("Samples", "Sample 4", file, "none"), "none");
    // The main section's values stay at their defaults.
    EXPECT_EQ(ReadSetting("Quendel", "Volume", file, "80"), "80");
    expectOnlyTheSettingsFile();
}

// Whatever the user's settings file holds, even nothing at all or no bindings, it stays byte for
// byte as it was.
TEST_F(StarterSettingsFile, ExistingFileIsLeftByteForByte)
{
    for (const std::string& text :
         {std::string(), std::string("[Quendel]\r\nVolume=55\r\n"),
          std::string("[Samples]\nSample 1=Mine.wav\n"), std::string("\xff\xfe garbage\0\n", 13)}) {
        writeFile(settings(), text);
        EXPECT_EQ(demokit::writeStarterSettings(settings(), kNames), StarterSettings::LeftAlone);
        EXPECT_EQ(contentsOf(settings()), text);
        expectOnlyTheSettingsFile();
    }
}

TEST_F(StarterSettingsFile, AnythingByThatNameCountsAsTheUsers)
{
    fs::create_symlink(folder() / "elsewhere.ini", settings()); // leads nowhere
    EXPECT_EQ(demokit::writeStarterSettings(settings(), kNames), StarterSettings::LeftAlone);
    EXPECT_TRUE(fs::is_symlink(settings()));
    EXPECT_FALSE(fs::exists(folder() / "elsewhere.ini"));
    fs::remove(settings());

    fs::create_directory(settings());
    EXPECT_EQ(demokit::writeStarterSettings(settings(), kNames), StarterSettings::LeftAlone);
    EXPECT_TRUE(fs::is_directory(settings()));
}

TEST_F(StarterSettingsFile, LeftoverFromAStoppedBuildDoesNotBlock)
{
    writeFile(folder() / "quendel.ini.starter", "[Samples]\nSample 1=Half");
    EXPECT_EQ(demokit::writeStarterSettings(settings(), kNames), StarterSettings::Written);
    EXPECT_EQ(ReadSetting("Samples", "Sample 2", QString::fromStdString(settings().string()), ""),
              "Drums 120.wav");
    expectOnlyTheSettingsFile();
}

TEST_F(StarterSettingsFile, MissingFolderFailsQuietly)
{
    const fs::path inside = folder() / "gone" / "quendel.ini";
    EXPECT_EQ(demokit::writeStarterSettings(inside, kNames), StarterSettings::Failed);
    EXPECT_FALSE(fs::exists(folder() / "gone"));
}

} // namespace
