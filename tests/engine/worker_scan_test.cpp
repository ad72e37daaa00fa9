#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "core/measurement_math.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

void FillPoints(MeasurementState& s, double v) {
    for (std::size_t i = 0; i < kSweepPoints; ++i) {
        s.vswr1Points[i] = v;
        s.vswr2Points[i] = v;
        s.vswr3Points[i] = v;
        s.s21Points[i] = v;
    }
}

TEST(WorkerScanPass, PausesOfOnePassWithTheSmithPoint) {
    WorkerRig rig;
    rig.state.scanRequest = 1;
    rig.StopAfterPasses(1);
    rig.worker.Run();

    std::vector<Milliseconds> expected = {kSmithSettlePause, kSmithSettlePause};
    for (int ch = 0; ch < 3; ++ch) {
        const auto channel = ExpectedChannelPauses(true);
        expected.insert(expected.end(), channel.begin(), channel.end());
    }
    EXPECT_EQ(rig.PausesAfterConnect(), expected);
    const auto total = std::accumulate(expected.begin(), expected.end(), Milliseconds(0));
    EXPECT_EQ(total, Milliseconds(8750));
    EXPECT_EQ(rig.window.passes, 1);
    EXPECT_EQ(rig.window.events.front(), "begin");
}

TEST(WorkerScanPass, ChannelOneTunesItsFrequencyPlanAndNeverTheStop) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    rig.StopAfterPasses(1);
    rig.worker.Run();

    const auto tunes = rig.instrument.Commands(0xA1);
    ASSERT_EQ(tunes.size(), 600u);
    EXPECT_NEAR(FreqOfTuningWord(tunes[0].tuningWord), 6.1, 1e-6);
    EXPECT_NEAR(FreqOfTuningWord(tunes[1].tuningWord), 6.109, 1e-6);
    EXPECT_NEAR(FreqOfTuningWord(tunes[199].tuningWord), 7.891, 1e-6);
    EXPECT_NEAR(FreqOfTuningWord(tunes[200].tuningWord), 13.1, 1e-6);
    EXPECT_NEAR(FreqOfTuningWord(tunes[599].tuningWord), 21.891, 1e-6);
    for (int i = 0; i < 200; ++i) {
        const double f = SweepPointFreqMHz(6.1f, 7.9f, i);
        EXPECT_EQ(tunes[i].tuningWord, TuningWord(f)) << i;
        EXPECT_EQ(rig.ReadIndices()[2 + i], CalibrationIndex(f)) << i;
    }
    // Progress: each range's points in order, before each is measured.
    ASSERT_EQ(rig.window.lines.size(), 600u);
    EXPECT_EQ(rig.window.lines[0].channel, 1);
    EXPECT_EQ(rig.window.lines[0].point, 0);
    EXPECT_EQ(rig.window.lines[1].point, 1);
    EXPECT_EQ(rig.window.lines[199].point, 199);
    EXPECT_EQ(rig.window.lines[200].channel, 2);
    EXPECT_EQ(rig.window.lines[400].channel, 3);
}

TEST(WorkerScanPass, DisabledChannelsSkipTheirPoints) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    rig.window.settings.m_enableVswr1 = 0;
    rig.window.settings.m_enableVswr2 = 0;
    rig.window.settings.m_enableVswr3 = 0;
    rig.StopAfterPasses(1);
    rig.worker.Run();
    // Only the drawing context is taken and released.
    EXPECT_TRUE(rig.instrument.Commands(0xA1).empty());
    EXPECT_TRUE(rig.window.lines.empty());
    EXPECT_EQ(rig.window.events, (std::vector<std::string>{"begin", "end", "pass"}));
}

TEST(WorkerScanPass, ChannelTurnedOffMidwayStopsAtItsNextPoint) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    FillPoints(rig.state, -1.0);
    // Untick channel 1 while point 49 is settling.
    rig.clock.SetSleepHook([&](Milliseconds) {
        if (rig.window.lines.size() == 50)
            rig.window.settings.m_enableVswr1 = 0;
    });
    rig.StopAfterPasses(1);
    rig.worker.Run();
    EXPECT_EQ(rig.state.vswr1Points[49].load(), 1.0);
    EXPECT_EQ(rig.state.vswr1Points[50].load(), -1.0);
    EXPECT_EQ(rig.state.vswr2Points[0].load(), 1.0);
    EXPECT_EQ(rig.state.vswr3Points[199].load(), 1.0);
}

TEST(WorkerScanPass, VswrAndS21FromTheCorrectedReflection) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    rig.window.settings.m_enableVswr1 = 0;
    rig.window.settings.m_enableVswr2 = 0;
    // Channel 3: live amplitude falls from a perfect match to a total
    // mismatch along the sweep; the live power climbs by one word a point.
    int point = 0;
    rig.instrument.live = [&](uint32_t) {
        const int i = point;
        LiveWords w{2950, 2950, 2950, static_cast<uint16_t>(2400 + i)};
        if (i >= 100)
            w.amp = 0;  // ratio 31.6: far beyond 1
        return w;
    };
    rig.clock.SetSleepHook(
        [&](Milliseconds) { point = static_cast<int>(rig.window.lines.size()) - 1; });
    rig.StopAfterPasses(1);
    rig.worker.Run();

    EXPECT_DOUBLE_EQ(rig.state.vswr3Points[0].load(), 1.0);
    EXPECT_DOUBLE_EQ(rig.state.vswr3Points[99].load(), 1.0);
    EXPECT_DOUBLE_EQ(rig.state.vswr3Points[100].load(), 10.0);

    const PowerCurve curve = LoadPowerCurve(rig.state);
    auto s21 = [&](int i) {
        return static_cast<double>(ReadingToDbm(2400.0f + i, curve) - ReadingToDbm(2446.0f, curve));
    };
    EXPECT_NEAR(rig.state.s21Points[0].load(), s21(0), 1e-6);
    EXPECT_NEAR(rig.state.s21Points[1].load(), (s21(0) + s21(1)) / 2, 1e-6);
    EXPECT_NEAR(rig.state.s21Points[2].load(), (s21(0) + s21(1) + s21(2)) / 3, 1e-6);
    for (int i : {3, 4, 57, 199}) {
        EXPECT_NEAR(rig.state.s21Points[i].load(),
                    (s21(i) + s21(i - 1) + s21(i - 2) + s21(i - 3)) / 4, 1e-5)
            << i;
    }
    EXPECT_NEAR(rig.state.rfPowerDbm.load(), ReadingToDbm(2599.0f, curve), 1e-6);
}

TEST(WorkerScanPass, ZeroReferenceWordKeepsThePreviousValue) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    FillPoints(rig.state, 7.0);
    const uint32_t broken = TuningWord(SweepPointFreqMHz(6.1f, 7.9f, 10));
    rig.instrument.live = [&](uint32_t word) {
        return word == broken ? LiveWords{2950, 0, 2950, 2446} : LiveWords{2950, 2950, 2950, 2446};
    };
    // A stored record without a reference word at channel 2's first point.
    rig.instrument.memory[CalibrationIndex(SweepPointFreqMHz(13.1f, 14.9f, 0))].ref = 0;
    rig.StopAfterPasses(1);
    rig.worker.Run();
    EXPECT_EQ(rig.state.vswr1Points[10].load(), 7.0);
    EXPECT_EQ(rig.state.vswr1Points[11].load(), 1.0);
    EXPECT_EQ(rig.state.vswr2Points[0].load(), 7.0);
    for (std::size_t i = 0; i < kSweepPoints; ++i) {
        ASSERT_TRUE(std::isfinite(rig.state.vswr1Points[i].load()));
    }
    EXPECT_TRUE(rig.window.messages.empty());
}

TEST(WorkerScanPass, LinkFailureKeepsPausesAndPreviousValuesThenReconnects) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    FillPoints(rig.state, 5.0);
    // Commands: 2 record reads, then tune/read pairs; fail channel 1's point 20 read.
    rig.instrument.failCommand = 2 + 2 * 20 + 1;
    rig.StopAfterPasses(2);
    rig.worker.Run();

    EXPECT_EQ(rig.window.messages, (std::vector<std::string>{"USB Link Error！"}));
    EXPECT_EQ(rig.instrument.opens, 2);
    EXPECT_EQ(rig.instrument.closes, 2);  // dropped after the pass, closed at stop
    // The record reads come again at the reconnection.
    std::vector<uint16_t> indices = rig.ReadIndices();
    EXPECT_EQ(std::count(indices.begin(), indices.end(), kOpenPortRecord), 2);
    EXPECT_EQ(std::count(indices.begin(), indices.end(), kInputPowerRecord), 2);

    // The failed pass kept its pauses: 3 * 2.45 s, then 500 ms before reopening.
    const auto pauses = rig.PausesAfterConnect();
    const auto firstPass = std::accumulate(pauses.begin(), pauses.begin() + 600, Milliseconds(0));
    EXPECT_EQ(firstPass, Milliseconds(7350));
    EXPECT_EQ(pauses[600], kBeforeOpenPause);
    // The second pass measured every point again.
    EXPECT_EQ(rig.state.vswr1Points[20].load(), 1.0);
    EXPECT_EQ(rig.state.vswr3Points[199].load(), 1.0);
}

TEST(WorkerScanPass, PointsMeasuredWhileTheLinkIsDownKeepTheirValues) {
    WorkerRig rig;
    rig.state.smithRequest = 0;
    rig.state.scanRequest = 1;
    FillPoints(rig.state, 5.0);
    rig.instrument.failCommand = 2 + 2 * 20 + 1;
    rig.StopAfterPasses(1);
    rig.worker.Run();
    EXPECT_EQ(rig.state.vswr1Points[19].load(), 1.0);
    EXPECT_EQ(rig.state.vswr1Points[20].load(), 5.0);
    EXPECT_EQ(rig.state.vswr3Points[199].load(), 5.0);
    EXPECT_EQ(rig.state.s21Points[0].load(), 5.0);
    // Nothing more was sent after the failure.
    EXPECT_EQ(rig.instrument.log.size(), 2u + 2 * 20 + 2);
}

}  // namespace
}  // namespace korvel::testing
