// SPDX-License-Identifier: GPL-3.0-or-later
#include "SetFiles.h"

#include "core/PadBanks.h"
#include "core/SettingsStore.h"
#include "import/SoundImport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <optional>
#include <vector>

namespace SetFiles {

namespace {

const QString kSetSection = QStringLiteral("Set");
const QString kSoundsSection = QStringLiteral("Sounds");
const QString kMainSection = QStringLiteral("Quendel");
const QString kFormat = QStringLiteral("1");
// A search through a folder someone picked stops after this many files: a whole home folder
// must not hang the gig's preparation.
constexpr std::size_t kMaxSearchedFiles = 50000;

// A bound name that stays inside the folder it is looked for in.
bool IsBareName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString SampleKey(int index)
{
    return QStringLiteral("Sample %1").arg(index + 1);
}

struct SoundEntry {
    QString name;
    QString hash;
    qint64 size = -1;
};

QList<SoundEntry> SoundsIn(QByteArrayView set)
{
    QList<SoundEntry> sounds;
    for (int n = 1;; ++n) {
        const std::optional<QString> name =
            FindSettingValue(set, kSoundsSection, QStringLiteral("Sound %1").arg(n));
        if (!name || name->isEmpty())
            break;
        bool ok = false;
        const qint64 size =
            SettingIn(set, kSoundsSection, QStringLiteral("Size %1").arg(n), QString())
                .toLongLong(&ok);
        sounds.append({*name,
                       SettingIn(set, kSoundsSection, QStringLiteral("Hash %1").arg(n), QString()),
                       ok ? size : -1});
    }
    return sounds;
}

bool Matches(const QString& path, const SoundEntry& sound)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    if (sound.hash.isEmpty())
        return true; // a set written by hand: the name is all there is
    return (sound.size < 0 || info.size() == sound.size) && ContentHash(path) == sound.hash;
}

// The files of the folders searched for a set's sounds, walked once for all of its sounds, and
// each file's hash taken at most once.
class SearchedFiles {
public:
    explicit SearchedFiles(const QStringList& folders) : m_folders(folders) {}

    // Where a sound is: by name at the top of one of the folders first (its content the same),
    // then by name anywhere below them, then by content under any name.
    std::optional<QString> find(const SoundEntry& sound)
    {
        for (const QString& folder : m_folders) {
            const QString candidate = QDir(folder).filePath(sound.name);
            if (Matches(candidate, sound))
                return candidate;
        }
        std::optional<QString> byContent;
        for (const QFileInfo& file : files()) {
            if (file.fileName().compare(sound.name, Qt::CaseInsensitive) == 0 &&
                (sound.hash.isEmpty() || hashOf(file) == sound.hash))
                return file.filePath();
            // Another name: only the same content counts, and only a set that says it.
            if (!byContent && !sound.hash.isEmpty() &&
                SoundImport::HasSoundExtension(file.fileName()) && file.size() == sound.size &&
                hashOf(file) == sound.hash)
                byContent = file.filePath();
        }
        return byContent;
    }

private:
    const std::vector<QFileInfo>& files()
    {
        if (m_walked)
            return m_files;
        m_walked = true;
        for (const QString& folder : m_folders) {
            QDirIterator walk(folder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
            while (walk.hasNext() && m_files.size() < kMaxSearchedFiles) {
                walk.next();
                m_files.push_back(walk.fileInfo());
            }
        }
        return m_files;
    }
    const QString& hashOf(const QFileInfo& file)
    {
        const auto known = m_hashes.find(file.filePath());
        if (known != m_hashes.end())
            return known->second;
        return m_hashes[file.filePath()] = ContentHash(file.filePath());
    }

    QStringList m_folders;
    std::vector<QFileInfo> m_files;
    bool m_walked = false;
    std::map<QString, QString> m_hashes;
};

} // namespace

const QStringList& CarriedSections()
{
    static const QStringList sections = [] {
        QStringList list;
        for (int bank = 0; bank < PadBanks::kBankCount; ++bank)
            list << PadBanks::Section(bank);
        list << QStringLiteral("Setlist");
        return list;
    }();
    return sections;
}

const QStringList& CarriedMainKeys()
{
    static const QStringList keys{"Tempo",          "Transpose",     "TransposeCents", "BandA4",
                                  "Switch",         "LoudnessMatch", "LoudnessTarget", "Metronome",
                                  "MetronomeLevel", "CountIn",       "Bank",           "Song"};
    return keys;
}

QStringList SoundsUsed(QByteArrayView settings)
{
    QStringList names;
    for (int bank = 0; bank < PadBanks::kBankCount; ++bank)
        for (int index = 0; index < kPadCount; ++index) {
            const QString name =
                SettingIn(settings, PadBanks::Section(bank), SampleKey(index), QString());
            if (!name.isEmpty() && !names.contains(name))
                names.append(name);
        }
    return names;
}

QString ContentHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

QString CollectedFolder(const QString& setPath)
{
    const QFileInfo set(setPath);
    return set.dir().filePath(set.completeBaseName() + QStringLiteral(" Sounds")) +
           QLatin1Char('/');
}

QByteArray SetTextOf(QByteArrayView settings, const QString& soundsFolder)
{
    QByteArray set = "; A Quendel set: the pads, the setlist and the session of a gig\n";
    set = TextWithSetting(set, kSetSection, u"Format", kFormat);
    for (const QString& key : CarriedMainKeys())
        if (const std::optional<QString> value = FindSettingValue(settings, kMainSection, key))
            set = TextWithSetting(set, kMainSection, key, *value);
    // An empty value reads as not set: the set leaves it out.
    for (const QString& section : CarriedSections())
        for (const QString& key : SettingKeysIn(settings, section))
            if (const QString value = SettingIn(settings, section, key, QString());
                !value.isEmpty())
                set = TextWithSetting(set, section, key, value);
    int n = 0;
    for (const QString& name : SoundsUsed(settings)) {
        ++n;
        set = TextWithSetting(set, kSoundsSection, QStringLiteral("Sound %1").arg(n), name);
        const QString path = soundsFolder + name;
        if (!IsBareName(name) || !QFileInfo(path).isFile())
            continue;
        set = TextWithSetting(set, kSoundsSection, QStringLiteral("Size %1").arg(n),
                              QString::number(QFileInfo(path).size()));
        set = TextWithSetting(set, kSoundsSection, QStringLiteral("Hash %1").arg(n),
                              ContentHash(path));
    }
    return set;
}

Saved Save(const QString& setPath, const QString& settingsFile, const QString& soundsFolder,
           bool collect)
{
    Saved saved;
    const std::optional<QByteArray> settings = ReadSettingsText(settingsFile);
    if (!settings) {
        saved.error = QStringLiteral("The settings file cannot be read");
        return saved;
    }
    for (const QString& name : SoundsUsed(*settings)) {
        const QString path = soundsFolder + name;
        if (!IsBareName(name) || !QFileInfo(path).isFile()) {
            saved.missing.append(name);
            continue;
        }
        if (!collect)
            continue;
        const SoundImport::Placement placed =
            SoundImport::PlaceInFolder(path, CollectedFolder(setPath), {});
        if (!placed.error.isEmpty()) {
            saved.error = placed.error;
            return saved;
        }
        saved.copied += placed.copied ? 1 : 0;
    }
    if (!WriteWholeFile(setPath, SetTextOf(*settings, soundsFolder)))
        saved.error = QStringLiteral("The set cannot be written to %1").arg(setPath);
    return saved;
}

Opened Open(const QString& setPath, const QString& settingsFile, const QString& soundsFolder,
            const QStringList& searchFolders)
{
    Opened opened;
    const std::optional<QByteArray> set = ReadSettingsText(setPath);
    if (!set || FindSettingValue(*set, kSetSection, u"Format") != kFormat) {
        opened.error = QStringLiteral("%1 is not a Quendel set").arg(QFileInfo(setPath).fileName());
        return opened;
    }
    // Bring in what is not in Sounds as the set knew it.
    SearchedFiles searched(QStringList{CollectedFolder(setPath)} + searchFolders);
    std::map<QString, QString> renamed;
    for (const SoundEntry& sound : SoundsIn(*set)) {
        if (!IsBareName(sound.name)) {
            opened.missing.append(sound.name);
            continue;
        }
        if (Matches(soundsFolder + sound.name, sound))
            continue;
        const std::optional<QString> found = searched.find(sound);
        if (!found) {
            opened.missing.append(sound.name);
            continue;
        }
        const SoundImport::Placement placed = SoundImport::PlaceInFolder(*found, soundsFolder, {});
        if (!placed.error.isEmpty()) {
            opened.missing.append(sound.name);
            continue;
        }
        if (placed.name != sound.name) {
            renamed[sound.name] = placed.name;
            opened.relinked.append(sound.name + QStringLiteral(" -> ") + placed.name);
        }
    }

    std::optional<QByteArray> settings = ReadSettingsText(settingsFile);
    QByteArray text = settings.value_or(QByteArray());
    for (const QString& key : CarriedMainKeys()) {
        const std::optional<QString> value = FindSettingValue(*set, kMainSection, key);
        if (value || FindSettingValue(text, kMainSection, key))
            text = TextWithSetting(text, kMainSection, key, value.value_or(QString()));
    }
    for (const QString& section : CarriedSections()) {
        // What the set leaves out of a section is emptied, which reads as not set.
        for (const QString& key : SettingKeysIn(text, section))
            if (!FindSettingValue(*set, section, key))
                text = TextWithSetting(text, section, key, QString());
        for (const QString& key : SettingKeysIn(*set, section)) {
            QString value = FindSettingValue(*set, section, key).value_or(QString());
            if (key.startsWith(QLatin1String("Sample "), Qt::CaseInsensitive) &&
                renamed.count(value) > 0)
                value = renamed[value];
            text = TextWithSetting(text, section, key, value);
        }
    }
    if (!WriteWholeFile(settingsFile, text))
        opened.error = QStringLiteral("The settings file cannot be written");
    return opened;
}

} // namespace SetFiles
