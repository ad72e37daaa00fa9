// The Touchstone reader, the file as the simulator's device under test, and
// the places that take a file: sim:PATH and korvel-sim's --bench.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "device_from_string.h"
#include "recording_window.h"
#include "sim/sim_bench_operator.h"
#include "sim/sim_transport.h"
#include "sim/touchstone.h"
#include "sim/touchstone_bench.h"
#include "sim_command_line.h"
#include "touchstone_circuits.h"

namespace korvel {
namespace {

using sim::ParseTouchstone;
using sim::TouchstoneData;
using testing::Cx;

TouchstoneData Parsed(const std::string& text, int ports = 1) {
    TouchstoneData data;
    std::string error;
    EXPECT_TRUE(ParseTouchstone(text, ports, "t.s1p", data, error)) << error;
    return data;
}

void ExpectNear(Cx got, Cx want, double tolerance = 1e-9) {
    EXPECT_NEAR(got.real(), want.real(), tolerance);
    EXPECT_NEAR(got.imag(), want.imag(), tolerance);
}

TEST(TouchstoneReader, DefaultsAreGigahertzMagnitudeAngleFiftyOhm) {
    const TouchstoneData d = Parsed("! no option line\n0.01 0.5 90\n0.02 1 -180 ! end\n");
    ASSERT_EQ(d.freqMHz.size(), 2u);
    EXPECT_DOUBLE_EQ(d.freqMHz[0], 10.0);
    ExpectNear(d.points[0].s11, Cx(0, 0.5));
    ExpectNear(d.points[1].s11, Cx(-1, 0));
}

TEST(TouchstoneReader, ReadsEveryUnitAndFormatInAnyCase) {
    ExpectNear(Parsed("#khz s db\n7000 -6.020599913 0\n").points[0].s11, Cx(0.5, 0), 1e-9);
    EXPECT_DOUBLE_EQ(Parsed("# Hz RI\n7e6 0.1 -0.2\n").freqMHz[0], 7.0);
    EXPECT_DOUBLE_EQ(Parsed("#MHz\t S  RI R 50\n+7 0 0\n").freqMHz[0], 7.0);
    // Only the first option line counts.
    EXPECT_DOUBLE_EQ(Parsed("# MHz RI\n# GHz\n7 0 0\n").freqMHz[0], 7.0);
}

TEST(TouchstoneReader, InterpolatesRealAndImaginaryPartsLinearly) {
    const TouchstoneData d = Parsed("# MHz RI\n10 0.2 -0.4\n20 0.6 0.4\n30 0 0\n");
    ExpectNear(d.At(12.5)->s11, Cx(0.3, -0.2));
    ExpectNear(d.At(20)->s11, Cx(0.6, 0.4));
    ExpectNear(d.At(30)->s11, Cx(0, 0));
    EXPECT_FALSE(d.At(9.999));
    EXPECT_FALSE(d.At(30.001));
    EXPECT_FALSE(d.At(std::nan("")));
}

TEST(TouchstoneReader, RenormalisesAOnePortToFiftyOhm) {
    // 25 ohm written against 75 ohm: -0.5; against 50 ohm it is -1/3.
    ExpectNear(Parsed("# MHz RI R 75\n7 -0.5 0\n").points[0].s11, Cx(-1.0 / 3, 0));
    // An open stays an open whatever the reference.
    ExpectNear(Parsed("# MHz RI R 300\n7 1 0\n").points[0].s11, Cx(1, 0));
}

TEST(TouchstoneReader, RenormalisesATwoPortAsAWhole) {
    // A 93 ohm line known in a 75 ohm reference must give the line's 50 ohm
    // parameters, worked out separately from its ABCD matrix.
    const testing::Line line{93, 7.5, 0.7, 0.2};
    for (const double f : {1.0, 13.7, 55.0}) {
        const testing::TwoPortS s75 = testing::LineS(f, line, 75);
        const testing::TwoPortS s50 = testing::LineS(f, line, 50);
        std::string text = "# MHz RI R 75\n" + std::to_string(f);
        for (const Cx v : {s75.s11, s75.s21, s75.s12, s75.s22})
            text += testing::TsPair(v, testing::TsFormat::RI);
        const TouchstoneData d = Parsed(text + "\n", 2);
        ExpectNear(d.points[0].s11, s50.s11, 1e-9);
        ExpectNear(d.points[0].s21, s50.s21, 1e-9);
        ExpectNear(d.points[0].s12, s50.s12, 1e-9);
        ExpectNear(d.points[0].s22, s50.s22, 1e-9);
    }
}

TEST(TouchstoneReader, TwoPortColumnsAreS11S21S12S22AndNoiseDataIsSkipped) {
    const TouchstoneData d = Parsed(
        "# MHz RI\n1 0.1 0 0.2 0 0.3 0 0.4 0\n2 0.1 0 0.2 0 0.3 0 0.4 0\n"
        "! noise parameters\n1 2.5 0.3 45 0.8\n2 2.6 0.3 46 0.8\n",
        2);
    ASSERT_EQ(d.points.size(), 2u);
    ExpectNear(d.points[0].s21, Cx(0.2, 0));
    ExpectNear(d.points[0].s12, Cx(0.3, 0));
    ExpectNear(d.points[0].s22, Cx(0.4, 0));
}

TEST(TouchstoneReader, BadFilesNameTheFileAndTheLine) {
    struct Bad {
        const char* text;
        int ports;
        const char* says;
    };
    const Bad bad[] = {
        {"# MHz S MA Q\n1 0 0\n", 1, "t.s1p line 1: unknown option \"Q\""},
        {"# MHz Z RI\n1 0 0\n", 1, "t.s1p line 1: only S parameters"},
        {"# MHz R\n1 0 0\n", 1, "t.s1p line 1: R needs"},
        {"# MHz R -50\n1 0 0\n", 1, "t.s1p line 1: R needs"},
        {"# MHz\n1 0 0\n2 0\n", 1, "t.s1p line 3: 2 columns where a 1-port file has 3"},
        {"# MHz\n1 0 0 0 0\n", 1, "line 2: 5 columns"},
        {"# MHz\n1 0 0\n2 0 0 0 0 0 0 0 0\n", 2, "line 2: 3 columns where a 2-port file has 9"},
        {"# MHz\n1 0 x\n", 1, "line 2: \"x\" is not a number"},
        {"# MHz\n1 0 0.5.5\n", 1, "line 2: \"0.5.5\" is not a number"},
        {"# MHz\n1 nan 0\n", 1, "\"nan\" is not a number"},
        {"# MHz\n1 0 1e999\n", 1, "\"1e999\" is not a number"},
        {"# MHz\n2 0 0\n1 0 0\n", 1, "line 3: the frequencies must increase"},
        {"# MHz\n2 0 0\n2 0 0\n", 1, "line 3: the frequencies must increase"},
        {"# MHz\n-1 0 0\n", 1, "line 2: the frequency must be 0 or more"},
        {"# GHz\n1e306 0 0\n", 1, "line 2: the frequency must be 0 or more"},
        {"[Version] 2.0\n# MHz\n1 0 0\n", 1, "line 1: the Touchstone 2 keyword [Version]"},
        {"# MHz\n1 0 0\n[Number of Ports] 1\n", 1, "line 3: the Touchstone 2 keyword"},
        {"# MHz\n1 0 0\n# GHz\n", 1, "line 3: the option line must come before the data"},
        {"# MHz RI R 75\n1 -5 0\n", 1, "line 2: the values cannot be referred to 50 ohm"},
        {"# MHz DB\n1 1e10 0\n", 1, "line 2: the values cannot be referred to 50 ohm"},
        {"", 1, "t.s1p: no data"},
        {"! only a comment\n# MHz\n\n", 1, "t.s1p: no data"},
        {"# MHz\n1 0 0\n", 3, "t.s1p: only .s1p and .s2p"},
        // A magnitude is never negative (not an angle of 180 degrees).
        {"# MHz MA\n1 -0.5 0\n", 1, "line 2: the magnitude -0.5 is negative"},
        {"# MHz\n1 0 0 0 0 0 0 -1 0\n", 2, "line 2: the magnitude -1 is negative"},
        // Lines hold few fields whatever the file: more are refused unread.
        {"# MHz\n1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n", 1, "line 2: more than 16 fields"},
        {"# S S S S S S S S S S S S S S S S S S S S\n1 0 0\n", 1, "line 1: more than 16 fields"},
        // A CR alone ends a line too, so the right line is named.
        {"# MHz\r1 0 0\r2 x 0\r", 1, "t.s1p line 3: \"x\" is not a number"},
    };
    for (const Bad& b : bad) {
        TouchstoneData d;
        d.freqMHz = {42};
        std::string error;
        EXPECT_FALSE(ParseTouchstone(b.text, b.ports, "t.s1p", d, error)) << b.text;
        EXPECT_NE(error.find(b.says), std::string::npos) << b.text << " gave: " << error;
        // A refused file leaves what was there.
        EXPECT_EQ(d.freqMHz, std::vector<double>{42});
    }
}

TEST(TouchstoneReader, FilesAreFoundByTheirNames) {
    EXPECT_EQ(sim::TouchstonePortsOfName("a/b.S1P"), 1);
    EXPECT_EQ(sim::TouchstonePortsOfName("b.s2p"), 2);
    EXPECT_EQ(sim::TouchstonePortsOfName("b.s3p"), 0);
    EXPECT_EQ(sim::TouchstonePortsOfName("s1p"), 0);
    TouchstoneData d;
    std::string error;
    EXPECT_FALSE(sim::ReadTouchstoneFile("/nonexistent/x.s1p", d, error));
    EXPECT_EQ(error, "/nonexistent/x.s1p: cannot be opened");
    EXPECT_FALSE(sim::ReadTouchstoneFile("x.txt", d, error));
    EXPECT_NE(error.find("ends in .s1p or .s2p"), std::string::npos);
}

// ---- The file on the simulator's ports ----

TEST(TouchstoneBench, OutsideTheFileTheOutputPortIsOpenAndNothingArrives) {
    const TouchstoneData two =
        Parsed("# MHz RI\n10 0.1 0 0.5 0 0.5 0 0 0\n20 0.1 0 0.5 0 0.5 0 0 0\n", 2);
    const sim::PortSignals in = sim::TouchstoneSignals(two, 15);
    ExpectNear(in.gamma, Cx(0.1, 0));
    // Half the voltage: 6 dB below what the calibrated through path brings.
    EXPECT_NEAR(in.inputDbm, sim::InputPowerDbm(SimBench::ThroughCable, 15) - 6.0206, 1e-3);
    // The generator's tuning step past the last frequency is still inside.
    ExpectNear(sim::TouchstoneSignals(two, 20 + 3e-8).gamma, Cx(0.1, 0));
    ExpectNear(sim::TouchstoneSignals(two, 10 - 3e-8).gamma, Cx(0.1, 0));
    const sim::PortSignals out = sim::TouchstoneSignals(two, 25);
    EXPECT_GT(std::abs(out.gamma), 0.99);
    EXPECT_LT(out.inputDbm, -150);
    // A one-port sends nothing to the Input Port.
    EXPECT_LT(sim::TouchstoneSignals(Parsed("# MHz\n10 0.1 0\n20 0.1 0\n"), 15).inputDbm, -150);
}

TEST(TouchstoneBench, ALoadThatReflectsMoreThanItGetsIsUsedWithANotice) {
    const TouchstoneData d = Parsed("# MHz\r\n1 0.5 0\r\n30 100 0\r60 0.5 0\n");
    ASSERT_EQ(d.points.size(), 3u);
    EXPECT_EQ(sim::TouchstoneRangeNotice("f.s1p", d),
              "f.s1p line 3: |S11| = 100 is above 1, more than a passive load can reflect; it is "
              "used as written.");
}

TEST(TouchstoneBench, TheRangeNoticeIsGivenOnlyForAPartialFile) {
    EXPECT_EQ(sim::TouchstoneRangeNotice("f.s1p", Parsed("# MHz\n1 0 0\n60 0 0\n")), "");
    EXPECT_EQ(sim::TouchstoneRangeNotice("f.s1p", Parsed("# MHz\n7 0 0\n7.3 0 0\n")),
              "f.s1p covers 7 MHz to 7.3 MHz; outside that range the simulated load is an "
              "open circuit.");
}

TEST(TouchstoneBench, DeviceStringSimPathReadsTheFileAndSaysItsRangeOnce) {
    const std::string path = testing::WriteTouchstone(
        "dipole.s1p", "# MHz S RI R 50", 1.0, testing::TsFormat::RI, {7.0, 7.3}, [](double) {
            return std::vector<Cx>{{0.2, 0.1}};
        });
    std::string error;
    EXPECT_TRUE(CheckDeviceString("sim:" + path, error)) << error;
    auto transport = MakeTransport("sim:" + path, error);
    ASSERT_NE(transport, nullptr) << error;
    auto& sim = dynamic_cast<SimTransport&>(*transport).Instrument();
    EXPECT_EQ(sim.Bench(), SimBench::TouchstoneFile);
    EXPECT_NE(transport->TakeNotice().find("covers 7 MHz to 7.3 MHz"), std::string::npos);
    EXPECT_EQ(transport->TakeNotice(), "");

    // After a calibration the bench operator puts the file back, not the antenna.
    testing::RecordingWindow window;
    SimBenchOperator op(window, sim);
    op.ShowMessage("Connect a 50ohm RF dummy load to Output Port.");
    EXPECT_EQ(sim.Bench(), SimBench::DummyLoad);
    op.ShowMessage("Zo Calebration finished.");
    EXPECT_EQ(sim.Bench(), SimBench::TouchstoneFile);
}

TEST(TouchstoneBench, BadSimPathsAreRefusedWithTheReadersMessage) {
    const std::string bad = testing::WriteTouchstone("bad.s2p", "# MHz S RI", 1.0,
                                                     testing::TsFormat::RI, {7.0}, [](double) {
                                                         return std::vector<Cx>{{0.2, 0.1}};
                                                     });
    for (const std::string& device :
         {"sim:" + bad, std::string("sim:/nonexistent/a.s1p"), std::string("sim:notes.txt")}) {
        std::string error;
        EXPECT_FALSE(CheckDeviceString(device, error)) << device;
        EXPECT_FALSE(error.empty());
        std::string again;
        EXPECT_EQ(MakeTransport(device, again), nullptr);
        EXPECT_EQ(again, error);
    }
    std::string error;
    CheckDeviceString("sim:" + bad, error);
    EXPECT_EQ(error, bad + " line 3: 3 columns where a 2-port file has 9.");
}

TEST(TouchstoneBench, KorvelSimBenchTakesAFileOrANameButNotATypo) {
    const std::string path = testing::WriteTouchstone(
        "wide.s1p", "# MHz S RI", 1.0, testing::TsFormat::RI, {1.0, 60.0}, [](double) {
            return std::vector<Cx>{{0.2, 0}};
        });
    SimCommandLine c;
    std::string error;
    ASSERT_TRUE(ParseSimCommandLine({"--listen", "unix:/tmp/x", "--bench", path}, c, error))
        << error;
    EXPECT_EQ(c.bench, SimBench::TouchstoneFile);
    ASSERT_NE(c.touchstone, nullptr);
    EXPECT_EQ(c.touchstone->points.size(), 2u);
    EXPECT_EQ(c.touchstoneNotice, "");  // the file covers the whole range

    EXPECT_FALSE(ParseSimCommandLine({"--listen", "unix:/tmp/x", "--bench", "antena"}, c, error));
    EXPECT_NE(error.find("Unknown bench \"antena\""), std::string::npos) << error;
    EXPECT_FALSE(
        ParseSimCommandLine({"--listen", "unix:/tmp/x", "--bench", "/no/such.s2p"}, c, error));
    EXPECT_NE(error.find("/no/such.s2p: cannot be opened"), std::string::npos) << error;
}

}  // namespace
}  // namespace korvel
