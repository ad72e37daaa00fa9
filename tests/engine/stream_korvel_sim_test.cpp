// korvel-sim as a real process on a real socket.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "device_link.h"
#include "link_test_doubles.h"
#include "socket_peer.h"
#include "stream/stream_transport.h"

extern char** environ;

namespace korvel {
namespace {

class KorvelSimProcess {
  public:
    explicit KorvelSimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), KORVEL_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~KorvelSimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    bool Started() const { return pid_ > 0; }
    // Sends the signal and returns the exit code (-1 if it did not exit normally).
    int Terminate(int signal = SIGTERM) {
        ::kill(pid_, signal);
        return Wait();
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
};

// Polls like the worker does until the endpoint answers (at most ~5 s).
bool WaitForInstrument(DeviceTransport& transport) {
    for (int i = 0; i < 250; ++i) {
        if (transport.CountDevices() == 1) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(KorvelSimTest, ServesTheInstrumentWithItsFaultsAndCleansUp) {
    const std::string path = testing::TempSocketPath("sim");
    KorvelSimProcess sim(
        {"--listen", "unix:" + path, "--seed", "5", "--fault", "length=17,after=2"});
    ASSERT_TRUE(sim.Started());
    StreamEndpoint endpoint;
    std::string error;
    ASSERT_TRUE(ParseStreamEndpoint("unix:" + path, endpoint, error));
    StreamTransport transport(endpoint, 2000);
    ASSERT_TRUE(WaitForInstrument(transport));

    MeasurementState state;
    testing::RecordingWindow window(&state);
    DeviceLink link(transport, state, window);
    ASSERT_TRUE(link.OpenDevice());
    state.linkUp.store(1);
    DetectorReading r;
    link.SetFrequency(TuningWord(14.27));
    link.ReadDetectors(kInputPowerRecord, r);
    EXPECT_EQ(r.calAmp, 3000);
    EXPECT_TRUE(window.messages.empty());
    link.ReadDetectors(kInputPowerRecord, r);  // the third reply is 17 bytes long
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(state.linkUp.load(), 0);
    link.CloseDevice();

    EXPECT_EQ(sim.Terminate(), 0);
    struct stat st;
    EXPECT_NE(::stat(path.c_str(), &st), 0);  // the socket file is gone
}

TEST(KorvelSimTest, AnInterruptStopsItCleanly) {
    const std::string path = testing::TempSocketPath("sim");
    KorvelSimProcess sim({"--listen", "unix:" + path});
    ASSERT_TRUE(sim.Started());
    StreamEndpoint endpoint;
    std::string error;
    ASSERT_TRUE(ParseStreamEndpoint("unix:" + path, endpoint, error));
    StreamTransport transport(endpoint, 2000);
    ASSERT_TRUE(WaitForInstrument(transport));
    ASSERT_TRUE(transport.OpenDevice());  // stopping while serving a connection
    EXPECT_EQ(sim.Terminate(SIGINT), 0);
    struct stat st;
    EXPECT_NE(::stat(path.c_str(), &st), 0);
}

TEST(KorvelSimTest, BadArgumentsExitWithUsage) {
    KorvelSimProcess noListen({"--seed", "3"});
    ASSERT_TRUE(noListen.Started());
    EXPECT_EQ(noListen.Wait(), 64);
    KorvelSimProcess badFault({"--listen", "unix:/tmp/korvel-unused.sock", "--fault", "melt"});
    EXPECT_EQ(badFault.Wait(), 64);
    KorvelSimProcess help({"--help"});
    EXPECT_EQ(help.Wait(), 0);
}

}  // namespace
}  // namespace korvel
