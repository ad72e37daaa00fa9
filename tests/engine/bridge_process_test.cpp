// korvel-bridge as a real process: korvel-sweep through it measures what it
// measures directly, its exit codes, its clean stop, and an instrument
// process (korvel-sim) that unplugs itself behind it and comes back; and
// which looked-up addresses it listens on without --allow-remote.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bridge/listen_policy.h"
#include "child_process.h"
#include "core/device_link.h"
#include "record/traffic_reader.h"
#include "recording_window.h"
#include "socket_peer.h"
#include "stream/stream_transport.h"

namespace korvel {
namespace {

using testing::ChildOutput;
using testing::ChildProcess;

constexpr int kStartMs = 5000;
constexpr int kRunMs = 60000;

// Starts korvel-bridge and waits for its "listening on" line.
bool StartBridge(ChildProcess& bridge, const std::vector<std::string>& args) {
    return bridge.Start(KORVEL_BRIDGE_PATH, args, ChildOutput::Capture, ChildOutput::Capture) &&
           bridge.WaitForOutput("listening on", kStartMs);
}

std::unique_ptr<StreamTransport> Client(const std::string& device, int timeoutMs = 1000) {
    StreamEndpoint endpoint;
    std::string error;
    EXPECT_TRUE(ParseStreamEndpoint(device, endpoint, error)) << error;
    return std::make_unique<StreamTransport>(endpoint, timeoutMs);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TEST(BridgeProcess, KorvelSweepThroughTheBridgeGivesTheSameReportAsDirect) {
    const std::string path = testing::TempSocketPath("bridge");
    const std::string recording = path + ".jsonl";
    ChildProcess bridge;
    ASSERT_TRUE(StartBridge(
        bridge, {"--device", "sim", "--listen", "unix:" + path, "--record", recording}));
    const std::vector<std::string> sweep = {"--passes", "1",    "--disable", "1", "--disable", "2",
                                            "--smith",  "7100", "--timeout", "30"};
    auto viaBridge = sweep;
    viaBridge.insert(viaBridge.end(), {"--device", "unix:" + path});
    auto direct = sweep;
    direct.insert(direct.end(), {"--device", "sim"});
    const testing::ChildResult through = testing::RunChild(KORVEL_SWEEP_PATH, viaBridge, kRunMs);
    const testing::ChildResult own = testing::RunChild(KORVEL_SWEEP_PATH, direct, kRunMs);
    ASSERT_EQ(through.exitCode, 0) << through.err;
    ASSERT_EQ(own.exitCode, 0) << own.err;
    EXPECT_GT(through.out.size(), 1000u);
    // The same results; only the header's device line names the way they came.
    const auto withoutDevice = [](std::string out, const std::string& device) {
        const std::string line = "# device=" + device + "\n";
        const auto at = out.find(line);
        EXPECT_NE(at, std::string::npos) << out.substr(0, 200);
        return at == std::string::npos ? out : out.erase(at, line.size());
    };
    EXPECT_EQ(withoutDevice(through.out, "unix:" + path), withoutDevice(own.out, "sim"));

    bridge.Signal(SIGTERM);
    const testing::ChildResult ended = bridge.Collect(kStartMs);
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_EQ(ended.err, "");  // nothing refused, nothing lost
    EXPECT_FALSE(Exists(path));

    // The bridge recorded the instrument's side of every exchange it relayed.
    record::Recording recorded;
    std::string error;
    ASSERT_TRUE(record::LoadRecording(recording, recorded, error)) << error;
    ::unlink(recording.c_str());
    EXPECT_EQ(recorded.header.program, "korvel-bridge");
    EXPECT_EQ(recorded.header.device, "sim");
    const auto reads = std::count_if(recorded.entries.begin(), recorded.entries.end(),
                                     [](const record::TrafficEntry& e) {
                                         return e.op == record::TrafficOp::Read && e.value == 18;
                                     });
    EXPECT_GE(reads, 200);  // a whole channel, and the Smith point
}

// A host is local only when every address it resolves to is a loopback one:
// a name of both a loopback and a network address is reachable through the latter.
TEST(BridgeListenPolicy, LocalOnlyWhenEveryAddressIsLoopback) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"127.0.0.1", "::1"}, ""},                  // localhost
        {{"::ffff:127.0.0.1"}, ""},                  // IPv4-mapped: reached through 127.0.0.1 only
        {{"0.0.0.0"}, "0.0.0.0"},                    // every interface
        {{"192.0.2.2"}, "192.0.2.2"},                // a named IPv4 network address
        {{"2001:db8::2"}, "2001:db8::2"},            // a named IPv6 one
        {{"::ffff:192.0.2.2"}, "::ffff:192.0.2.2"},  // IPv4-mapped network address
        {{"127.0.0.1", "192.0.2.2"}, "192.0.2.2"},   // a name of both
        {{"::1", "2001:db8::2"}, "2001:db8::2"},
    };
    for (const auto& [addresses, reachable] : rows) {
        EXPECT_EQ(bridge::FirstAddressOthersReach(addresses), reachable) << addresses.front();
    }
}

TEST(BridgeProcess, AnAddressOtherMachinesReachNeedsAllowRemote) {
    const testing::ChildResult refused = testing::RunChild(
        KORVEL_BRIDGE_PATH, {"--device", "sim", "--listen", "tcp:0.0.0.0:5025"}, kStartMs);
    EXPECT_EQ(refused.exitCode, 64);
    EXPECT_NE(refused.err.find("--allow-remote"), std::string::npos) << refused.err;

    const int port = 20000 + ::getpid() % 20000;
    ChildProcess bridge;
    ASSERT_TRUE(StartBridge(bridge, {"--device", "sim", "--allow-remote", "--listen",
                                     "tcp:0.0.0.0:" + std::to_string(port)}));
    EXPECT_EQ(Client("tcp:127.0.0.1:" + std::to_string(port))->CountDevices(), 1);
    bridge.Signal(SIGINT);
    const testing::ChildResult ended = bridge.Collect(kStartMs);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_NE(ended.err.find("no authentication"), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find("ssh -L"), std::string::npos) << ended.err;
}

TEST(BridgeProcess, BadArgumentsExit64) {
    const std::string port = std::to_string(20000 + ::getpid() % 20000);
    // A listen failure touches no recording.
    const std::string kept = testing::TempSocketPath("kept") + ".jsonl";
    std::ofstream(kept) << "keep me\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--device", "sim"},
          {"--device", "bogus", "--listen", "unix:/tmp/korvel-unused.sock"},
          {"--listen", "tcp:127.0.0.1:0"},
          {"--device", "unix:/tmp/korvel-self.sock", "--listen", "unix:/tmp/korvel-self.sock"},
          // Its own endpoint under another spelling.
          {"--device", "unix:/tmp/./korvel-self.sock", "--listen", "unix:/tmp/korvel-self.sock"},
          {"--device", "tcp:localhost:" + port, "--listen", "tcp:127.0.0.1:" + port},
          {"--device", "tcp:127.0.0.1:" + port, "--allow-remote", "--listen",
           "tcp:0.0.0.0:" + port},
          {"--device", "sim", "--record", kept, "--listen", "unix:/nonexistent/korvel.sock"},
          {"--listen", "unix:/tmp/korvel-unused.sock", "--allow-remote=yes"}}) {
        const testing::ChildResult r = testing::RunChild(KORVEL_BRIDGE_PATH, args, kStartMs);
        EXPECT_EQ(r.exitCode, 64) << args[1] << " " << args.back() << ": " << r.err;
    }
    std::ifstream in(kept);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "keep me");
    ::unlink(kept.c_str());
    EXPECT_EQ(testing::RunChild(KORVEL_BRIDGE_PATH, {"--help"}, kStartMs).exitCode, 0);
}

TEST(BridgeProcess, SigtermWhileServingClosesEverythingAndExitsZero) {
    const std::string path = testing::TempSocketPath("bridge");
    const std::string recording = path + ".jsonl";
    ChildProcess bridge;
    ASSERT_TRUE(StartBridge(
        bridge, {"--device", "sim", "--listen", "unix:" + path, "--record", recording}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const auto client = Client("unix:" + path);
    ASSERT_TRUE(client->OpenDevice());
    bridge.Signal(SIGTERM);
    const testing::ChildResult ended = bridge.Collect(kStartMs);
    EXPECT_FALSE(ended.timedOut);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_FALSE(Exists(path));
}

// A recording that stops taking lines (the size limit of `ulimit -f 1` here,
// as a full disk) is said at once, and the bridge ends 74.
TEST(BridgeProcess, ARecordingThatFailsIsSaidAndEndsTheBridgeWith74) {
    const std::string path = testing::TempSocketPath("bridge");
    const std::string recording = path + ".jsonl";
    ChildProcess bridge;
    ASSERT_TRUE(bridge.Start("/bin/bash",
                             {"-c", "ulimit -f 1; exec \"$0\" \"$@\"", KORVEL_BRIDGE_PATH,
                              "--device", "sim", "--listen", "unix:" + path, "--record", recording},
                             ChildOutput::Capture, ChildOutput::Capture));
    ASSERT_TRUE(bridge.WaitForOutput("listening on", kStartMs));
    const auto client = Client("unix:" + path);
    ASSERT_TRUE(client->OpenDevice());
    const uint8_t read[4] = {0x7A, 0xA2, 0x09, 0x01};
    uint8_t reply[18];
    for (int i = 0; i < 40; ++i) {  // some 120 bytes a line: over 1 KiB
        ASSERT_EQ(client->WriteBlock(read, 4), 4);
        ASSERT_EQ(client->ReadBlock(reply, 18), 18);
    }
    bridge.Signal(SIGTERM);
    const testing::ChildResult ended = bridge.Collect(kStartMs);
    EXPECT_EQ(ended.exitCode, 74) << ended.err;
    EXPECT_NE(ended.err.find("korvel-bridge: --record: The recording \"" + recording +
                             "\" could not be written; it ends here."),
              std::string::npos)
        << ended.err;
    record::Recording whole;
    std::string error;
    EXPECT_TRUE(record::LoadRecording(recording, whole, error)) << error;
    ::unlink(recording.c_str());
}

// The bridge before korvel-sim, which unplugs itself after a few replies and
// comes back 300 ms later: the client is closed, and served again after.
TEST(BridgeProcess, AnInstrumentThatGoesAndComesBackBehindTheBridge) {
    const std::string simPath = testing::TempSocketPath("bridge-sim");
    const std::string path = testing::TempSocketPath("bridge");
    ChildProcess sim;
    ASSERT_TRUE(
        sim.Start(KORVEL_SIM_PATH,
                  {"--listen", "unix:" + simPath, "--unplug-after", "3", "--replug-after", "300"},
                  ChildOutput::Capture));
    ASSERT_TRUE(sim.WaitForOutput("listening on", kStartMs));
    ChildProcess bridge;
    ASSERT_TRUE(StartBridge(bridge, {"--device", "unix:" + simPath, "--listen", "unix:" + path}));

    {
        const auto transport = Client("unix:" + path);
        MeasurementState state;
        testing::RecordingWindow window(&state);
        DeviceLink link(*transport, state, window);
        ASSERT_TRUE(link.OpenDevice());
        state.linkUp.store(1);
        for (int i = 0; i < 4; ++i) {
            link.SetFrequency(TuningWord(14.0 + i));
        }
        EXPECT_EQ(window.messages.size(), 1u);  // the fourth found no instrument
        EXPECT_EQ(state.linkUp.load(), 0);
    }
    // Served again once korvel-sim is back (the worker's own polling).
    bool served = false;
    for (int i = 0; i < 250 && !served; ++i) {
        const auto transport = Client("unix:" + path);
        MeasurementState state;
        testing::RecordingWindow window(&state);
        DeviceLink link(*transport, state, window);
        if (transport->CountDevices() == 1 && link.OpenDevice()) {
            state.linkUp.store(1);
            link.SetFrequency(TuningWord(21.0));
            served = window.messages.empty();
        }
        if (!served) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_TRUE(served);
    bridge.Signal(SIGTERM);
    const testing::ChildResult ended = bridge.Collect(kStartMs);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_NE(ended.err.find("the instrument is gone"), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find("the instrument is back"), std::string::npos) << ended.err;
    EXPECT_FALSE(Exists(path));
}

}  // namespace
}  // namespace korvel
