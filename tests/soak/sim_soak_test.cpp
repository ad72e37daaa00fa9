// The real worker against the simulated instrument on virtual time, with a
// fault or a calibration request at a random moment of every episode.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "chaos_driver.h"
#include "core/sweep_worker.h"
#include "fake_clock.h"
#include "observed_transport.h"
#include "sim/sim_bench_operator.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"
#include "soak_settings.h"
#include "soak_window.h"

namespace korvel::testing {
namespace {

// Real time a run may take before it counts as hung (sanitizer builds are
// many times slower than plain ones).
constexpr std::chrono::seconds kShortRunWallLimit{240};
constexpr std::chrono::hours kLongRunWallLimit{4};
constexpr std::size_t kPausesKept = 10000;

TEST(SimSoak, WorkerRecoversFromEveryFaultWithOneMessageAndSoundValues) {
    const uint32_t seed = SoakSeed();
    const int episodes = SoakEpisodes(400, 100000);

    auto instrument = std::make_shared<SimInstrument>(seed);
    testing::FakeClock clock;
    SimTransport sim(instrument, &clock);
    MeasurementState state;
    state.scanRequest.store(1, kRelaxed);  // the continuous scan runs throughout
    std::vector<CalRecord> memory;
    for (int n = 0; n < ObservedTransport::kShadowRecords; ++n) {
        memory.push_back(instrument->Record(n));
    }
    ObservedTransport transport(sim, state, clock, memory);
    SoakWindow window;
    SimBenchOperator bench(window, *instrument);
    SweepWorker worker(transport, state, bench, clock);
    ChaosDriver driver({*instrument, state, window.settings, transport, clock}, seed, episodes,
                       [&worker] { worker.RequestStop(); });

    transport.onFailure = [&driver](uint8_t command) { driver.OnFailure(command); };
    window.onPassBegin = [&driver] { driver.OnPassBegin(); };
    window.onPassFinished = [&driver] { driver.OnPassFinished(); };
    window.onSmith = [&driver] { driver.OnSmith(); };
    window.onMessage = [&driver](const std::string& text) { driver.OnMessage(text); };
    std::size_t sleeps = 0;
    clock.SetSleepHook([&](Milliseconds) {
        driver.OnSleep();
        if (++sleeps % kPausesKept == 0) {
            clock.ClearPauses();  // the run needs none of them
        }
    });

    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    const auto wallStart = std::chrono::steady_clock::now();
    std::thread runner([&] {
        worker.Run();
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ended.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        const auto limit = kLongSoak
                               ? std::chrono::duration_cast<std::chrono::seconds>(kLongRunWallLimit)
                               : kShortRunWallLimit;
        if (!ended.wait_for(lock, limit, [&] { return done; })) {
            ADD_FAILURE() << "the worker hung: no end within " << limit.count() << " s";
            worker.RequestStop();
        }
    }
    runner.join();
    driver.Finish();
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - wallStart);

    const SoakFigures& f = driver.Figures();
    const std::string summary = f.Summary("in-process soak", "virtual time");
    std::printf("%s; seed %u; %lld s virtual in %lld ms real\n", summary.c_str(), seed,
                static_cast<long long>(clock.Now().count() / 1000),
                static_cast<long long>(wall.count()));
    RecordProperty("figures", summary);

    EXPECT_TRUE(driver.Completed()) << "the run ended before all " << episodes << " episodes";
    EXPECT_EQ(window.badProgressLines, 0);
    for (const std::string& v : driver.Violations()) {
        ADD_FAILURE() << v;
    }
    // The run must really have exercised the failure path.
    EXPECT_GT(f.failureEpisodes, 0u);
    EXPECT_EQ(f.linkErrorMessages, f.failedConnections);
}

}  // namespace
}  // namespace korvel::testing
