// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/AudioInput.h"

// The offline back end's capture side: nothing is heard unless the test feeds it, and the sink
// is called on the feeding thread. It can refuse to open, or be lost while open, as a real
// input that is missing or unplugged would.
class OfflineAudioInput final : public AudioInput {
public:
    explicit OfflineAudioInput(int rate = 48000) : m_rate(rate) {}
    ~OfflineAudioInput() override { close(); }

    bool open(Sink sink, void* context) override;
    void close() override;
    bool lost() const override { return m_open && m_lost; }
    int rate() const override { return m_rate; }
    const char* name() const override { return "offline"; }

    void setFailing(bool failing) { m_failing = failing; }
    // A lost input stops calling the sink, as a device that went away would.
    void setLost(bool lost) { m_lost = lost; }
    bool isOpen() const { return m_open; }

    // Calls the sink with these frames now, when open and not lost.
    void feed(const float* mono, int frames);

private:
    int m_rate;
    bool m_failing = false;
    bool m_lost = false;
    bool m_open = false;
    Sink m_sink = nullptr;
    void* m_context = nullptr;
};
