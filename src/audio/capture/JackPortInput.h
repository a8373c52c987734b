// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/AudioInput.h"
#include "io/CaptureTap.h"

#include <cstdint>

// The JACK client's "in" port, heard through the engine's capture tap while the engine plays
// through JACK. It is lost once that client closes (the server ended, or the sound moved to
// another output); a new input then hears the next client.
class JackPortInput final : public AudioInput {
public:
    // The tap the engine's JACK device feeds (tests may name one of their own).
    explicit JackPortInput(CaptureTap& tap);
    ~JackPortInput() override;
    bool open(Sink sink, void* context) override;
    void close() override;
    bool lost() const override;
    int rate() const override { return m_source.rate; }
    const char* name() const override { return "jack"; }

private:
    CaptureTap& m_tap;
    CaptureTap::Source m_source;
    void* m_context = nullptr;
    bool m_open = false;
};
