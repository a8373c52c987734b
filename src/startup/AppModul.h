// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramState.h"

#include <functional>
#include <optional>

namespace AppModul {

// The start procedure. Returns the exit code when the start ends the program (a second copy: 0;
// missing skin images: 1), or nothing once showBar has shown the bar and the program runs on.
// While it runs, a later start of Quendel calls raiseBar (if given) to bring the bar forward.
std::optional<int> Main(const std::function<void()>& showBar, std::function<void()> raiseBar = {});

} // namespace AppModul
