#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace korvel::testing {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

SteadyTime DeadlineAfter(int timeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

int MsUntil(SteadyTime deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

// Appends what one read brings; at the end of the stream closes it (fd = -1).
void ReadChunk(int& fd, std::string& sink) {
    char chunk[4096];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) {
        sink.append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        ::close(fd);
        fd = -1;
    }
}

// The write end goes to the child as `target`; the read end stays here.
bool RouteOutput(ChildOutput how, int target, posix_spawn_file_actions_t& actions, int& readEnd,
                 int& writeEnd) {
    if (how == ChildOutput::Discard) {
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0);
        return true;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    posix_spawn_file_actions_adddup2(&actions, writeEnd, target);
    return true;
}

}  // namespace

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         ChildOutput out, ChildOutput err, const std::vector<std::string>& env) {
    Kill();
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv = Pointers(argStore);
    // A given entry replaces an inherited one of the same name: the child
    // would read the first of two.
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& given) {
            return given.compare(0, name.size(), name) == 0;
        });
        if (!replaced) {
            envStore.push_back(entry);
        }
    }
    envStore.insert(envStore.end(), env.begin(), env.end());
    std::vector<char*> envp = Pointers(envStore);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int outWrite = -1;
    int errWrite = -1;
    const bool routed = RouteOutput(out, 1, actions, out_, outWrite) &&
                        RouteOutput(err, 2, actions, err_, errWrite);
    const int spawned =
        routed ? posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) : -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {outWrite, errWrite}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (spawned != 0) {
        pid_ = -1;
        CloseOutputs();
        return false;
    }
    return true;
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    const SteadyTime deadline = DeadlineAfter(timeoutMs);
    while (outText_.find(text) == std::string::npos) {
        if (out_ < 0) {
            return false;
        }
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, MsUntil(deadline));
        if (ready == 0) {
            return false;
        }
        if (ready > 0) {
            ReadChunk(out_, outText_);
        }
    }
    return true;
}

ChildResult ChildProcess::Collect(int timeoutMs) {
    ChildResult result;
    if (pid_ <= 0) {
        return result;
    }
    result.started = true;
    result.out = std::move(outText_);
    outText_.clear();
    const SteadyTime deadline = DeadlineAfter(timeoutMs);
    while (out_ >= 0 || err_ >= 0) {
        const int left = MsUntil(deadline);
        if (left <= 0) {
            result.timedOut = true;
            ::kill(pid_, SIGKILL);
            break;
        }
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (::poll(fds, 2, left) <= 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            ReadChunk(out_, result.out);
        }
        if (fds[1].revents != 0) {
            ReadChunk(err_, result.err);
        }
    }
    Reap(result);
    return result;
}

void ChildProcess::Reap(ChildResult& result) {
    CloseOutputs();
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.peakRssKb = usage.ru_maxrss;
    pid_ = -1;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

int ChildProcess::Wait() {
    if (pid_ <= 0) {
        return -1;
    }
    ChildResult result;
    Reap(result);
    return result.exited ? result.exitCode : -1;
}

int ChildProcess::Terminate(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
    return Wait();
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

void ChildProcess::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        Wait();
    }
    CloseOutputs();
    outText_.clear();
}

void ChildProcess::CloseOutputs() {
    for (int* fd : {&out_, &err_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     int timeoutMs, const std::vector<std::string>& env) {
    ChildProcess child;
    if (!child.Start(program, args, ChildOutput::Capture, ChildOutput::Capture, env)) {
        return {};
    }
    return child.Collect(timeoutMs);
}

}  // namespace korvel::testing
