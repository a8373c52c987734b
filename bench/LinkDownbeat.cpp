// SPDX-License-Identifier: GPL-3.0-or-later
// How close to the shared bar line a loop launched from silence starts in an Ableton Link
// session: Quendel's session and a second Link player meet in a network namespace of this
// program's own (it must run as root; Link never starts outside one), and at each of a few
// tempos and output latencies a loop is launched and rendered offline. Printed: the downbeat
// offset in frames (44.1 kHz) as Quendel's session counts the loop's first frame heard, and as
// the other player counts it.

#include "audio/mixer/Mixer.h"
#include "audio/mixer/SharedTimeline.h"
#include "audio/mixer/Voice.h"
#include "audio/sounds/SampleBuffer.h"
#include "support/OwnNetwork.h"
#include "sync/LinkSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <ableton/Link.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using std::chrono::microseconds;
constexpr int kRate = 44100;

// How far from its nearest bar line `beatAt` counts the moment `heard`, in frames of `beat`.
template <class BeatAt> double offBar(double heard, double bpm, double beat, BeatAt beatAt)
{
    const double whole = std::floor(heard);
    const double counted =
        beatAt(microseconds(static_cast<std::int64_t>(whole))) + (heard - whole) * bpm / 60e6;
    return (counted - 4.0 * std::round(counted / 4.0)) * beat;
}

// The frame where a loop launched from silence first sounds, rendered offline on `session`.
std::int64_t launch(LinkSession& session, double beat, microseconds frameZero)
{
    Mixer mixer;
    mixer.start(kRate, true);
    mixer.setTempo(beat);
    mixer.setTimeline(session.timeline(frameZero));
    const auto cycle = static_cast<std::size_t>(std::ceil(4 * beat));
    auto data = std::make_unique<float[]>(cycle * 2);
    std::fill(data.get(), data.get() + cycle * 2, 0.5f);
    std::vector<float> out(1024 * 2);
    mixer.render(out.data(), 1);
    auto loop = std::make_unique<SampleVoice>(
        std::make_shared<SampleBuffer>(std::move(data), cycle), true, 4 * beat);
    loop->anchorsGrid = true;
    mixer.startVoice(std::move(loop));
    for (std::int64_t done = 1; done < static_cast<std::int64_t>(6 * beat); done += 1024) {
        mixer.render(out.data(), 1024);
        for (int f = 0; f < 1024; ++f)
            if (out[static_cast<std::size_t>(2 * f)] != 0.0f)
                return done + f;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (!EnterOwnNetwork()) {
        std::fprintf(stderr, "No network namespace of its own could be made (run as root): Link "
                             "is never started outside one.\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    LinkSession quendel(120.0);
    ableton::Link other(120.0);
    other.enable(true);
    const QDeadlineTimer deadline(30000);
    while ((quendel.peers() != 1 || other.numPeers() != 1) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (quendel.peers() != 1) {
        std::fprintf(stderr, "The two players did not meet.\n");
        return 1;
    }

    std::printf("downbeat offset against the shared timeline, frames at %d Hz\n", kRate);
    std::printf("%8s %10s %12s %12s\n", "BPM", "latency", "Quendel's", "other's");
    double worstHere = 0.0;
    double worstThere = 0.0;
    for (const double bpm : {87.0, 111.0, 128.5, 174.0}) {
        quendel.setTempo(bpm);
        const QDeadlineTimer settled(30000);
        while (std::abs(other.captureAppSessionState().tempo() - bpm) > 1e-3 &&
               !settled.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        for (const int latency : {0, 5333, 23220}) {
            quendel.setOutputLatency(microseconds(latency));
            const double tempo = quendel.tempo();
            const double beat = kRate * 60.0 / tempo;
            const microseconds frameZero = quendel.now();
            const std::int64_t start = launch(quendel, beat, frameZero);
            const double heard = static_cast<double>(frameZero.count()) +
                                 static_cast<double>(start) * 1e6 / kRate + latency;
            const double here =
                offBar(heard, tempo, beat, [&](microseconds t) { return quendel.beatAt(t); });
            const double there = offBar(heard, tempo, beat, [&](microseconds t) {
                return other.captureAppSessionState().beatAtTime(t, 4.0);
            });
            worstHere = std::max(worstHere, std::abs(here));
            worstThere = std::max(worstThere, std::abs(there));
            std::printf("%8.2f %8d us %12.3f %12.3f\n", bpm, latency, here, there);
        }
    }
    std::printf("largest: %.3f frames (Quendel's count), %.3f frames (the other player's)\n",
                worstHere, worstThere);
    return 0;
}
