// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramState.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace AppModul {

// What the start asks of the bar. show is required; the others may be left empty.
struct BarHooks {
    std::function<void()> show;  // shows the bar once the start is through
    std::function<void()> raise; // a later start of Quendel brings the bar forward
    std::function<void()> hide;  // a session manager hides the window
    std::function<void()> close; // a session manager ends Quendel (SIGTERM): as closing the bar
};

// The start procedure. Returns the exit code when the start ends the program (a second copy: 0;
// missing skin images or an unusable session folder: 1), or nothing once the bar shows and the
// program runs on. programFile: where the program's folders are looked for (tests pass their
// own).
//
// With NSM_URL set, Quendel first announces itself to the session manager and waits (a few
// seconds at most) for the session's folder, which then holds its settings and sounds; a manager
// that never answers, or an NSM_URL that names none, leaves the start as it is without one.
std::optional<int> Main(const BarHooks& bar, const QString& programFile);
std::optional<int> Main(const std::function<void()>& showBar, std::function<void()> raiseBar = {});

// How long the start waits for the session manager to open the session (tests shorten it).
inline constexpr std::chrono::milliseconds kSessionOpenWait{5000};
void SetSessionOpenWait(std::chrono::milliseconds wait);

// Leaves the session manager and gives SIGTERM back its usual effect; the program's end (and a
// test) calls it while the event loop's objects are still there.
void CloseSession();

} // namespace AppModul
