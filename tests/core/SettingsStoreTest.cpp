// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// File contents print with line ends and other control bytes as %XX, so a failure shows where
// the bytes differ.
static void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.left(400).toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}").constData()
        << (bytes.size() > 400 ? "\"..." : "\"");
}

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Runs check in a child process once setUp (which changes what that process may do) succeeds.
bool runInChild(const std::function<bool()>& setUp, const std::function<bool()>& check)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(!setUp() ? 2 : check() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Permissions mean nothing to root, who may read and replace any file, and tests often run as
// root in containers. There the check runs in a child process that has become "nobody".
bool runUnprivileged(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    return runInChild([] { return ::setgid(65534) == 0 && ::setuid(65534) == 0; }, check);
}

// A disk that fills up part way through a write: the check runs in a child process that may not
// make any file larger than limit bytes, and that sees the failed write (EFBIG) instead of being
// killed by SIGXFSZ.
bool runWithFileSizeLimit(rlim_t limit, const std::function<bool()>& check)
{
    const rlimit small{limit, limit};
    return runInChild(
        [&] {
            return ::setrlimit(RLIMIT_FSIZE, &small) == 0 &&
                   std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
        },
        check);
}

// --- Reading ---------------------------------------------------------------------------------

TEST(FindSettingValue, FollowsTheProfileFileRules)
{
    const struct {
        const char* why;
        QByteArray text;
        const char* section;
        const char* key;
        std::optional<QString> expected;
    } cases[] = {
        {"names in any case", "[quendel]\nvolume = 62.5 \n", "Quendel", "Volume", "62.5"},
        {"upper-case lookup", "[Quendel]\nVolume=80\n", "QUENDEL", "VOLUME", "80"},
        {"blanks and tabs", "\t[ Samples ]\t\n  Sample 5\t=\tkick.wav\t\n", "Samples", "sample 5",
         "kick.wav"},
        {"double quotes", "[S]\nSample 1=\" my loop.wav \"\n", "S", "Sample 1", " my loop.wav "},
        {"single quotes", "[S]\nk='x'\n", "S", "k", "x"},
        {"unmatched quotes", "[S]\nk=\"x'\n", "S", "k", "\"x'"},
        {"a lone quote", "[S]\nk=\"\n", "S", "k", "\""},
        {"empty value", "[S]\nk=\nj=1\n", "S", "k", ""},
        {"empty quotes", "[S]\nk=\"\"\n", "S", "k", ""},
        {"equals in value", "[S]\nUrl=a=b\n", "S", "url", "a=b"},
        {"comment lines", "[S]\n;k=1\n  ; k=2\nk=3\n", "S", "k", "3"},
        {"no inline comments", "[S]\nk=50 ; loud\n", "S", "k", "50 ; loud"},
        {"commented header", ";[S]\nk=1\n", "S", "k", std::nullopt},
        {"text after ]", "[S] ; main\nk=1\n", "S", "k", "1"},
        {"header without ]", "[S\nk=1\n", "S", "k", std::nullopt},
        {"first key wins", "[S]\nk=1\nK=2\n", "S", "k", "1"},
        {"first section wins", "[S]\nk=1\n[s]\nk=2\nj=3\n", "S", "k", "1"},
        {"later duplicate ignored", "[S]\nk=1\n[s]\nk=2\nj=3\n", "S", "j", std::nullopt},
        {"other section", "[Samples]\nVolume=1\n[Quendel]\n", "Quendel", "Volume", std::nullopt},
        {"key before any section", "k=1\n[S]\n", "S", "k", std::nullopt},
        {"line without =", "[S]\nk\nk=3\n", "S", "k", "3"},
        {"CRLF", "[S]\r\nk=80\r\nj=1\r\n", "S", "k", "80"},
        {"no final newline", "[S]\nk=80", "S", "k", "80"},
        {"byte order mark", "\xEF\xBB\xBF[S]\nk=80\n", "S", "k", "80"},
        {"missing section", "[T]\nk=1\n", "S", "k", std::nullopt},
        {"empty file", "", "S", "k", std::nullopt},
        {"empty key name", "[S]\n=1\n", "S", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(
            FindSettingValue(c.text, QString::fromLatin1(c.section), QString::fromLatin1(c.key)),
            c.expected);
    }
}

TEST(FindSettingValue, ReadsUtf8AndWindowsEditorText)
{
    const QByteArray text = "[Samples]\n"
                            "Sample 1=Caf\xC3\xA9.wav\n"    // UTF-8
                            "Sample 2=Caf\xE9.wav\n"        // Latin-1
                            "Sample 3=\x80 \x96 Beat.wav\n" // Windows-1252 euro, en dash
                            "Sample 4=\xC3\x28.wav\n"       // broken UTF-8
                            "Gr\xC3\xB6\xC3\x9F"
                            "e=big\n"; // UTF-8 key
    const QString samples = QStringLiteral("Samples");
    EXPECT_EQ(FindSettingValue(text, samples, u"Sample 1"), QStringLiteral("Café.wav"));
    EXPECT_EQ(FindSettingValue(text, samples, u"Sample 2"), QStringLiteral("Café.wav"));
    EXPECT_EQ(FindSettingValue(text, samples, u"Sample 3"), QStringLiteral("€ – Beat.wav"));
    EXPECT_EQ(FindSettingValue(text, samples, u"Sample 4"), QStringLiteral("Ã(.wav"));
    EXPECT_EQ(FindSettingValue(text, samples, u"GRÖSSE"), std::nullopt);
    EXPECT_EQ(FindSettingValue(text, samples,
                               u"grÖß"
                               "e"),
              QStringLiteral("big"));
}

TEST(FindSettingValue, CutsValuesTo2047Characters)
{
    const QString ascii(3000, u'a');
    const QString accented(3000, QChar(0xE9));
    QString emoji;
    for (int i = 0; i < 1500; ++i)
        emoji += QString::fromUtf8("\xF0\x9F\x8E\xB8"); // a guitar, two UTF-16 units
    const QByteArray latin1 = "[S]\nk=" + QByteArray(3000, '\xE9') + "\n";

    EXPECT_EQ(*FindSettingValue("[S]\nk=" + ascii.toUtf8(), u"S", u"k"), ascii.left(2047));
    EXPECT_EQ(*FindSettingValue("[S]\nk=" + accented.toUtf8(), u"S", u"k"), accented.left(2047));
    EXPECT_EQ(*FindSettingValue(latin1, u"S", u"k"), accented.left(2047));
    // Never half a character: 1023 guitars fill 2046 units, the next one would not fit.
    EXPECT_EQ(*FindSettingValue("[S]\nk=" + emoji.toUtf8(), u"S", u"k"), emoji.left(2046));
    EXPECT_EQ(FindSettingValue("[S]\nk=" + QByteArray(2047, 'b'), u"S", u"k")->size(), 2047);
}

TEST(FindSettingValue, SurvivesGarbageAndHugeLines)
{
    std::mt19937 random(1234);
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    for (char& c : garbage)
        c = static_cast<char>(random() % 256);
    garbage.replace("[", "<"); // make sure no section named like ours appears by chance
    EXPECT_EQ(FindSettingValue(garbage, u"Quendel", u"Volume"), std::nullopt);

    const QByteArray withNul = QByteArray("[S]\nk=a\0b\n", 10);
    EXPECT_EQ(FindSettingValue(withNul, u"S", u"k"), QString::fromLatin1("a\0b", 3));

    QByteArray huge = "[Quendel]\nJunk=" + QByteArray(10 << 20, 'x') + "\nVolume=62\n";
    EXPECT_EQ(FindSettingValue(huge, u"Quendel", u"Volume"), QStringLiteral("62"));
    EXPECT_EQ(FindSettingValue(huge, u"Quendel", u"Junk")->size(), 2047);
    huge.chop(1);
    EXPECT_EQ(FindSettingValue(huge, u"Quendel", u"Volume"), QStringLiteral("62"));
}

// --- Rewriting -------------------------------------------------------------------------------

TEST(TextWithSetting, ChangesOnlyWhatItMust)
{
    const struct {
        const char* why;
        QByteArray before;
        const char* section;
        const char* key;
        const char* value;
        QByteArray after;
    } cases[] = {
        {"value replaced in place, key keeps its case and spacing",
         "[quendel]\n  volume = 62.5 \nPanVal=0\n", "Quendel", "Volume", "70",
         "[quendel]\n  volume = 70\nPanVal=0\n"},
        {"CRLF lines kept", "[Quendel]\r\nVolume=80\r\nPanVal=0\r\n", "Quendel", "PanVal", "5",
         "[Quendel]\r\nVolume=80\r\nPanVal=5\r\n"},
        {"empty value filled", "[S]\nk=\nj=1\n", "S", "k", "v", "[S]\nk=v\nj=1\n"},
        {"last line without newline", "[S]\nk=1", "S", "k", "2", "[S]\nk=2"},
        {"new key after the section's last key, before blank lines and comments",
         "[Quendel]\nVolume=80\n\n; pads\n[Samples]\nSample 1=a.wav\n", "Quendel", "PanVal", "0",
         "[Quendel]\nVolume=80\nPanVal=0\n\n; pads\n[Samples]\nSample 1=a.wav\n"},
        {"new key in a section without keys", "[Quendel]\n[Samples]\n", "Quendel", "Volume", "80",
         "[Quendel]\nVolume=80\n[Samples]\n"},
        {"new key after an unterminated last line", "[S]\nk=1", "S", "j", "2", "[S]\nk=1\nj=2\n"},
        {"new key in CRLF file", "[S]\r\nk=1\r\n", "S", "j", "2", "[S]\r\nk=1\r\nj=2\r\n"},
        {"first of duplicate sections", "[S]\nk=1\n[s]\nj=2\n", "S", "j", "3",
         "[S]\nk=1\nj=3\n[s]\nj=2\n"},
        {"new file", "", "Quendel", "Volume", "80", "[Quendel]\nVolume=80\n"},
        {"new section after a blank line", "[Samples]\nSample 1=a.wav\n", "Quendel", "Volume", "80",
         "[Samples]\nSample 1=a.wav\n\n[Quendel]\nVolume=80\n"},
        {"new section, file without final newline", "[Samples]\nSample 1=a.wav", "Quendel",
         "Volume", "80", "[Samples]\nSample 1=a.wav\n\n[Quendel]\nVolume=80\n"},
        {"new section, file already ends in a blank line", "[Samples]\n\n", "Quendel", "Volume",
         "80", "[Samples]\n\n[Quendel]\nVolume=80\n"},
        {"new section in CRLF file", "[Samples]\r\n", "Quendel", "Volume", "80",
         "[Samples]\r\n\r\n[Quendel]\r\nVolume=80\r\n"},
        {"names trimmed", "", " Quendel\t", " Volume ", "80", "[Quendel]\nVolume=80\n"},
        {"other lines kept even when not UTF-8", "[S]\nSample 2=Caf\xE9.wav\r\nk=1\n", "S", "k",
         "Café", "[S]\nSample 2=Caf\xE9.wav\r\nk=Caf\xC3\xA9\n"},
        {"line break in value", "", "S", "k", "a\n[T]\r\nb=c", "[S]\nk=a [T]  b=c\n"},
        {"blanks at the ends kept by quotes", "", "S", "k", " padded ", "[S]\nk=\" padded \"\n"},
        {"quotes kept by quotes", "", "S", "k", "'q'", "[S]\nk=\"'q'\"\n"},
        {"key with =", "[S]\n", "S", "a=b", "1", "[S]\n"},
        {"key starting with ;", "[S]\n", "S", ";k", "1", "[S]\n"},
        {"key starting with [", "[S]\n", "S", "[k", "1", "[S]\n"},
        {"key with line break", "[S]\n", "S", "k\nj", "1", "[S]\n"},
        {"empty key", "[S]\n", "S", " ", "1", "[S]\n"},
        {"section with ]", "[S]\n", "S]x", "k", "1", "[S]\n"},
        {"empty section", "[S]\n", "", "k", "1", "[S]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(TextWithSetting(c.before, QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                  QString::fromUtf8(c.value)),
                  c.after);
    }
}

TEST(TextWithSetting, WhatIsWrittenReadsBack)
{
    const QByteArray start = "[Samples]\r\nSample 1=a.wav\r\n\r\n[Quendel]\r\nVolume=80\r\n";
    const QString values[] = {QStringLiteral("62.5"),        QStringLiteral(" lead "),
                              QStringLiteral("\"x\""),       QStringLiteral("'"),
                              QStringLiteral("Grüße €.mp3"), QStringLiteral("a=b;c"),
                              QString(2047, u'z'),           QString::fromLatin1("nul\0in", 6)};
    for (const QString& value : values) {
        for (const char* key : {"Volume", "VOLUME", "PanPos", "Sample 12"}) {
            SCOPED_TRACE(key);
            const QByteArray text =
                TextWithSetting(start, u"Quendel", QString::fromLatin1(key), value);
            EXPECT_EQ(FindSettingValue(text, u"QUENDEL", QString::fromLatin1(key)), value);
            EXPECT_EQ(FindSettingValue(text, u"Samples", u"Sample 1"), QStringLiteral("a.wav"));
            EXPECT_TRUE(text.startsWith("[Samples]\r\nSample 1=a.wav\r\n\r\n[Quendel]\r\n"));
        }
    }
}

TEST(TextWithSetting, KeepsGarbageByteForByte)
{
    std::mt19937 random(99);
    for (int round = 0; round < 20; ++round) {
        QByteArray garbage(1 + random() % 5000, Qt::Uninitialized);
        for (char& c : garbage)
            c = static_cast<char>(random() % 256);
        const QByteArray text = TextWithSetting(garbage, u"Quendel", u"Volume", u"62");
        EXPECT_TRUE(text.startsWith(garbage));
        EXPECT_EQ(FindSettingValue(text, u"Quendel", u"Volume"), QStringLiteral("62"));
    }
}

// --- The file ----------------------------------------------------------------------------------

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("quendel.ini"));
        SetSettingsNotSavedListener([this](const QString& file) { m_notSaved << file; });
    }
    void TearDown() override { SetSettingsNotSavedListener({}); }

    QTemporaryDir m_dir;
    QString m_file;
    QStringList m_notSaved; // every change WriteSetting could not store, by file
};

TEST_F(SettingsFile, MissingFileReadsTheDefaults)
{
    EXPECT_EQ(ReadSetting(u"Quendel"_qs, u"Volume"_qs, m_file, u"80"_qs), u"80"_qs);
    EXPECT_EQ(ReadSetting(u"Samples"_qs, u"Sample 1"_qs, m_file, QString()), QString());
    EXPECT_FALSE(QFileInfo::exists(m_file));
}

TEST_F(SettingsFile, WrittenValuesAreReadBackByTheNextCall)
{
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"62"_qs, m_file);
    WriteSetting(u"Quendel"_qs, u"VolPos"_qs, u"2100"_qs, m_file);
    WriteSetting(u"Samples"_qs, u"Sample 12"_qs, u"kick.wav"_qs, m_file);
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"63"_qs, m_file);
    EXPECT_EQ(bytesOf(m_file),
              "[Quendel]\nVolume=63\nVolPos=2100\n\n[Samples]\nSample 12=kick.wav\n");
    EXPECT_EQ(ReadSetting(u"QUENDEL"_qs, u"VOLUME"_qs, m_file, u"80"_qs), u"63"_qs);
    EXPECT_TRUE(SettingsCanBeSaved(m_file));
    EXPECT_TRUE(m_notSaved.isEmpty());
    EXPECT_EQ(ReadSetting(u"Samples"_qs, QStringLiteral("Sample ") + QString::number(11 + 1),
                          m_file, QString()),
              u"kick.wav"_qs);
    EXPECT_EQ(QFileInfo(m_file).permissions() & QFile::ReadOwner, QFile::ReadOwner);

    // A value edited by hand into nothing reads as the default.
    writeBytes(m_file, "[Quendel]\r\nVolume=\r\n");
    EXPECT_EQ(ReadSetting(u"Quendel"_qs, u"Volume"_qs, m_file, u"80"_qs), u"80"_qs);
}

TEST_F(SettingsFile, RewriteKeepsThePermissionsAndFollowsALink)
{
    const QString target = m_dir.filePath(QStringLiteral("real.ini"));
    writeBytes(target, "; mine\r\n[Quendel]\r\nVolume=80\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(target, m_file));

    EXPECT_TRUE(SettingsCanBeSaved(m_file));
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, m_file);
    EXPECT_TRUE(m_notSaved.isEmpty());
    EXPECT_TRUE(QFileInfo(m_file).isSymLink());
    EXPECT_EQ(bytesOf(target), "; mine\r\n[Quendel]\r\nVolume=50\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file left behind";
}

TEST_F(SettingsFile, SomethingElseInThePlaceOfTheFileIsLeftAlone)
{
    ASSERT_TRUE(QDir().mkdir(m_file));
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, m_file);
    EXPECT_TRUE(QFileInfo(m_file).isDir());
    EXPECT_EQ(ReadSetting(u"Quendel"_qs, u"Volume"_qs, m_file, u"80"_qs), u"80"_qs);

    // A pipe with no writer would block an ordinary open for ever.
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(ReadSetting(u"Quendel"_qs, u"Volume"_qs, pipe, u"80"_qs), u"80"_qs);
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, pipe);
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    const QString inMissingFolder = m_dir.filePath(QStringLiteral("gone/quendel.ini"));
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, inMissingFolder);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("gone"))));
    // A "folder" that is a plain file: not even root can write there.
    const QString underAFile = pipe + QStringLiteral("/quendel.ini");
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, underAFile);

    // Each lost change is told, and none of these places can be saved to.
    EXPECT_EQ(m_notSaved, QStringList({m_file, pipe, inMissingFolder, underAFile}));
    for (const QString& file : {m_file, pipe, inMissingFolder, underAFile})
        EXPECT_FALSE(SettingsCanBeSaved(file)) << file.toStdString();
}

TEST_F(SettingsFile, GarbageAndHugeFilesAreReadAndKept)
{
    QByteArray garbage = QByteArray("\0\xFF\xFE[\x01]\n=\n\r\r\n", 12) + QByteArray(10 << 20, 'x');
    writeBytes(m_file, garbage);
    EXPECT_EQ(ReadSetting(u"Quendel"_qs, u"Volume"_qs, m_file, u"80"_qs), u"80"_qs);
    WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, m_file);
    const QByteArray after = bytesOf(m_file);
    EXPECT_TRUE(after.startsWith(garbage));
    EXPECT_EQ(ReadSetting(u"Quendel"_qs, u"Volume"_qs, m_file, u"80"_qs), u"50"_qs);
}

TEST_F(SettingsFile, ReadOnlyAndUnreadableFilesAreLeftAlone)
{
    // The folder is open to the unprivileged user, so only the files' own permissions protect them.
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0777), 0);
    const QByteArray original = "[Quendel]\nVolume=80\n";
    const QString readOnly = m_dir.filePath(QStringLiteral("readonly.ini"));
    const QString unreadable = m_dir.filePath(QStringLiteral("unreadable.ini"));
    writeBytes(readOnly, original);
    writeBytes(unreadable, original);
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(unreadable).constData(), 0222), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(readOnly).constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(unreadable).constData(), 65534, 65534), 0);
    }

    EXPECT_TRUE(runUnprivileged([&] {
        if (SettingsCanBeSaved(readOnly) || SettingsCanBeSaved(unreadable))
            return false;
        WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, readOnly);
        WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, unreadable);
        return ReadSetting(u"Quendel"_qs, u"Volume"_qs, readOnly, u"?"_qs) == u"80"_qs &&
               ReadSetting(u"Quendel"_qs, u"Volume"_qs, unreadable, u"?"_qs) == u"?"_qs &&
               m_notSaved == QStringList({readOnly, unreadable});
    }));
    ASSERT_EQ(::chmod(QFile::encodeName(unreadable).constData(), 0644), 0);
    EXPECT_EQ(bytesOf(readOnly), original);
    EXPECT_EQ(bytesOf(unreadable), original);
}

TEST_F(SettingsFile, AnUnwritableFolderKeepsTheOldFile)
{
    const QByteArray original = "[Quendel]\nVolume=80\n";
    writeBytes(m_file, original);
    ASSERT_EQ(::chmod(QFile::encodeName(m_file).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0555), 0);
    const QString fresh = m_dir.filePath(QStringLiteral("fresh.ini"));

    EXPECT_TRUE(runUnprivileged([&] {
        // The file itself may be written, but no new file can be put beside it to replace it
        // whole, and rewriting it in place could leave it half written.
        if (SettingsCanBeSaved(m_file) || SettingsCanBeSaved(fresh))
            return false;
        WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, m_file);
        WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, fresh);
        return m_notSaved == QStringList({m_file, fresh});
    }));
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0700), 0);
    EXPECT_EQ(bytesOf(m_file), original);
    EXPECT_FALSE(QFileInfo::exists(fresh));
}

TEST_F(SettingsFile, AWriteThatFillsTheDiskKeepsTheOldFileWhole)
{
    const QByteArray original = "; mine\r\n[Quendel]\r\nVolume=80\r\n" + QByteArray(3000, ';');
    writeBytes(m_file, original);
    constexpr rlim_t kLimit = 4096;

    // Values that take the new file one byte past the limit, and many times past it: the disk
    // fills with the last byte, or part way through the value.
    for (const qsizetype length : {qsizetype(kLimit) - original.size() + 1, qsizetype(64) << 10}) {
        const QString value(length, u'x');
        EXPECT_TRUE(runWithFileSizeLimit(kLimit, [&] {
            WriteSetting(u"Quendel"_qs, u"Comment"_qs, value, m_file);
            return true;
        })) << length;
        EXPECT_EQ(bytesOf(m_file), original) << length;
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{u"quendel.ini"_qs})
            << "no temporary file left behind";
    }

    // Within the limit the same store writes as usual.
    EXPECT_TRUE(runWithFileSizeLimit(kLimit, [&] {
        WriteSetting(u"Quendel"_qs, u"Volume"_qs, u"50"_qs, m_file);
        return ReadSetting(u"Quendel"_qs, u"Volume"_qs, m_file, u"?"_qs) == u"50"_qs;
    }));
}

} // namespace
