// SPDX-License-Identifier: GPL-3.0-or-later
#include "PulseRig.h"

#include "support/PrivatePulseServer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <dirent.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

pid_t spawn(const std::vector<std::string>& args, int stdinFd, int stdoutFd, bool ownGroup)
{
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    return SpawnProgram(argv.data(), stdinFd, stdoutFd, ownGroup);
}

long long cpuNs(pid_t pid)
{
    long long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        long long onCpu = 0;
        if (stat >> onCpu)
            total += onCpu;
    }
    closedir(dir);
    return total;
}

std::map<std::string, long long> cpuNsByThread(pid_t pid)
{
    std::map<std::string, long long> byName;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return byName;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + entry->d_name;
        std::ifstream stat(task + "/schedstat");
        std::ifstream comm(task + "/comm");
        long long onCpu = 0;
        std::string name;
        if (stat >> onCpu && std::getline(comm, name))
            byName[name] += onCpu;
    }
    closedir(dir);
    return byName;
}

bool Player::start(const std::string& self, const std::vector<std::string>& options)
{
    int toPlayer[2];
    int fromPlayer[2];
    if (pipe(toPlayer) != 0 || pipe(fromPlayer) != 0)
        return false;
    std::vector<std::string> args = {self, "--player"};
    args.insert(args.end(), options.begin(), options.end());
    m_pid = spawn(args, toPlayer[0], fromPlayer[1]);
    close(toPlayer[0]);
    close(fromPlayer[1]);
    m_in = fdopen(toPlayer[1], "w");
    m_out = fdopen(fromPlayer[0], "r");
    return reply().rfind("stats", 0) == 0;
}

std::string Player::ask(const std::string& command)
{
    send(command);
    return reply();
}

void Player::send(const std::string& command)
{
    std::fprintf(m_in, "%s\n", command.c_str());
    std::fflush(m_in);
}

std::string Player::reply()
{
    char line[512];
    if (!std::fgets(line, sizeof line, m_out))
        return {};
    std::string text(line);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

void Player::stop()
{
    ask("quit");
    waitpid(m_pid, nullptr, 0);
}

pid_t startCompileLoad(const std::string& dir)
{
    const std::string source = dir + "/load.cpp";
    std::ofstream(source) << "#include <regex>\n#include <map>\n#include <string>\n"
                             "#include <iostream>\n#include <algorithm>\n#include <vector>\n"
                             "int main(){std::map<std::string,std::vector<std::regex>> m;"
                             "m[\"a\"].emplace_back(\"(a|b)*c\");std::string s;"
                             "std::getline(std::cin,s);std::smatch r;"
                             "std::regex_search(s,r,m[\"a\"][0]);"
                             "std::sort(s.begin(),s.end());std::cout<<s<<r.size();}\n";
    return spawn(
        {"sh", "-c", "while :; do c++ -O2 -std=c++20 -c " + source + " -o /dev/null; done"}, -1, -1,
        true);
}

Gaps findGaps(const float* data, std::size_t from, std::size_t to)
{
    Gaps gaps;
    // The loop's own first and last loud frames bound the part to check.
    std::size_t first = from;
    while (first < to && std::fabs(data[2 * first]) + std::fabs(data[2 * first + 1]) < kLoudLevel)
        ++first;
    std::size_t last = to;
    while (last > first &&
           std::fabs(data[2 * (last - 1)]) + std::fabs(data[2 * (last - 1) + 1]) < kLoudLevel)
        --last;
    gaps.playedSeconds = static_cast<double>(last - first) / kRate;
    std::size_t run = 0;
    for (std::size_t i = first; i < last; ++i) {
        if (std::fabs(data[2 * i]) + std::fabs(data[2 * i + 1]) < kSilentLevel) {
            ++run;
            continue;
        }
        if (run >= kGapFrames) {
            ++gaps.count;
            gaps.longestMs = std::max(gaps.longestMs, run * 1000.0 / kRate);
        }
        run = 0;
    }
    return gaps;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
