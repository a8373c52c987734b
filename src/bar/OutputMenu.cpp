// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputMenu.h"

#include "audio/AudioEngine.h"
#include "core/ProgramState.h"
#include "core/SettingsStore.h"
#include "deck/SessionSync.h"

#include <QActionGroup>

namespace {

const QString kOutputKey = QStringLiteral("Output");

QString nowPlayingThrough(const AudioEngine& engine)
{
    const QString device = QString::fromUtf8(engine.host().deviceName());
    if (device.isEmpty())
        return OutputMenu::noDeviceNote();
    const QString name = device == QLatin1String("jack")         ? QStringLiteral("JACK")
                         : device == QLatin1String("pulseaudio") ? QStringLiteral("PulseAudio")
                                                                 : QStringLiteral("SDL");
    const BufferPlan plan = engine.host().bufferPlan();
    return QStringLiteral("Playing through %1, %2 Hz, %3 × %4 frames")
        .arg(name)
        .arg(engine.sampleRate())
        .arg(plan.periods)
        .arg(plan.periodFrames);
}

} // namespace

QString OutputMenu::noDeviceNote()
{
    return QStringLiteral("No sound device: the pads play on silently");
}

OutputMenu::OutputMenu(QWidget* bar, AudioEngine& engine)
    : QObject(bar), m_engine(engine), m_menu(bar)
{
    m_menu.setObjectName(QStringLiteral("OutputMenu"));
}

void OutputMenu::popup(const QPoint& globalPosition)
{
    populate();
    m_menu.popup(globalPosition);
}

void OutputMenu::populate()
{
    m_menu.clear();
    m_menu.addAction(nowPlayingThrough(m_engine))->setEnabled(false);
    m_menu.addSeparator();
    auto* group = new QActionGroup(&m_menu);
    const OutputChoice stored = storedChoice();
    std::vector<OutputChoice> outputs = AvailableOutputs();
    // A stored choice that is away now still shows, checked, so the menu tells the truth about
    // what the next start tries first.
    if (std::find(outputs.begin(), outputs.end(), stored) == outputs.end())
        outputs.push_back(stored);
    for (const OutputChoice& output : outputs) {
        if (output.backend == OutputChoice::Backend::Sdl && output.sdlDevice.empty())
            m_menu.addSeparator();
        QAction* action = m_menu.addAction(QString::fromStdString(output.label()));
        action->setCheckable(true);
        action->setChecked(output == stored);
        action->setData(QString::fromStdString(output.text()));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, output] { choose(output); });
    }
    addSyncEntries();
    if (LinkEntries) {
        m_menu.addSeparator();
        LinkEntries(m_menu);
    }
}

void OutputMenu::addSyncEntries()
{
    const auto section = [this](const std::vector<std::pair<QString, bool>>& entries,
                                const std::function<void(std::size_t)>& chosen) {
        m_menu.addSeparator();
        auto* group = new QActionGroup(&m_menu);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            QAction* action = m_menu.addAction(entries[i].first);
            action->setCheckable(true);
            action->setChecked(entries[i].second);
            group->addAction(action);
            connect(action, &QAction::triggered, this, [chosen, i] { chosen(i); });
        }
    };
    const ClockMode clock = storedClockMode();
    section({{QStringLiteral("MIDI clock: off"), clock == ClockMode::Off},
             {QStringLiteral("MIDI clock: follow"), clock == ClockMode::Follow},
             {QStringLiteral("MIDI clock: send"), clock == ClockMode::Send}},
            [this](std::size_t i) { chooseClock(static_cast<ClockMode>(i)); });
    using Mode = JackTransportShare::Mode;
    const Mode transport = SessionSync::StoredTransportMode();
    section({{QStringLiteral("JACK transport: off"), transport == Mode::Off},
             {QStringLiteral("JACK transport: follow"), transport == Mode::Follow},
             {QStringLiteral("JACK transport: lead"), transport == Mode::Lead}},
            [this](std::size_t i) { chooseTransport(static_cast<Mode>(i)); });
}

OutputMenu::ClockMode OutputMenu::storedClockMode()
{
    if (SessionSync::StoredClockOut())
        return ClockMode::Send;
    const QString in = ReadSetting(AppModul::AppTitle, QStringLiteral("MidiClock"),
                                   AppModul::SettingsFile, QStringLiteral("off"));
    return in.trimmed().compare(QLatin1String("follow"), Qt::CaseInsensitive) == 0
               ? ClockMode::Follow
               : ClockMode::Off;
}

void OutputMenu::chooseClock(ClockMode mode)
{
    // Following and sending at once would echo a clock back to where it came from.
    WriteSetting(AppModul::AppTitle, QStringLiteral("MidiClock"),
                 mode == ClockMode::Follow ? QStringLiteral("follow") : QStringLiteral("off"),
                 AppModul::SettingsFile);
    SessionSync::StoreClockOut(mode == ClockMode::Send);
    if (m_syncChanged)
        m_syncChanged();
}

void OutputMenu::chooseTransport(JackTransportShare::Mode mode)
{
    SessionSync::StoreTransportMode(mode);
    if (m_syncChanged)
        m_syncChanged();
}

OutputChoice OutputMenu::storedChoice()
{
    return choiceIn(ReadSettingsText(AppModul::SettingsFile).value_or(QByteArray()));
}

OutputChoice OutputMenu::choiceIn(QByteArrayView settingsText)
{
    return OutputChoice::fromText(
        SettingIn(settingsText, AppModul::AppTitle, kOutputKey, QStringLiteral("default"))
            .toStdString());
}

void OutputMenu::choose(const OutputChoice& choice)
{
    WriteSetting(AppModul::AppTitle, kOutputKey, QString::fromStdString(choice.text()),
                 AppModul::SettingsFile);
    m_engine.host().setOutputChoice(choice);
}
