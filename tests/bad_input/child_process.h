// Runs a program of this build as a child process with given arguments and
// collects its exit and output, killing it when it outlives a bound (so a
// program that hangs fails the test instead of stalling it).
#pragma once

#include <string>
#include <vector>

namespace korvel::test {

struct ChildResult {
    bool started = false;
    bool exited = false;    // ended by exit(), not by a signal
    int exitCode = -1;      // when exited
    int signal = 0;         // when killed by a signal (a crash, or our bound)
    bool timedOut = false;  // still running at the bound; killed
    std::string out;
    std::string err;
};

// `env` entries ("NAME=value") are added to the inherited environment.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     int timeoutMs, const std::vector<std::string>& env = {});

}  // namespace korvel::test
