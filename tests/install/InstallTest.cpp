// SPDX-License-Identifier: GPL-3.0-or-later
// The installed Quendel: `cmake --install` of this build into a temporary DESTDIR under /usr, the
// tree checked file by file and by the desktop's own validators, and the installed program
// started offscreen as a new user whose home and XDG folders are temporary.

#include "core/PrivateFiles.h"
#include "startup/RunningCopy.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

const QString kAppId = QStringLiteral(QUENDEL_APP_ID);
const QStringList kDemoKit{"Full Mix 120 Am.mp3", "Drums 120.wav",       "Bass 120 Am.wav",
                           "Chords 120 Am.wav",   "Arpeggio 120 Am.wav", "Percussion 120.wav"};

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dest = new QTemporaryDir;
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), s_dest->path());
        install.setProcessEnvironment(env);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(QUENDEL_CMAKE),
                      {"--install", QStringLiteral(QUENDEL_BUILD_DIR), "--prefix", "/usr"});
        s_installed = install.waitForFinished(120000) &&
                      install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0;
        s_log = install.readAll();
    }
    static void TearDownTestSuite()
    {
        delete s_dest;
        s_dest = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_installed) << s_log.toStdString(); }

    static QString usr(const QString& path) { return s_dest->path() + "/usr/" + path; }

    // The environment of a new user: home, configuration, data, cache and temporary folders of
    // its own, no display, no sound card.
    QProcessEnvironment newUser() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_user.path() + "/home");
        env.insert("XDG_CONFIG_HOME", m_user.path() + "/config");
        env.insert("XDG_DATA_HOME", m_user.path() + "/data");
        env.insert("XDG_CACHE_HOME", m_user.path() + "/cache");
        env.insert("TMPDIR", m_user.path() + "/tmp");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("ASAN_OPTIONS", "detect_leaks=0"); // it is ended from outside
        return env;
    }
    void prepareUser() const
    {
        for (const char* folder : {"home", "tmp"})
            QDir(m_user.path()).mkpath(QLatin1String(folder));
    }

    static QTemporaryDir* s_dest;
    static bool s_installed;
    static QByteArray s_log;
    QTemporaryDir m_user;
};
QTemporaryDir* Installed::s_dest = nullptr;
bool Installed::s_installed = false;
QByteArray Installed::s_log;

// Runs a program to its end; the exit code, or -1 when it did not end normally.
int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(60000);
    if (output)
        *output = process.readAll();
    return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST_F(Installed, TheTreeHoldsProgramSkinKitAndDesktopFiles)
{
    EXPECT_TRUE(QFileInfo(usr("bin/quendel")).isExecutable());
    for (const char* image :
         {"AllOff", "AllOn", "Settings", "TunerOff", "TunerOn", "ToneOff", "ToneOn", "PotiClip"})
        EXPECT_FALSE(QImage(usr("share/quendel/Skin/") + image + ".bmp").isNull()) << image;
    EXPECT_EQ(QDir(usr("share/quendel/Sounds")).entryList(QDir::Files).size(), kDemoKit.size());
    // The starter settings bind the kit and nothing of the build folder's own settings.
    QFile starter(usr("share/quendel/quendel.ini"));
    ASSERT_TRUE(starter.open(QIODevice::ReadOnly));
    const QByteArray bindings = starter.readAll();
    EXPECT_TRUE(bindings.contains("Sample 2=Drums 120.wav")) << bindings.toStdString();
    EXPECT_FALSE(bindings.contains("Volume"));
}

TEST_F(Installed, TheManualPageNamesTheFoldersOfThePrefixItWasInstalledTo)
{
    // This build was set up for another prefix (/usr/local by default); installed under /usr,
    // as the Debian package is, the page must point there.
    QByteArray page;
    ASSERT_EQ(run(QStringLiteral("gzip"), {"-dc", usr("share/man/man1/quendel.1.gz")}, &page), 0);
    EXPECT_TRUE(page.contains("\n.I /usr/share/quendel/\n")) << page.toStdString();
    EXPECT_FALSE(page.contains("/usr/local")) << page.toStdString();
    EXPECT_FALSE(page.contains('@')) << page.toStdString();
}

TEST_F(Installed, TheIconComesInEverySizeAndAsAWellFormedScalableDrawing)
{
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QImage icon(usr("share/icons/hicolor/%1x%1/apps/").arg(size) + kAppId + ".png");
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size; // rounded corners show the desktop
        // The lit pad in the upper left shines amber at every size.
        const QRgb lit = icon.pixel(size * 100 / 256, size * 100 / 256);
        EXPECT_GT(qRed(lit), 200) << size;
        EXPECT_LT(qBlue(lit), 150) << size;
        const QRgb unlit = icon.pixel(size * 170 / 256, size * 170 / 256);
        EXPECT_LT(qRed(unlit), 120) << size;
    }
    QFile svg(usr("share/icons/hicolor/scalable/apps/") + kAppId + ".svg");
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    int shapes = 0;
    QString viewBox;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"svg")
            viewBox = xml.attributes().value("viewBox").toString();
        shapes += xml.name() == u"rect" || xml.name() == u"ellipse";
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(viewBox, "0 0 256 256");
    EXPECT_GE(shapes, 5);
}

TEST_F(Installed, TheDesktopEntryAndMetainfoPassTheirValidators)
{
    for (const char* tool : {"desktop-file-validate", "appstreamcli"})
        ASSERT_FALSE(QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            << tool << " is missing: run scripts/setup";
    const QString desktop = usr("share/applications/") + kAppId + ".desktop";
    QByteArray output;
    EXPECT_EQ(run("desktop-file-validate", {desktop}, &output), 0) << output.toStdString();
    QFile entry(desktop);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nCategories=AudioVideo;Audio;Music;\n"));
    EXPECT_EQ(run("appstreamcli",
                  {"validate", "--no-net", usr("share/metainfo/") + kAppId + ".metainfo.xml"},
                  &output),
              0)
        << output.toStdString();
}

TEST_F(Installed, TheFirstStartOfANewUserFillsTheUsersFolders)
{
    prepareUser();
    QProcess first;
    first.setProcessEnvironment(newUser());
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(usr("bin/quendel"), {});
    ASSERT_TRUE(first.waitForStarted());
    // The settings file is the last thing the start writes before the bar opens.
    const QString settings = m_user.path() + "/config/quendel/quendel.ini";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(settings); }, 60000));
    EXPECT_EQ(first.state(), QProcess::Running);

    const QString sounds = m_user.path() + "/data/quendel/Sounds/";
    for (const QString& loop : kDemoKit)
        EXPECT_EQ(QFileInfo(sounds + loop).size(),
                  QFileInfo(usr("share/quendel/Sounds/") + loop).size())
            << loop.toStdString();
    EXPECT_TRUE(QFileInfo(m_user.path() + "/data/quendel/Skin").isDir());
    QFile written(settings), starter(usr("share/quendel/quendel.ini"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly) && starter.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), starter.readAll());
    EXPECT_EQ(QDir(usr("bin")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"quendel"}); // nothing beside the installed program

    // A second start ends at once with exit code 0 and leaves the first running.
    EXPECT_EQ(run(usr("bin/quendel"), {}, nullptr, newUser()), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

TEST_F(Installed, ASecondStartRaisesTheBarOfTheRunningCopy)
{
    prepareUser();
    // This test plays the running copy with a bar of its own, in the same private folder that
    // the installed program will look in.
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(m_user.path() + "/tmp"));
    RunningCopy running(UserPrivateTempFolder());
    qputenv("TMPDIR", savedTmp);
    ASSERT_TRUE(running.claim());
    QWidget bar;
    ASSERT_TRUE(running.listen([&] { ShowRaised(bar); }));
    bar.show();
    bar.showMinimized();
    ASSERT_TRUE(bar.isMinimized());

    QProcess second;
    second.setProcessEnvironment(newUser());
    second.start(usr("bin/quendel"), {});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar.isMinimized(); }, 60000));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&bar));
    second.waitForFinished(60000); // (false when it has already ended meanwhile)
    ASSERT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // The second start wrote nothing for the user: it ended before its folder setup.
    EXPECT_FALSE(QFile::exists(m_user.path() + "/config/quendel"));
}

} // namespace
