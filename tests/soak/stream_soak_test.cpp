// The real worker against korvel-sim in another process, over the stream
// transport on a Unix socket: the instrument process is killed mid-pass and
// restarted, restarted with fault flags, unplugged by its own option, and
// replaced for a while by a peer that sends garbage or a frame length of
// 65535. After each episode the worker must come back to a whole clean pass.
// This runs on real time (pauses shortened tenfold), with every wait bounded.
// The same episodes run once more with korvel-bridge between the worker and
// korvel-sim, which stays up throughout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "core/sweep_worker.h"
#include "hostile_peer.h"
#include "observed_transport.h"
#include "scaled_clock.h"
#include "soak_figures.h"
#include "soak_settings.h"
#include "stream/stream_transport.h"
#include "stream_watch.h"

namespace korvel::testing {
namespace {

constexpr int kTransferTimeoutMs = 300;
constexpr int kStartTimeoutMs = 5000;
// Bounds of the waits (real time): a failure shows within a few transfer
// time-outs; a clean pass (about a second) follows a reconnection.
constexpr int kFailureWaitMs = 5000;
constexpr int kRecoveryWaitMs = 20000;

enum class StreamEpisode { KillRestart, SimFault, SimUnplug, Hostile };

struct Plan {
    StreamEpisode kind;
    std::vector<std::string> simArgs;  // for SimFault and SimUnplug
    HostileMode hostile = HostileMode::RawGarbage;
};

std::vector<Plan> MakePlan(int rounds) {
    const std::vector<Plan> round = {
        {StreamEpisode::KillRestart, {}},
        {StreamEpisode::SimFault, {"--fault", "garbage"}},
        {StreamEpisode::Hostile, {}, HostileMode::RawGarbage},
        {StreamEpisode::SimFault, {"--fault", "frame-65535"}},
        {StreamEpisode::KillRestart, {}},
        {StreamEpisode::Hostile, {}, HostileMode::LengthWithoutData},
        {StreamEpisode::SimFault, {"--fault", "truncated=5"}},
        {StreamEpisode::SimFault, {"--fault", "timeout"}},
        {StreamEpisode::Hostile, {}, HostileMode::HugeFrame},
        {StreamEpisode::SimFault, {"--fault", "late=1500"}},
        {StreamEpisode::SimUnplug, {"--replug-after", "300"}},
        {StreamEpisode::Hostile, {}, HostileMode::Unsolicited},
        {StreamEpisode::SimFault, {"--fault", "length=2000"}},
    };
    std::vector<Plan> plan;
    for (int r = 0; r < rounds; ++r) {
        plan.insert(plan.end(), round.begin(), round.end());
    }
    return plan;
}

std::string SocketPath(const char* tag = "soak") {
    return "/tmp/korvel-" + std::string(tag) + "-" + std::to_string(::getpid()) + ".sock";
}

// The bridge's own transfers to korvel-sim take up to 1000 ms: the worker
// waits longer, so that the bridge, not the worker, decides a time-out.
constexpr int kBridgedTransferTimeoutMs = 1500;

// korvel-bridge serving the instrument on `simPath` at `path`.
bool StartBridge(testing::ChildProcess& bridge, const std::string& simPath,
                 const std::string& path) {
    if (bridge.Start(KORVEL_BRIDGE_PATH,
                     {"--device", "unix:" + simPath, "--listen", "unix:" + path},
                     testing::ChildOutput::Capture) &&
        bridge.WaitForOutput("listening on", kStartTimeoutMs)) {
        return true;
    }
    bridge.Kill();
    return false;
}

// Starts korvel-sim on the Unix socket `path` and waits (bounded) for its
// "listening on" line, which comes once the socket accepts connections.
bool StartSim(testing::ChildProcess& sim, const std::string& path,
              const std::vector<std::string>& args) {
    std::vector<std::string> all{"--listen", "unix:" + path};
    all.insert(all.end(), args.begin(), args.end());
    if (sim.Start(KORVEL_SIM_PATH, all, testing::ChildOutput::Capture) &&
        sim.WaitForOutput("listening on", kStartTimeoutMs)) {
        return true;
    }
    sim.Kill();
    return false;
}

void RunStreamSoak(bool throughBridge) {
    const uint32_t seed = SoakSeed();
    std::mt19937 rng(seed);
    const auto randomMs = [&rng](int lo, int hi) {
        return std::chrono::milliseconds(std::uniform_int_distribution<int>(lo, hi)(rng));
    };
    const std::string path = SocketPath();
    const std::string seedArg = std::to_string(seed);

    testing::ChildProcess sim;
    ASSERT_TRUE(StartSim(sim, path, {"--seed", seedArg}));
    // Through the bridge the worker's socket is the bridge's; `path` stays
    // the instrument's.
    testing::ChildProcess bridge;
    const std::string bridgePath = SocketPath("soak-bridge");
    if (throughBridge) {
        ASSERT_TRUE(StartBridge(bridge, path, bridgePath));
    }

    StreamEndpoint endpoint;
    std::string error;
    ASSERT_TRUE(ParseStreamEndpoint("unix:" + (throughBridge ? bridgePath : path), endpoint, error))
        << error;
    StreamTransport stream(endpoint,
                           throughBridge ? kBridgedTransferTimeoutMs : kTransferTimeoutMs);
    ScaledClock clock;
    MeasurementState state;
    state.scanRequest.store(1, kRelaxed);
    ObservedTransport transport(stream, state, clock, {});
    StreamWatch watch(state, transport, clock);
    transport.onFailure = [&watch](uint8_t command) { watch.OnFailure(command); };
    clock.onPause = [&watch] { watch.OnPause(); };
    SweepWorker worker(transport, state, watch, clock);
    worker.Start();

    SoakFigures figures;
    ASSERT_GE(watch.WaitCleanPassSince(Milliseconds(0), kRecoveryWaitMs), 0)
        << "no clean pass against a healthy korvel-sim";

    const std::vector<Plan> plan = MakePlan(kLongSoak ? 20 : 1);
    for (const Plan& episode : plan) {
        // Somewhere inside a pass.
        std::this_thread::sleep_for(randomMs(20, 500));
        const uint64_t messagesBefore = watch.LinkMessages();
        ++figures.faultsInjected;
        sim.Kill();
        // Killing the instrument process mid-pass is itself a failure.
        EXPECT_TRUE(watch.WaitLinkMessagesAbove(messagesBefore, kFailureWaitMs))
            << "no link-error message after the instrument process was killed";

        std::vector<std::string> args{"--seed", seedArg};
        if (episode.kind == StreamEpisode::Hostile) {
            const uint64_t atPeer = watch.LinkMessages();
            HostilePeer peer(path, episode.hostile, seed);
            ASSERT_TRUE(peer.Listening());
            ++figures.faultsInjected;
            // Two failed connections with the peer before the instrument is back.
            EXPECT_TRUE(watch.WaitLinkMessagesAbove(atPeer + 1, kRecoveryWaitMs))
                << "the worker did not keep failing on a peer sending "
                << HostileModeName(episode.hostile);
        } else if (episode.kind == StreamEpisode::SimFault) {
            args.insert(args.end(), episode.simArgs.begin(), episode.simArgs.end());
            // Strikes after a random number of replies of the new connection.
            args.back() += ",after=" + std::to_string(randomMs(2, 1500).count());
            ++figures.faultsInjected;
        } else if (episode.kind == StreamEpisode::SimUnplug) {
            args.insert(args.end(), episode.simArgs.begin(), episode.simArgs.end());
            args.insert(args.end(), {"--unplug-after", std::to_string(randomMs(2, 1500).count())});
            ++figures.faultsInjected;
        }
        std::this_thread::sleep_for(randomMs(0, 300));
        const uint64_t beforeRestart = watch.LinkMessages();
        ASSERT_TRUE(StartSim(sim, path, args));
        const Milliseconds restarted = clock.Now();
        if (episode.kind == StreamEpisode::SimFault || episode.kind == StreamEpisode::SimUnplug) {
            EXPECT_TRUE(watch.WaitLinkMessagesAbove(beforeRestart, kRecoveryWaitMs))
                << "korvel-sim " << args.back() << " did not fail the link";
        }
        const Milliseconds since =
            episode.kind == StreamEpisode::KillRestart || episode.kind == StreamEpisode::Hostile
                ? restarted
                : clock.Now();
        const long long cleanAt = watch.WaitCleanPassSince(since, kRecoveryWaitMs);
        ASSERT_GE(cleanAt, 0) << "no whole clean pass within " << kRecoveryWaitMs
                              << " ms after the instrument came back";
        figures.recoveryTimes.push_back(Milliseconds(cleanAt) - since);
        const Milliseconds reloaded = transport.ReloadedAt();
        if (reloaded >= since) {
            figures.reconnectTimes.push_back(reloaded - since);
        }
        ++figures.episodes;
    }

    watch.Stopping();
    worker.RequestStop();
    worker.Join();
    sim.Kill();
    ::unlink(path.c_str());
    if (throughBridge) {
        // It outlived every episode and stops cleanly.
        bridge.Signal(SIGTERM);
        const ChildResult ended = bridge.Collect(kStartTimeoutMs);
        EXPECT_TRUE(ended.exited && ended.exitCode == 0) << ended.err;
        EXPECT_NE(::access(bridgePath.c_str(), F_OK), 0);
    }

    figures.passesCompleted = watch.Passes();
    figures.linkErrorMessages = watch.LinkMessages();
    figures.failedConnections = watch.FailedConnections();
    figures.failureEpisodes = figures.episodes;
    figures.transfers = transport.Transfers();
    const std::string summary =
        figures.Summary(throughBridge ? "stream soak through korvel-bridge" : "stream soak",
                        "real time, pauses / 10");
    std::printf("%s; seed %u\n", summary.c_str(), seed);
    ::testing::Test::RecordProperty("figures", summary);

    for (const std::string& v : watch.Violations()) {
        ADD_FAILURE() << v;
    }
    EXPECT_EQ(figures.linkErrorMessages, figures.failedConnections);
}

TEST(StreamSoak, WorkerRecoversFromAKilledGarbledOrHostileInstrumentProcess) {
    RunStreamSoak(false);
}

TEST(StreamSoak, WorkerRecoversThroughTheBridgeFromTheSameFaultsBehindIt) {
    RunStreamSoak(true);
}

}  // namespace
}  // namespace korvel::testing
