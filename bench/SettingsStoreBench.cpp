// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PadCount.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A settings file as a user who has bound every pad has it: the pad section first, so a lookup
// in the main section passes every binding on its way.
QByteArray fullSettingsFile()
{
    QByteArray text = "[Samples]\r\n";
    for (int pad = 1; pad <= kPadCount; ++pad)
        text += "Sample " + QByteArray::number(pad) + "=Loop " + QByteArray::number(pad) +
                " - Funky Drums 120bpm.wav\r\n";
    text += "\r\n[Quendel]\r\nVolume=80\r\nVolPos=2625\r\nPanVal=0\r\nPanPos=1650\r\n";
    return text;
}

// The file lives in a fresh folder under base.
class SettingsFileFixture {
public:
    explicit SettingsFileFixture(const char* base = "/tmp")
        : m_dir(QString::fromLatin1(base) + QStringLiteral("/quendel-bench-XXXXXX")),
          m_file(m_dir.filePath(QStringLiteral("quendel.ini")))
    {
        QFile file(m_file);
        if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) ||
            file.write(fullSettingsFile()) < 0)
            m_file.clear();
    }
    const QString& file() const { return m_file; }

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void BM_ReadSetting(benchmark::State& state, const char* section, const char* key)
{
    SettingsFileFixture fixture;
    if (fixture.file().isEmpty()) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    const QString sectionName = QString::fromLatin1(section);
    const QString keyName = QString::fromLatin1(key);
    const QString fallback = QStringLiteral("?");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadSetting(sectionName, keyName, fixture.file(), fallback));
}
BENCHMARK_CAPTURE(BM_ReadSetting, PanVal, "QUENDEL", "PANVAL")->Repetitions(9);
BENCHMARK_CAPTURE(BM_ReadSetting, Sample28, "Samples", "Sample 28")->Repetitions(9);
BENCHMARK_CAPTURE(BM_ReadSetting, MissingKey, "Quendel", "ToneFreq")->Repetitions(9);

// A slider release: the value changes on every call, so every call replaces the file. Most of
// the time on a disk goes to the flush that makes the new file durable before it replaces the old
// one; the run in /dev/shm (memory, where the flush costs nothing) shows the rest.
void BM_WriteSetting(benchmark::State& state, const char* base)
{
    SettingsFileFixture fixture(base);
    if (fixture.file().isEmpty()) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    const QString section = QStringLiteral("Quendel");
    const QString key = QStringLiteral("Volume");
    const QString values[2] = {QStringLiteral("62"), QStringLiteral("63")};
    int turn = 0;
    for (auto _ : state)
        WriteSetting(section, key, values[turn++ & 1], fixture.file());
}
BENCHMARK_CAPTURE(BM_WriteSetting, tmp, "/tmp")->Repetitions(9)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WriteSetting, shm, "/dev/shm")->Repetitions(9)->Unit(benchmark::kMicrosecond);

// The parsing alone, without the file: what a read costs beyond opening and reading the file.
void BM_FindSettingValue(benchmark::State& state)
{
    const QByteArray text = fullSettingsFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(FindSettingValue(text, u"QUENDEL", u"PANPOS"));
}
BENCHMARK(BM_FindSettingValue)->Repetitions(9);

} // namespace

BENCHMARK_MAIN();
