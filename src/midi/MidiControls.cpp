// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiControls.h"

#include "core/NumberText.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/PadDeck.h"
#include "deck/PadTriggers.h"

#include <algorithm>
#include <cmath>

MidiControls::MidiControls(PadDeck& deck) : m_deck(deck)
{
    for (int control = 0; control < kControlCount; ++control) {
        QTimer& rest = m_rest[static_cast<std::size_t>(control)];
        rest.setSingleShot(true);
        rest.setInterval(kRestMs);
        QObject::connect(&rest, &QTimer::timeout, this,
                         [this, control] { store(static_cast<Control>(control)); });
    }
    QObject::connect(&MidiControlChanges::instance(), &MidiControlChanges::learned, this,
                     [this] { reload(); });
    reload();
}

QString MidiControls::Key(Control control)
{
    switch (control) {
    case Volume:
        return QStringLiteral("Volume");
    case Pan:
        return QStringLiteral("Pan");
    case Tempo:
        return QStringLiteral("Tempo");
    }
    return QString();
}

std::optional<MidiTrigger> MidiControls::Stored(Control control)
{
    const std::optional<QByteArray> text = ReadSettingsText(AppModul::SettingsFile);
    if (!text)
        return std::nullopt;
    const std::optional<QString> value =
        FindSettingValue(*text, PadTriggers::kSection, Key(control));
    if (!value)
        return std::nullopt;
    const std::optional<MidiTrigger> trigger = MidiTrigger::Parse(*value);
    if (!trigger || trigger->kind != MidiTrigger::Kind::Control)
        return std::nullopt;
    return trigger;
}

void MidiControls::StoreLearned(Control control, int channel, int number)
{
    const MidiTrigger learned{MidiTrigger::Kind::Control, number, channel};
    for (int other = 0; other < kControlCount; ++other) {
        if (other == control)
            continue;
        const auto held = Stored(static_cast<Control>(other));
        if (held && held->overlaps(learned))
            WriteSetting(PadTriggers::kSection, Key(static_cast<Control>(other)), QString(),
                         AppModul::SettingsFile);
    }
    WriteSetting(PadTriggers::kSection, Key(control), learned.text(), AppModul::SettingsFile);
    emit MidiControlChanges::instance().learned();
}

void MidiControls::reload()
{
    m_learned = {Stored(Volume), Stored(Pan), Stored(Tempo)};
}

double MidiControls::TempoAt(int value)
{
    return kFirstTempo + std::clamp(value, 0, 127);
}

double MidiControls::KnobAt(int value)
{
    return std::round(std::clamp(value, 0, 127) * kKnobTravel / 127.0);
}

double MidiControls::ValueAt(Control control, double knobLeft)
{
    // The sliders' own arithmetic on their 238-pixel track (see SliderScale).
    constexpr double kTrack = 238;
    if (control == Volume)
        return std::floor(knobLeft * (kTrack / 100.0) / 78.0);
    return std::floor(knobLeft * (kTrack / 50.0) / 78.0) - 100.0;
}

bool MidiControls::take(const MidiMessage& message)
{
    if (message.type != MidiMessage::Type::Control)
        return false;
    bool taken = false;
    for (int control = 0; control < kControlCount; ++control) {
        const auto& learned = m_learned[static_cast<std::size_t>(control)];
        if (learned &&
            learned->matches(MidiTrigger::Kind::Control, message.channel, message.number)) {
            m_pending[static_cast<std::size_t>(control)] = message.value;
            taken = true;
        }
    }
    return taken;
}

void MidiControls::flush()
{
    for (int control = 0; control < kControlCount; ++control) {
        int& pending = m_pending[static_cast<std::size_t>(control)];
        if (pending >= 0)
            apply(static_cast<Control>(control), pending);
        pending = -1;
    }
}

void MidiControls::apply(Control control, int value)
{
    if (control == Tempo) {
        m_deck.Tempo.setTempo(TempoAt(value)); // stored and shown at once, by the deck
        return;
    }
    const auto c = static_cast<std::size_t>(control);
    m_knob[c] = KnobAt(value);
    m_value[c] = ValueAt(control, m_knob[c]);
    const int gain = static_cast<int>(m_value[c]);
    AudioControl& dmc = m_deck.DMC;
    dmc.SampleChanToModify(1);
    if (control == Volume) {
        dmc.SampleVol(gain);
        dmc.StreamVol(gain);
    } else {
        dmc.SamplePan(gain);
        dmc.StreamPan(gain);
    }
    emit MidiControlChanges::instance().moved(control, m_value[c], m_knob[c]);
    m_rest[c].start();
}

void MidiControls::store(Control control)
{
    using namespace AppModul;
    const auto c = static_cast<std::size_t>(control);
    const bool volume = control == Volume;
    WriteSetting(AppTitle, volume ? QStringLiteral("Volume") : QStringLiteral("PanVal"),
                 NumberToText(m_value[c]), SettingsFile);
    WriteSetting(AppTitle, volume ? QStringLiteral("VolPos") : QStringLiteral("PanPos"),
                 NumberToText(m_knob[c]), SettingsFile);
}

MidiControlChanges& MidiControlChanges::instance()
{
    static MidiControlChanges changes;
    return changes;
}
