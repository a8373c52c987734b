// SPDX-License-Identifier: GPL-3.0-or-later
// What the bar's status line says at start and when a change cannot be stored: no sound device,
// a settings file that cannot be saved.

#include "BarTestSupport.h"
#include "core/SettingsStore.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace {

const QString kNoDevice = QStringLiteral("No sound device: the pads play on silently");

class BarNotes : public BarFixture {
protected:
    // Starts the bar with its settings file at settingsFile (empty: the program folder's),
    // with what it writes to standard error caught.
    void start(const QString& settingsFile = {})
    {
        folder = std::make_unique<ProgramFolder>();
        folder->writeAllSkins();
        if (!settingsFile.isEmpty())
            AppModul::SettingsFile = settingsFile;
        testing::internal::CaptureStderr();
        bar = &TheForm<Bar>(deck); // offline: no device at all
        errors = QString::fromStdString(testing::internal::GetCapturedStderr());
        bar->show();
    }
    void SetUp() override {}
    void TearDown() override
    {
        if (bar != nullptr)
            BarFixture::TearDown();
    }
    QString status() const { return bar->StatusLine->text(); }
    static void changeASetting()
    {
        WriteSetting(QStringLiteral("Quendel"), QStringLiteral("Volume"), QStringLiteral("50"),
                     AppModul::SettingsFile);
    }

    QString errors;
};

TEST_F(BarNotes, NoSoundDeviceIsSaidAtStartInTheOutputMenusWords)
{
    start();
    EXPECT_EQ(status(), kNoDevice);
    EXPECT_TRUE(errors.contains(kNoDevice)) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("Settings"))) << errors.toStdString();
    bar->Outputs->populate();
    EXPECT_EQ(bar->Outputs->menu().actions().front()->text(), kNoDevice);
}

TEST_F(BarNotes, ASettingsFileThatCannotBeSavedIsSaidOnceAtStartAndNamed)
{
    // A plain file where the settings folder should be: no one, root included, can write there.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("config"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString settings = blocker + QStringLiteral("/quendel.ini");
    start(settings);

    const QString note = QStringLiteral("Settings cannot be saved to ") + settings;
    EXPECT_EQ(status(), note);
    EXPECT_TRUE(errors.contains(note)) << errors.toStdString();
    // The missing device has its turn after it.
    EXPECT_TRUE(Settles([&] { return status() == kNoDevice; }, std::chrono::seconds(30)));

    // Every change made now is lost, but it has been said.
    bar->StatusLine->clear();
    changeASetting();
    changeASetting();
    QCoreApplication::processEvents();
    EXPECT_EQ(status(), QString());
}

TEST_F(BarNotes, TheFirstChangeThatCannotBeStoredIsSaidOnce)
{
    start();
    ASSERT_EQ(status(), kNoDevice);
    changeASetting(); // stored
    EXPECT_EQ(status(), kNoDevice);

    // The file turns into something that cannot be written while the bar runs.
    ASSERT_TRUE(QFile::remove(AppModul::SettingsFile));
    ASSERT_TRUE(QDir().mkdir(AppModul::SettingsFile));
    changeASetting();
    EXPECT_TRUE(Settles([&] {
        return status() == QStringLiteral("Settings cannot be saved to ") + AppModul::SettingsFile;
    }));
    bar->StatusLine->clear();
    changeASetting();
    QCoreApplication::processEvents();
    EXPECT_EQ(status(), QString());
}

} // namespace
