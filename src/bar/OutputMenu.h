// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/host/JackTransportShare.h"
#include "audio/host/OutputChoice.h"

#include <QMenu>

#include <functional>

class AudioEngine;
class QWidget;

// The bar's output menu, opened by a right click on the title area or the clock: where the
// sound goes (the default order, JACK, PulseAudio, or an SDL device by name). A choice moves the
// sound at once, the playing pad playing on, and is stored in the settings file's main section
// as "Output" for the next start. Below, how Quendel keeps time with others: the MIDI clock
// (off, followed, or sent) and JACK's transport (off, followed, or led), stored at once.
class OutputMenu : public QObject {
public:
    OutputMenu(QWidget* bar, AudioEngine& engine);

    // Fills the menu with what is there now and opens it at a screen position.
    void popup(const QPoint& globalPosition);
    // Fills the menu with what is there now: a disabled line saying where the sound goes, then
    // one checkable entry per output, the stored choice checked.
    void populate();
    QMenu& menu() { return m_menu; }

    // The menu's first line when the engine has no sound device; the bar says it at start too.
    static QString noDeviceNote();

    // The stored choice; "default" when there is none or it makes no sense.
    static OutputChoice storedChoice();
    // The same from text already read from the settings file.
    static OutputChoice choiceIn(QByteArrayView settingsText);
    // Stores a choice and hands it to the engine.
    void choose(const OutputChoice& choice);

    // Adds the entries for playing with others (Ableton Link) below the outputs, after a
    // separator.
    std::function<void(QMenu& menu)> LinkEntries;

    // The MIDI clock's entries: "MidiClock=follow" or "MidiClockOut=on" (or neither) stored.
    enum class ClockMode { Off, Follow, Send };
    static ClockMode storedClockMode();
    void chooseClock(ClockMode mode);
    void chooseTransport(JackTransportShare::Mode mode);
    // Told after a clock or transport entry was stored, for whoever reads those settings.
    void setSyncListener(std::function<void()> listener) { m_syncChanged = std::move(listener); }

private:
    AudioEngine& m_engine;
    void addSyncEntries();

    QMenu m_menu;
    std::function<void()> m_syncChanged;
};
