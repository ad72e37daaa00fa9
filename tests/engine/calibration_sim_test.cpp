#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "sim/sim_bench_operator.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

// The real simulator behind the worker, with the bench operator answering the
// prompts. The records that matter start out wrong, so only a calibration
// that really measures and stores them can put the readings right.
struct SimRig {
    std::shared_ptr<SimInstrument> sim = std::make_shared<SimInstrument>(7);
    MeasurementState state;
    RecordingWindow window;
    SimBenchOperator operatorWindow{window, *sim};
    FakeClock clock;

    // Runs a fresh worker until `done` says so at one of its pauses. A stopped
    // worker leaves its transport interrupted, so each run opens a new one.
    void RunUntil(const std::function<bool()>& done) {
        SimTransport transport(sim);
        SweepWorker worker(transport, state, operatorWindow, clock);
        clock.SetSleepHook([&](Milliseconds) {
            if (done())
                worker.RequestStop();
        });
        worker.Run();
        clock.SetSleepHook(nullptr);
    }

    void Calibrate(std::atomic<int32_t>& request) {
        state.smithRequest = 0;
        state.scanRequest = 0;
        request = 1;
        RunUntil([&] { return request.load() == 0 && state.linkUp.load() == 1; });
    }

    // One whole scan pass with the given ranges.
    void ScanOnce(float a, float b, float c, float d, float e, float f) {
        window.settings.m_vswr1StartMHz = a;
        window.settings.m_vswr1StopMHz = b;
        window.settings.m_vswr2StartMHz = c;
        window.settings.m_vswr2StopMHz = d;
        window.settings.m_vswr3StartMHz = e;
        window.settings.m_vswr3StopMHz = f;
        state.scanRequest = 1;
        const int target = window.passes + 1;
        RunUntil([&] { return window.passes >= target; });
        state.scanRequest = 0;
    }

    // Input power after one Smith measurement on the given bench.
    double PowerOn(SimBench bench) {
        sim->SetBench(bench);
        state.smithRequest = 1;
        const int target = window.smithChanges + 1;
        RunUntil([&] { return window.smithChanges >= target; });
        return state.rfPowerDbm.load();
    }
};

TEST(SimCalibration, ZoCalibrationMakesADummyLoadReadVswrOne) {
    SimRig rig;
    for (int n = 0; n < 768; ++n)
        rig.sim->SetRecord(n, {1200, 2950, 700, 1900});
    rig.Calibrate(rig.state.zoCalRequest);
    ASSERT_EQ(rig.window.messages.size(), 4u);
    EXPECT_EQ(rig.window.messages.back(), kZoFinished);
    EXPECT_EQ(rig.sim->Bench(), SimBench::Antenna);

    rig.sim->SetBench(SimBench::DummyLoad);
    rig.ScanOnce(1.0f, 14.1f, 14.1f, 27.2f, 27.2f, 39.35f);
    double worst = 0.0;
    for (std::size_t i = 0; i < kSweepPoints; ++i) {
        for (const PointArray* a :
             {&rig.state.vswr1Points, &rig.state.vswr2Points, &rig.state.vswr3Points}) {
            worst = std::max(worst, (*a)[i].load());
        }
    }
    EXPECT_LT(worst, 1.1);
    EXPECT_GE(rig.state.vswr1Points[0].load(), 1.0);
}

TEST(SimCalibration, PinCalibrationMakesTheMeterReadTheSources) {
    SimRig rig;
    // A wrong input-power record: the meter is off by several dB.
    rig.sim->SetRecord(kInputPowerRecord, {3000, 2400, 2600, 2000});
    rig.Calibrate(rig.state.pinCalRequest);
    EXPECT_EQ(rig.window.messages,
              (std::vector<std::string>{kPinPrompt0dBm, kPinPromptMinus20dBm, kPinFinished}));
    EXPECT_NEAR(rig.PowerOn(SimBench::Source0dBm), 0.0, 0.3);
    EXPECT_NEAR(rig.PowerOn(SimBench::SourceMinus20dBm), -20.0, 0.3);
}

TEST(SimBenchOperator, PromptsMapToBenches) {
    EXPECT_EQ(BenchForPrompt(kZoPromptCable), SimBench::ThroughCable);
    EXPECT_EQ(BenchForPrompt(kZoPromptDummyLoad), SimBench::DummyLoad);
    EXPECT_EQ(BenchForPrompt(kZoPromptOpenPort), SimBench::OpenPort);
    EXPECT_EQ(BenchForPrompt(kPinPrompt0dBm), SimBench::Source0dBm);
    EXPECT_EQ(BenchForPrompt(kPinPromptMinus20dBm), SimBench::SourceMinus20dBm);
    EXPECT_EQ(BenchForPrompt("USB Link Error！"), std::nullopt);
    EXPECT_EQ(BenchForPrompt(kPinFinished), std::nullopt);
}

}  // namespace
}  // namespace korvel::testing
