// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadShots.h"

#include "PadSettingValues.h"

#include "core/ProgramState.h"
#include "core/SettingsStore.h"

namespace PadModes {

PadMode ModeIn(QByteArrayView settings, int deckPad)
{
    const QString text = SettingIn(settings, PadSettingValues::Section(deckPad),
                                   PadSettingValues::PadKey("Mode", deckPad), QString())
                             .trimmed();
    if (text.compare(QStringLiteral("one-shot"), Qt::CaseInsensitive) == 0)
        return PadMode::OneShot;
    if (text.compare(QStringLiteral("gate"), Qt::CaseInsensitive) == 0)
        return PadMode::Gate;
    return PadMode::Loop;
}

QString Text(PadMode mode)
{
    switch (mode) {
    case PadMode::OneShot:
        return QStringLiteral("one-shot");
    case PadMode::Gate:
        return QStringLiteral("gate");
    case PadMode::Loop:
        break;
    }
    return QStringLiteral("loop");
}

void Store(int deckPad, PadMode mode)
{
    WriteSetting(PadSettingValues::Section(deckPad), PadSettingValues::PadKey("Mode", deckPad),
                 Text(mode), AppModul::SettingsFile);
}

} // namespace PadModes

PadShots::PadShots(AudioEngine& engine) : m_engine(engine) {}

PadShots::~PadShots() = default;

bool PadShots::active(const Shot& shot) const
{
    return shot.control && (shot.control->SampleIsActive() || shot.control->StreamIsActive());
}

PadShots::Shot& PadShots::voiceFor(int pad)
{
    // The pad's own voice while it sounds, so a press again restarts rather than doubles it;
    // else a silent one; else the one started longest ago.
    Shot* oldest = &m_shots[0];
    Shot* silent = nullptr;
    for (Shot& shot : m_shots) {
        if (shot.pad == pad && active(shot))
            return shot;
        if (!silent && !active(shot))
            silent = &shot;
        if (shot.started < oldest->started)
            oldest = &shot;
    }
    return silent ? *silent : *oldest;
}

void PadShots::play(int pad, const std::string& path, bool loop, double gainDb, int volume, int pan)
{
    Shot& shot = voiceFor(pad);
    if (!shot.control)
        shot.control = std::make_unique<AudioControl>(m_engine);
    AudioControl& control = *shot.control;
    Silence(control);
    control.Trim(gainDb);
    control.SampleVol(volume);
    control.StreamVol(volume);
    control.SamplePan(pan);
    control.StreamPan(pan);
    PlayFile(control, path, loop);
    shot.pad = pad;
    shot.started = ++m_starts;
}

void PadShots::stop(int pad)
{
    for (Shot& shot : m_shots)
        if (shot.pad == pad && active(shot))
            Silence(*shot.control);
}

void PadShots::silence()
{
    for (Shot& shot : m_shots)
        if (active(shot))
            Silence(*shot.control);
}

int PadShots::sounding() const
{
    int count = 0;
    for (const Shot& shot : m_shots)
        count += active(shot) ? 1 : 0;
    return count;
}

bool PadShots::sounds(int pad) const
{
    for (const Shot& shot : m_shots)
        if (shot.pad == pad && active(shot))
            return true;
    return false;
}
