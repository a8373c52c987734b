// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiLearn.h"

#include <utility>

MidiLearn::Waiting& MidiLearn::current()
{
    static Waiting waiting;
    return waiting;
}

void MidiLearn::wait(const void* owner, Taker take, std::function<void()> cancel)
{
    Waiting before = std::exchange(current(), Waiting{owner, std::move(take), std::move(cancel)});
    if (before.owner != nullptr && before.owner != owner && before.cancel)
        before.cancel();
}

void MidiLearn::stopWaiting(const void* owner)
{
    if (current().owner == owner)
        current() = Waiting{};
}

bool MidiLearn::waiting()
{
    return current().owner != nullptr;
}

bool MidiLearn::offer(const MidiMessage& message)
{
    if (!current().take)
        return false;
    // The taker may finish the learn, which resets what waits: it runs from a copy.
    const Taker take = current().take;
    return take(message);
}
