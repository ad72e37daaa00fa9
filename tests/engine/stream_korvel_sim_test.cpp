// korvel-sim as a real process on a real socket.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <thread>

#include "child_process.h"
#include "core/device_link.h"
#include "recording_window.h"
#include "socket_peer.h"
#include "stream/stream_transport.h"

namespace korvel {
namespace {

using testing::ChildProcess;

// korvel-sim started with `args`, its output discarded.
std::unique_ptr<ChildProcess> StartSim(const std::vector<std::string>& args) {
    auto sim = std::make_unique<ChildProcess>();
    sim->Start(KORVEL_SIM_PATH, args);
    return sim;
}

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

// A transport to the instrument korvel-sim serves on `path`, once it answers.
std::unique_ptr<StreamTransport> FoundTransport(const std::string& path) {
    StreamEndpoint endpoint;
    std::string error;
    if (!ParseStreamEndpoint("unix:" + path, endpoint, error)) {
        return nullptr;
    }
    auto transport = std::make_unique<StreamTransport>(endpoint, 2000);
    return WaitForInstrument(*transport) ? std::move(transport) : nullptr;
}

TEST(KorvelSimTest, ServesTheInstrumentWithItsFaultsAndCleansUp) {
    const std::string path = testing::TempSocketPath("sim");
    const auto sim =
        StartSim({"--listen", "unix:" + path, "--seed", "5", "--fault", "length=17,after=2"});
    ASSERT_TRUE(sim->Running());
    const auto transport = FoundTransport(path);
    ASSERT_TRUE(transport);

    MeasurementState state;
    testing::RecordingWindow window(&state);
    DeviceLink link(*transport, state, window);
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

    EXPECT_EQ(sim->Terminate(), 0);
    struct stat st;
    EXPECT_NE(::stat(path.c_str(), &st), 0);  // the socket file is gone
}

TEST(KorvelSimTest, AnInterruptStopsItCleanly) {
    const std::string path = testing::TempSocketPath("sim");
    const auto sim = StartSim({"--listen", "unix:" + path});
    ASSERT_TRUE(sim->Running());
    const auto transport = FoundTransport(path);
    ASSERT_TRUE(transport);
    ASSERT_TRUE(transport->OpenDevice());  // stopping while serving a connection
    EXPECT_EQ(sim->Terminate(SIGINT), 0);
    struct stat st;
    EXPECT_NE(::stat(path.c_str(), &st), 0);
}

TEST(KorvelSimTest, BadArgumentsExitWithUsage) {
    const auto noListen = StartSim({"--seed", "3"});
    ASSERT_TRUE(noListen->Running());
    EXPECT_EQ(noListen->Wait(), 64);
    EXPECT_EQ(StartSim({"--listen", "unix:/tmp/korvel-unused.sock", "--fault", "melt"})->Wait(),
              64);
    EXPECT_EQ(StartSim({"--help"})->Wait(), 0);
}

TEST(KorvelSimTest, ABadTouchstoneBenchExitsWithTheFileAndLine) {
    const std::string path = ::testing::TempDir() + "/korvel_bad_bench.s1p";
    std::ofstream(path) << "# MHz S RI\n7 0.1\n";
    const testing::ChildResult r =
        testing::RunChild(KORVEL_SIM_PATH, {"--listen", "unix:/tmp/x.sock", "--bench", path}, 5000);
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_NE(r.err.find(path + " line 2: 2 columns where a 1-port file has 3."), std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace korvel
