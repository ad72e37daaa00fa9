// korvel-sim as a child process on a Unix socket, for the stream soak: start
// it (with fault flags), wait until it listens, kill it mid-pass.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvel::soak {

class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess() { Kill(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts `program --listen unix:PATH args...` and waits at most
    // `timeoutMs` for its "listening" line. False when it did not come up.
    bool Start(const std::string& program, const std::string& socketPath,
               const std::vector<std::string>& args, int timeoutMs);
    // SIGKILL and reap; nothing when not running.
    void Kill();
    bool Running() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
};

}  // namespace korvel::soak
