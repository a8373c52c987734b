// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempoSettings.h"
#include "PadSettingValues.h"

#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace TempoSettings {
namespace {

using PadSettingValues::NumberIn;
const auto padKey = PadSettingValues::PadKey;

int wholeIn(const std::optional<QString>& value, int limit)
{
    const std::optional<double> number = NumberIn(value);
    if (!number)
        return 0;
    return std::clamp(RoundHalfEven(*number), -limit, limit);
}

bool switchIn(QByteArrayView text, QStringView key)
{
    const std::optional<QString> value = FindSettingValue(text, AppModul::AppTitle, key);
    return value && value->trimmed().compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

PadTempo PadTempoIn(QByteArrayView text, int pad)
{
    const QString section = PadSettingValues::Section(pad);
    const std::optional<QString> tempo = FindSettingValue(text, section, padKey("Tempo", pad));
    if (!tempo || tempo->trimmed().isEmpty())
        return {};
    // A tempo found for another file than the one bound now says nothing about this one.
    const std::optional<QString> of =
        FindSettingValue(text, section, padKey("Tempo", pad) + QStringLiteral(" of"));
    if (of && !of->trimmed().isEmpty()) {
        const QString bound = PadSettingValues::BoundNameIn(text, pad);
        if (of->trimmed() != bound.trimmed())
            return {};
    }
    if (tempo->trimmed().compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return {PadTempo::Kind::None, 0.0, 0};
    const std::optional<double> bpm = NumberIn(tempo);
    const std::optional<double> bars =
        NumberIn(FindSettingValue(text, section, padKey("Bars", pad)));
    if (!bpm || *bpm < kMinTempo || *bpm > kMaxTempo)
        return {};
    const int wholeBars = bars ? RoundHalfEven(*bars) : 0;
    if (wholeBars < 1 || wholeBars > kMaxBars)
        return {};
    return {PadTempo::Kind::Set, *bpm, wholeBars};
}

void StorePadTempo(int pad, const PadTempo& tempo, const QString& fileName)
{
    using namespace AppModul;
    QString value;
    switch (tempo.kind) {
    case PadTempo::Kind::Unknown:
        value = QString();
        break;
    case PadTempo::Kind::None:
        value = QStringLiteral("none");
        break;
    case PadTempo::Kind::Set:
        value = QString::number(tempo.bpm, 'f', 2);
        WriteSetting(PadSettingValues::Section(pad), padKey("Bars", pad), QString::number(tempo.bars), SettingsFile);
        break;
    }
    WriteSetting(PadSettingValues::Section(pad), padKey("Tempo", pad), value, SettingsFile);
    WriteSetting(PadSettingValues::Section(pad), padKey("Tempo", pad) + QStringLiteral(" of"), fileName, SettingsFile);
}

PadKey PadKeyIn(QByteArrayView text, int pad)
{
    const QString section = PadSettingValues::Section(pad);
    return {wholeIn(FindSettingValue(text, section, padKey("Transpose", pad)), kMaxSemitones),
            wholeIn(FindSettingValue(text, section, padKey("Cents", pad)), kMaxCents)};
}

void StorePadKey(int pad, const PadKey& key)
{
    using namespace AppModul;
    WriteSetting(PadSettingValues::Section(pad), padKey("Transpose", pad), QString::number(key.semitones),
                 SettingsFile);
    WriteSetting(PadSettingValues::Section(pad), padKey("Cents", pad), QString::number(key.cents), SettingsFile);
}

SessionKeyAndTempo SessionIn(QByteArrayView text)
{
    const QString main = AppModul::AppTitle;
    SessionKeyAndTempo session;
    if (const std::optional<double> tempo =
            NumberIn(FindSettingValue(text, main, QStringLiteral("Tempo"))))
        session.tempo = std::clamp(*tempo, kMinTempo, kMaxTempo);
    session.semitones =
        wholeIn(FindSettingValue(text, main, QStringLiteral("Transpose")), kMaxSemitones);
    session.cents =
        wholeIn(FindSettingValue(text, main, QStringLiteral("TransposeCents")), kMaxCents);
    if (const std::optional<double> a4 =
            NumberIn(FindSettingValue(text, main, QStringLiteral("BandA4")));
        a4 && *a4 >= kMinBandA4 && *a4 <= kMaxBandA4)
        session.bandA4 = *a4;
    session.metronome = switchIn(text, QStringLiteral("Metronome"));
    if (const std::optional<double> level =
            NumberIn(FindSettingValue(text, main, QStringLiteral("MetronomeLevel"))))
        session.metronomeLevel = std::clamp(RoundHalfEven(*level), 0, 100);
    session.countIn = switchIn(text, QStringLiteral("CountIn"));
    return session;
}

void StoreSession(const SessionKeyAndTempo& session, const SessionKeyAndTempo& before)
{
    using namespace AppModul;
    const auto store = [](const char* key, const QString& value) {
        WriteSetting(AppTitle, QLatin1String(key), value, SettingsFile);
    };
    if (session.tempo != before.tempo)
        store("Tempo", TempoText(session.tempo));
    if (session.semitones != before.semitones)
        store("Transpose", QString::number(session.semitones));
    if (session.cents != before.cents)
        store("TransposeCents", QString::number(session.cents));
    if (session.bandA4 != before.bandA4)
        store("BandA4", QString::number(session.bandA4, 'f', 1));
    if (session.metronome != before.metronome)
        store("Metronome", onOff(session.metronome));
    if (session.metronomeLevel != before.metronomeLevel)
        store("MetronomeLevel", QString::number(session.metronomeLevel));
    if (session.countIn != before.countIn)
        store("CountIn", onOff(session.countIn));
}

double PitchScale(const SessionKeyAndTempo& session, const PadKey& key)
{
    const double semitones = session.semitones + key.semitones;
    const double cents = session.cents + key.cents + 1200.0 * std::log2(session.bandA4 / 440.0);
    if (semitones == 0.0 && std::abs(cents) < 1e-9)
        return 1.0; // exactly as recorded: no render at all
    return std::exp2(semitones / 12.0 + cents / 1200.0);
}

double CycleFrames(const SessionKeyAndTempo& session, const PadTempo& tempo, int rate)
{
    if (session.tempo <= 0.0 || tempo.kind != PadTempo::Kind::Set || tempo.bpm <= 0.0 || rate <= 0)
        return 0.0;
    const double stretch = tempo.bpm / session.tempo; // how much longer the loop lasts
    if (stretch < kMinStretch || stretch > kMaxStretch)
        return 0.0;
    return tempo.bars * 4.0 * 60.0 / session.tempo * rate;
}

QString TempoText(double bpm)
{
    return bpm > 0.0 ? QString::number(bpm, 'f', 1) : QStringLiteral("off");
}

QString KeyText(int semitones, int cents)
{
    const auto signedText = [](int value) {
        return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
    };
    QString text = signedText(semitones) + QStringLiteral(" st");
    if (cents != 0)
        text += QStringLiteral(" ") + signedText(cents) + QStringLiteral(" ct");
    return text;
}

} // namespace TempoSettings
