#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace korvel::soak {

bool SimProcess::Start(const std::string& program, const std::string& socketPath,
                       const std::vector<std::string>& args, int timeoutMs) {
    Kill();
    std::vector<std::string> all{program, "--listen", "unix:" + socketPath};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        pid_ = -1;
        ::close(out[0]);
        return false;
    }
    // The "listening on" line comes once the socket accepts connections.
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool listening = false;
    while (!listening) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            break;
        }
        char chunk[256];
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        seen.append(chunk, static_cast<std::size_t>(n));
        listening = seen.find("listening on") != std::string::npos;
    }
    ::close(out[0]);  // later output goes nowhere (korvel-sim prints nothing more)
    if (!listening) {
        Kill();
    }
    return listening;
}

void SimProcess::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

}  // namespace korvel::soak
