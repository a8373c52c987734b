// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The rig around measure_pulse's player: its process, the CPU it and the server take, a compile
// on the other core, and what a recording tells.

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

void sleepMs(int ms);

pid_t spawn(const std::vector<std::string>& args, int stdinFd = -1, int stdoutFd = -1,
            bool ownGroup = false);

// Nanoseconds a process has spent on a core, all its threads together.
long long cpuNs(pid_t pid);
// Nanoseconds each thread of a process has spent on a core, by the thread's name.
std::map<std::string, long long> cpuNsByThread(pid_t pid);

// A copy of measure_pulse running the real bar, driven line by line through its stdin.
class Player {
public:
    bool start(const std::string& self, const std::vector<std::string>& options);
    std::string ask(const std::string& command);
    void send(const std::string& command);
    std::string reply();
    void stop();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = 0;
    FILE* m_in = nullptr;
    FILE* m_out = nullptr;
};

// One core kept busy compiling, as a developer's machine is while they play.
pid_t startCompileLoad(const std::string& dir);

constexpr int kRate = 44100;          // the recording's rate
constexpr float kLoudLevel = 0.05f;   // the first loud frame of a press
constexpr float kSilentLevel = 1e-4f; // |left| + |right| below this is a dropout's silence
constexpr int kGapFrames = 8;         // a run of silence this long inside the loop is a gap

struct Gaps {
    int count = 0;
    double longestMs = 0.0;
    double playedSeconds = 0.0;
};
Gaps findGaps(const float* data, std::size_t from, std::size_t to);

double median(std::vector<double> values);

// Test sounds at the recording's rate: a square loud from its first frame, and a sine.
std::vector<float> squareWave(int frames, float level, int period);
std::vector<float> sineWave(int frames, float level, double hz);

// The player's side (a copy of measure_pulse started with --player): runs the bar until "quit".
int runPlayer(const std::string& buffer);
