// A program of this build run as a child process (POSIX): started with given
// arguments and environment, its output captured or discarded, and every wait
// on it bounded, so a program that hangs fails the test instead of stalling
// it. A child still running when its ChildProcess goes is killed and reaped.
#pragma once

#include <sys/types.h>

#include <csignal>

#include <string>
#include <vector>

namespace korvel::testing {

struct ChildResult {
    bool started = false;
    bool exited = false;    // ended by exit(), not by a signal
    int exitCode = -1;      // when exited
    int signal = 0;         // when killed by a signal (a crash, or our bound)
    bool timedOut = false;  // still running at the bound; killed
    long peakRssKb = 0;     // the child's largest resident memory
    std::string out;
    std::string err;
};

// What becomes of one of the child's output streams.
enum class ChildOutput { Discard, Capture };

class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program args...` with its input from /dev/null. `env` entries
    // ("NAME=value") are added to the inherited environment, replacing an
    // inherited entry of the same name. A child still
    // running from an earlier Start is killed first. False when it could not
    // be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               ChildOutput out = ChildOutput::Discard, ChildOutput err = ChildOutput::Discard,
               const std::vector<std::string>& env = {});
    bool Running() const { return pid_ > 0; }

    // Reads the captured standard output until it contains `text`; false when
    // it did not within timeoutMs or the output ended first.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    // Reads both captured streams until they end, then reaps the child. A
    // child still running after timeoutMs is killed (result.timedOut). The
    // bound works through the streams: capture at least one.
    ChildResult Collect(int timeoutMs);
    // Reaps the child; its exit code, or -1 when a signal ended it (or none
    // was running). Only for children whose output is not captured, or
    // small enough to fit the pipes.
    int Wait();
    // Sends `signal` (SIGTERM by default), then Wait().
    int Terminate(int signal = SIGTERM);
    // Sends `signal` and returns; Collect() then gathers the output and exit.
    void Signal(int signal);
    // SIGKILL and reap; nothing when not running.
    void Kill();

  private:
    // Waits for the child and fills in how it ended.
    void Reap(ChildResult& result);
    void CloseOutputs();

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
};

// Runs a program to its end (or the bound) and collects its exit and output.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     int timeoutMs, const std::vector<std::string>& env = {});

}  // namespace korvel::testing
