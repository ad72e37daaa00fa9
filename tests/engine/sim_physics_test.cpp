#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "sim/sim_physics.h"
#include "sim_worker_math.h"

namespace korvel {
namespace {

using testing::DetectorPhaseOf;
using testing::DetectorRatioOf;
using testing::SimBenchRig;

TEST(SimDetectorWordsTest, AreTheInverseOfTheProgramsReading) {
    const int ref = 2950;
    for (const double ratio : {0.05, 0.2, 1.0, 3.0, 20.0}) {
        const int amp = static_cast<int>(std::lround(sim::AmpWordForRatio(ratio, ref)));
        EXPECT_NEAR(DetectorRatioOf(amp, ref) / ratio, 1.0, 0.003) << ratio;
    }
    for (const double angle : {-3.0, -1.2, -0.1, 0.1, 1.2, 3.0}) {
        const int phase = static_cast<int>(std::lround(sim::PhaseWordForAngle(angle, ref)));
        // The detector reports only the size of the angle.
        EXPECT_NEAR(DetectorPhaseOf(phase, ref), -std::abs(angle), 0.002) << angle;
    }
    // Outside the detector's range the words pin to its ends.
    EXPECT_EQ(sim::AmpWordForRatio(1000.0, ref), 0.0);
    EXPECT_EQ(sim::AmpWordForRatio(1e-6, ref), ref);
    EXPECT_EQ(sim::AmpWordForRatio(0.0, ref), ref);
}

TEST(SimDetectorWordsTest, PowerReadingFollowsTheInputPowerCurve) {
    EXPECT_DOUBLE_EQ(sim::PowerReadingForDbm(0.0), 2446.0);
    EXPECT_DOUBLE_EQ(sim::PowerReadingForDbm(-20.0), 2084.0);
    const double s = (2446.0 - 2084.0) / 315.0;
    EXPECT_NEAR(sim::PowerReadingForDbm(-8.0), 2446.0 - 57 * s, 1e-9);
    EXPECT_NEAR(sim::PowerReadingForDbm(15.0), 2446.0 + 42 * s, 1e-9);
    // Below -20 dBm: the program's straight line, 25 * s counts per dB.
    EXPECT_NEAR(sim::PowerReadingForDbm(-40.0), 2084.0 - 20 * 25 * s, 1e-9);
    double last = -1;
    for (double dbm = -90; dbm <= 25; dbm += 0.25) {
        const double reading = sim::PowerReadingForDbm(dbm);
        EXPECT_GE(reading, last) << dbm;
        last = reading;
    }
    EXPECT_EQ(sim::PowerReadingForDbm(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(sim::PowerReadingForDbm(1e9), 4095.0);
}

TEST(SimDetectorWordsTest, AnyTunedFrequencyGivesFiniteWords) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double f : {0.0, -5.0, 1e-9, 119.9, 1e12, inf, std::nan("")}) {
        const sim::AnalogWords w = sim::DetectorOutputs(SimBench::Antenna, f);
        EXPECT_TRUE(std::isfinite(w.amp) && std::isfinite(w.phase) && std::isfinite(w.power)) << f;
    }
}

TEST(SimFactoryCalibrationTest, FillsTheWholeMemoryWithValidMarkers) {
    SimInstrument sim;
    static_assert(SimInstrument::kRecordCount >= 1181);
    const CalRecord pin = sim.Record(kInputPowerRecord);
    EXPECT_EQ(pin.amp, 3000);
    EXPECT_EQ(pin.ref, 2446);
    EXPECT_EQ(pin.phase, 2600);
    EXPECT_EQ(pin.power, 2084);
    // The open port reads strongly (amp below half the reference).
    const CalRecord open = sim.Record(kOpenPortRecord);
    EXPECT_LT(open.amp, open.ref / 2);
    EXPECT_GT(DetectorRatioOf(open.amp, open.ref), 5.0);
    // A 50 ohm record at 60 MHz exists and is not erased.
    EXPECT_NE(sim.Record(1180).ref, 0xFFFF);
    EXPECT_EQ(sim.Record(SimInstrument::kRecordCount).ref, 0xFFFF);
    EXPECT_EQ(sim.Record(-1).amp, 0xFFFF);
}

TEST(SimPhysicsTest, DummyLoadReadsVswrNearOneAcrossTheBand) {
    SimBenchRig rig;
    rig.instrument->SetBench(SimBench::DummyLoad);
    for (double f = 1.0; f <= 60.0; f += 0.55) {
        EXPECT_LT(rig.Vswr(f), 1.1) << f;
    }
    EXPECT_TRUE(rig.window.messages.empty());
}

TEST(SimPhysicsTest, OpenAndThroughReadAsExpected) {
    SimBenchRig rig;
    rig.instrument->SetBench(SimBench::OpenPort);
    // (Not at 39.35 MHz: that record is the open port itself.)
    for (const double f : {2.0, 14.27, 39.0, 55.0}) {
        EXPECT_GT(rig.CorrectedGamma(f), 0.95) << f;
        EXPECT_EQ(rig.Vswr(f), 10.0) << f;
    }
    rig.instrument->SetBench(SimBench::ThroughCable);
    for (const double f : {2.0, 14.27, 30.0}) {
        const DetectorReading r = rig.Read(f);
        EXPECT_LT(rig.Vswr(f), 1.1) << f;
        // S21 through the cable the calibration used: about 0 dB.
        EXPECT_NEAR(r.livePower, r.calPower, 4) << f;
    }
}

TEST(SimPhysicsTest, AntennaHasOneResonanceInEachDefaultRange) {
    SimBenchRig rig;
    const double ranges[3][2] = {{6.1, 7.9}, {13.1, 14.9}, {20.1, 21.9}};
    for (const auto& range : ranges) {
        double best = 1e9;
        for (int i = 0; i < 200; ++i) {
            best = std::min(best, rig.Vswr(range[0] + (range[1] - range[0]) * i / 200));
        }
        EXPECT_LT(best, 1.4) << range[0];
        EXPECT_GT(rig.Vswr(range[0]), 2.0) << range[0];
        EXPECT_GT(rig.Vswr(range[1] - 0.01), 1.8) << range[1];
    }
    EXPECT_LT(rig.Vswr(14.27), 1.2);
    EXPECT_EQ(rig.Vswr(10.0), 10.0);
    EXPECT_GT(rig.Vswr(17.0), 5.0);
}

TEST(SimPhysicsTest, SmithPointOfTheAntennaAtItsMatchIsNearFiftyOhm) {
    SimBenchRig rig;
    // The Smith reading: magnitude capped at 1, angle folded by -(P + pi).
    const DetectorReading r = rig.Read(14.27);
    const auto pair = [&](int amp, int ref, int phase) {
        const double m = std::min(1.0, DetectorRatioOf(amp, ref) / rig.gammaScale);
        return std::polar(m, -(DetectorPhaseOf(phase, ref) + 3.14159));
    };
    const std::complex<double> gamma =
        pair(r.liveAmp, r.liveRef, r.livePhase) - pair(r.calAmp, r.calRef, r.calPhase);
    const std::complex<double> z = 50.0 * (1.0 + gamma) / (1.0 - gamma);
    EXPECT_NEAR(z.real(), 50.0, 6.0);
    EXPECT_NEAR(std::abs(z.imag()), 0.0, 6.0);
}

TEST(SimPhysicsTest, BandPassThroughPathShowsInS21) {
    SimBenchRig rig;
    const DetectorReading pass = rig.Read(21.0);
    const DetectorReading stop = rig.Read(14.27);
    // In the pass band about a dB below the cable; far below it elsewhere.
    EXPECT_LT(pass.livePower, pass.calPower);
    EXPECT_GT(pass.livePower, pass.calPower - 60);
    EXPECT_LT(stop.livePower, stop.calPower - 400);
}

TEST(SimPhysicsTest, SourcesReadThePinCalibrationReadings) {
    SimBenchRig rig;
    rig.instrument->SetBench(SimBench::Source0dBm);
    EXPECT_NEAR(rig.Read(15.0).livePower, 2446, 3);
    rig.instrument->SetBench(SimBench::SourceMinus20dBm);
    EXPECT_NEAR(rig.Read(15.0).livePower, 2084, 3);
    rig.instrument->SetBench(SimBench::DummyLoad);
    EXPECT_LT(rig.Read(15.0).livePower, 1000);  // only the detector's floor
}

TEST(SimNoiseTest, IsSeededSmallAndCanBeSwitchedOff) {
    SimBenchRig a(7), b(7), c(8);
    int differ = 0;
    for (int i = 0; i < 20; ++i) {
        const DetectorReading ra = a.Read(14.0), rb = b.Read(14.0), rc = c.Read(14.0);
        EXPECT_EQ(ra.liveAmp, rb.liveAmp);
        EXPECT_EQ(ra.livePower, rb.livePower);
        EXPECT_NEAR(ra.liveAmp, rc.liveAmp, 6);
        differ += ra.liveAmp != rc.liveAmp || ra.livePhase != rc.livePhase;
    }
    EXPECT_GT(differ, 0);
    a.instrument->SetNoiseScale(0);
    const DetectorReading first = a.Read(14.0);
    for (int i = 0; i < 5; ++i) {
        const DetectorReading again = a.Read(14.0);
        EXPECT_EQ(again.liveAmp, first.liveAmp);
        EXPECT_EQ(again.livePhase, first.livePhase);
        EXPECT_EQ(again.livePower, first.livePower);
    }
}

// The 50 ohm calibration as the program performs it: through power with the
// cable, the load words with the dummy load, record 767 with the port open.
TEST(SimCalibrationMemoryTest, PagesWrittenByTheProgramAreWhatLaterReadsUse) {
    SimBenchRig rig(3);
    rig.instrument->SetBench(SimBench::ThroughCable);
    std::vector<uint16_t> through(768);
    for (int n = 0; n < 768; ++n) {
        through[n] = rig.Read(1.0 + n / 20.0).livePower;
    }
    rig.instrument->SetBench(SimBench::DummyLoad);
    for (int block = 0; block < 6; ++block) {
        for (int page = 0; page < 32; ++page) {
            uint8_t buffer[32];
            for (int slot = 0; slot < 4; ++slot) {
                const int n = (block * 32 + page) * 4 + slot;
                if (n == kOpenPortRecord) {
                    rig.instrument->SetBench(SimBench::OpenPort);
                }
                rig.link.SetFrequency(TuningWord(1.0 + n / 20.0));
                DetectorReading r;
                rig.link.ReadDetectors(0, r);
                PackCalRecord(CalRecord{r.liveAmp, r.liveRef, r.livePhase, through[n]},
                              buffer + 8 * slot);
            }
            rig.link.WriteCalPage(static_cast<uint8_t>(block), static_cast<uint8_t>(page), buffer);
        }
    }
    EXPECT_EQ(rig.instrument->Counters().pageWrites, 192u);
    const std::vector<SimPageWrite> log = rig.instrument->PageWrites();
    ASSERT_EQ(log.size(), 192u);
    EXPECT_EQ(log.back().block, 5);
    EXPECT_EQ(log.back().page, 31);
    EXPECT_EQ(rig.instrument->Record(100).power, through[100]);
    // The bare open port (the factory's own record is trimmed).
    EXPECT_NEAR(rig.instrument->Record(kOpenPortRecord).amp,
                sim::DetectorOutputs(SimBench::OpenPort, sim::kOpenPortFreqMHz).amp, 4);

    rig.instrument->SetBench(SimBench::DummyLoad);
    for (const double f : {1.0, 7.0, 14.27, 30.0, 39.3}) {
        EXPECT_LT(rig.Vswr(f), 1.1) << f;
    }
    EXPECT_TRUE(rig.window.messages.empty());
}

TEST(SimCalibrationMemoryTest, PagesOutsideTheMemoryAreAcknowledgedButIgnored) {
    SimBenchRig rig;
    uint8_t page[32];
    std::fill(page, page + 32, 0x11);
    rig.link.WriteCalPage(10, 0, page);  // past 1280 records
    rig.link.WriteCalPage(0, 32, page);  // no page 32 in a block
    EXPECT_TRUE(rig.window.messages.empty());
    EXPECT_EQ(rig.instrument->Counters().pageWrites, 0u);
    EXPECT_EQ(rig.instrument->Counters().ignoredPageWrites, 2u);
    EXPECT_NE(rig.instrument->Record(128).amp, 0x1111);
    rig.link.WriteCalPage(6, 0, page);
    EXPECT_EQ(rig.instrument->Record(768).amp, 0x1111);
    EXPECT_EQ(rig.instrument->Record(771).power, 0x1111);
}

}  // namespace
}  // namespace korvel
