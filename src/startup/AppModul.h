#pragma once

#include "core/ProgramState.h"

#include <functional>
#include <optional>

namespace AppModul {

// The start procedure. Returns the exit code when the start ends the program (a second copy: 0;
// missing skin images: 1), or nothing once showBar has shown the bar and the program runs on.
std::optional<int> Main(const std::function<void()>& showBar);

} // namespace AppModul
