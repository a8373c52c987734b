// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Work that may take seconds of a core (stretching a pad, listening for its tempo) runs on
// threads that take only what the others leave: the audio thread, the window and the sound
// server come first, so a press sounds as soon with a render under way as without.
//
// Called on the thread itself, at its start. Where the system refuses, the thread runs at its
// usual priority.
void YieldToEveryOtherThread();
