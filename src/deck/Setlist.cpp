// SPDX-License-Identifier: GPL-3.0-or-later
#include "Setlist.h"

#include "TempoSettings.h"

#include "core/NumberText.h"
#include "core/PadBanks.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <cmath>

namespace {

const QString kSection = QStringLiteral("Setlist");
const QString kCurrentKey = QStringLiteral("Song");

std::optional<double> TempoField(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    if (text.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0)
        return 0.0;
    bool ok = false;
    const double bpm = text.toDouble(&ok);
    if (!ok || !std::isfinite(bpm) || bpm < TempoSettings::kMinTempo ||
        bpm > TempoSettings::kMaxTempo)
        return std::nullopt;
    return bpm;
}

Song SongFrom(const QString& line)
{
    const QStringList fields = line.split(QLatin1Char('|'));
    const auto field = [&](int i) { return i < fields.size() ? fields[i].trimmed() : QString(); };
    Song song;
    song.name = field(0);
    song.bank = PadBanks::BankNamed(field(1));
    song.tempo = TempoField(field(2));
    const QStringList key = field(3).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok = false;
    const int semitones = key.isEmpty() ? 0 : key[0].toInt(&ok);
    if (ok && std::abs(semitones) <= TempoSettings::kMaxSemitones) {
        song.semitones = semitones;
        const int cents = key.size() > 1 ? key[1].toInt(&ok) : 0;
        song.cents = ok && std::abs(cents) <= TempoSettings::kMaxCents ? cents : 0;
    }
    // A note may hold "|" itself: everything after the fourth.
    song.note = fields.size() > 4 ? fields.mid(4).join(QLatin1Char('|')).trimmed() : QString();
    return song;
}

} // namespace

QList<Song> Setlist::SongsIn(QByteArrayView settings)
{
    QList<Song> songs;
    for (int n = 1; n <= kMaxSongs; ++n) {
        const std::optional<QString> line =
            FindSettingValue(settings, kSection, QStringLiteral("Song %1").arg(n));
        if (!line || line->trimmed().isEmpty())
            break;
        songs.append(SongFrom(*line));
        if (songs.back().name.isEmpty())
            songs.back().name = QStringLiteral("Song %1").arg(n);
    }
    return songs;
}

QString Setlist::Title(const QList<Song>& songs, int index)
{
    if (index < 0 || index >= songs.size())
        return QString();
    return QStringLiteral("%1/%2 %3").arg(index + 1).arg(songs.size()).arg(songs[index].name);
}

void Setlist::reload()
{
    reload(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
}

void Setlist::reload(QByteArrayView text)
{
    const QList<Song> songs = SongsIn(text);
    const double stored =
        LeadingNumber(SettingIn(text, AppModul::AppTitle, kCurrentKey, QStringLiteral("1")));
    const int current = songs.isEmpty() ? -1
                                        : std::clamp(static_cast<int>(stored) - 1, 0,
                                                     static_cast<int>(songs.size()) - 1);
    if (songs == m_songs && current == m_current)
        return;
    m_songs = songs;
    m_current = current;
    emit changed();
}

const Song* Setlist::currentSong() const
{
    return m_current >= 0 && m_current < m_songs.size() ? &m_songs[m_current] : nullptr;
}

bool Setlist::choose(int index)
{
    if (index < 0 || index >= m_songs.size())
        return false;
    if (index != m_current) {
        m_current = index;
        WriteSetting(AppModul::AppTitle, kCurrentKey, QString::number(index + 1),
                     AppModul::SettingsFile);
    }
    emit songChosen(m_songs[index]);
    emit changed();
    return true;
}
