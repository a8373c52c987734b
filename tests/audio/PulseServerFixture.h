// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/PrivatePulseServer.h"

#include <gtest/gtest.h>

// A private PulseAudio server and a recorder on its sink's monitor, for tests that hear what
// Quendel plays through a sound server. Skips where PulseAudio is not installed.
class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.start())
            GTEST_SKIP() << "no PulseAudio server here (scripts/setup installs pulseaudio)";
        ASSERT_TRUE(recorder.start(30));
    }
    PrivatePulseServer server;
    PulseMonitorRecorder recorder;
};

// The same through PipeWire's PulseAudio service, with WirePlumber linking the streams. Skips
// where PipeWire is not installed.
class PipeWirePulseTest : public PulseServerTest {
protected:
    void SetUp() override
    {
        if (!server.start(48000, PulseServerKind::PipeWire))
            GTEST_SKIP() << "no PipeWire here (scripts/setup installs pipewire-pulse and "
                            "wireplumber)";
        ASSERT_TRUE(recorder.start(30));
    }
};
