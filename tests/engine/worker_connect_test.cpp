#include <gtest/gtest.h>

#include "core/measurement_math.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

void StopAfterPauses(WorkerRig& rig, int n) {
    rig.clock.SetSleepHook([&rig, n](Milliseconds) {
        if (static_cast<int>(rig.clock.PauseCount()) >= n)
            rig.worker.RequestStop();
    });
}

TEST(WorkerConnect, WithoutAnInstrumentItPollsInsteadOfSpinning) {
    WorkerRig rig;
    rig.instrument.devices = 0;
    rig.state.linkUp = 1;  // stale: must be cleared
    StopAfterPauses(rig, 5);
    rig.worker.Run();
    EXPECT_EQ(rig.clock.Pauses(), std::vector<Milliseconds>(5, kNoInstrumentPoll));
    EXPECT_EQ(rig.instrument.counts, 5);
    EXPECT_EQ(rig.instrument.opens, 0);
    EXPECT_EQ(rig.state.linkUp.load(), 0);
}

TEST(WorkerConnect, WhereArrivalsAreAnnouncedItWaitsForOneAndShowsANoticeOnce) {
    ScriptedInstrument instrument;
    instrument.devices = 0;
    instrument.announcesArrivals = true;
    instrument.notice = "device refused";
    MeasurementState state;
    RecordingWindow window;
    FakeClock clock;
    {
        SweepWorker worker(instrument, state, window, clock);
        ASSERT_TRUE(instrument.arrivalHandler);
        clock.SetSleepHook([&](Milliseconds) {
            if (clock.PauseCount() >= 3)
                worker.RequestStop();
        });
        worker.Run();
    }
    EXPECT_FALSE(instrument.arrivalHandler);  // dropped with the worker
    EXPECT_EQ(clock.Pauses(), std::vector<Milliseconds>(3, kNoInstrumentRecheck));
    EXPECT_EQ(window.messages, std::vector<std::string>{"device refused"});
}

TEST(WorkerConnect, TenFailedOpensGoBackToCounting) {
    WorkerRig rig;
    rig.instrument.openFailures = 10;
    rig.state.smithRequest = 0;
    rig.clock.SetSleepHook([&](Milliseconds d) {
        if (d == kIdleCyclePause)
            rig.worker.RequestStop();
    });
    rig.worker.Run();
    EXPECT_EQ(rig.instrument.opens, 11);
    EXPECT_EQ(rig.instrument.counts, 2);
    EXPECT_EQ(rig.clock.Pauses(),
              (std::vector<Milliseconds>{kBeforeOpenPause, kBeforeOpenPause, kIdleCyclePause}));
}

TEST(WorkerConnect, LoadsGammaScaleAndInputPowerCalibration) {
    WorkerRig rig;
    rig.instrument.memory[kOpenPortRecord] = {1000, 2000, 123, 0};
    rig.instrument.memory[kInputPowerRecord] = {3000, 2500, 2600, 2000};
    rig.state.smithRequest = 0;
    StopAfterPauses(rig, 2);
    rig.worker.Run();
    EXPECT_DOUBLE_EQ(rig.state.gammaScale.load(), 0.97);
    EXPECT_EQ(rig.state.pinReading0dBm.load(), 2500.0f);
    EXPECT_EQ(rig.state.pinReadingMinus20dBm.load(), 2000.0f);
    EXPECT_FLOAT_EQ(rig.state.pinSlope.load(), 500.0f / 315.0f);
    EXPECT_EQ(rig.state.powerCurveReading[4].load(), 2500.0f);
    EXPECT_EQ(rig.state.powerCurveReading[0].load(), 2000.0f);
    EXPECT_NEAR(ReadingToDbm(2500.0f, rig.state), 0.0f, 1e-3);
    EXPECT_EQ(rig.ReadIndices(), (std::vector<uint16_t>{767, 768}));
}

TEST(WorkerConnect, UncalibratedOrUnusableRecordsFallBackToDefaults) {
    struct Case {
        CalRecord open;
        CalRecord pin;
        double scale;
    };
    const Case cases[] = {
        {{1000, 2000, 0, 0}, {0, 0, 0, 0}, 0.97},              // never calibrated
        {{1000, 2000, 0, 0}, {3000, 2300, 2599, 2000}, 0.97},  // wrong marker
        {{1000, 2000, 0, 0}, {3000, 2300, 2600, 2300}, 0.97},  // flat: no curve
        {{1000, 0, 0, 0}, {0, 0, 0, 0}, 1.0},                  // no reference word
        {{65535, 1, 0, 0}, {0, 0, 0, 0}, 1.0},                 // ratio underflows to 0
    };
    for (const Case& c : cases) {
        WorkerRig rig;
        rig.instrument.memory[kOpenPortRecord] = c.open;
        rig.instrument.memory[kInputPowerRecord] = c.pin;
        rig.state.smithRequest = 0;
        StopAfterPauses(rig, 2);
        rig.worker.Run();
        EXPECT_DOUBLE_EQ(rig.state.gammaScale.load(), c.scale);
        EXPECT_EQ(rig.state.pinReading0dBm.load(), 2446.0f);
        EXPECT_EQ(rig.state.pinReadingMinus20dBm.load(), 2084.0f);
        EXPECT_NEAR(rig.state.pinSlope.load(), 1.149206f, 1e-6);
    }
}

TEST(WorkerConnect, FailedRecordReadDropsAndReconnects) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.instrument.failCommand = 1;  // the read of record 768
    bool connected = false;
    rig.clock.SetSleepHook([&](Milliseconds d) {
        if (d == kIdleCyclePause) {
            connected = rig.state.linkUp.load() == 1;
            rig.worker.RequestStop();
        }
    });
    rig.worker.Run();
    EXPECT_EQ(rig.window.messages, (std::vector<std::string>{"USB Link Error！"}));
    EXPECT_EQ(rig.instrument.opens, 2);
    EXPECT_EQ(rig.ReadIndices(), (std::vector<uint16_t>{767, 768, 767, 768}));
    EXPECT_TRUE(connected);
    EXPECT_EQ(rig.state.linkUp.load(), 0);  // closed at stop
    EXPECT_FALSE(rig.instrument.IsOpen());
}

TEST(WorkerConnect, IdleDispatchRestsBetweenCycles) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    StopAfterPauses(rig, 4);
    rig.worker.Run();
    EXPECT_EQ(rig.clock.Pauses(), (std::vector<Milliseconds>{kBeforeOpenPause, kIdleCyclePause,
                                                             kIdleCyclePause, kIdleCyclePause}));
    EXPECT_EQ(rig.instrument.log.size(), 2u);  // only the record reads
}

TEST(WorkerConnect, RequestsRaisedWhileIdleAreServedAtTheNextCycle) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.clock.SetSleepHook([&](Milliseconds d) {
        if (d == kIdleCyclePause)
            rig.state.scanRequest = 1;
    });
    rig.StopAfterPasses(1);
    rig.worker.Run();
    EXPECT_EQ(rig.window.passes, 1);
    EXPECT_EQ(rig.instrument.Commands(0xA1).size(), 600u);
}

}  // namespace
}  // namespace korvel::testing
