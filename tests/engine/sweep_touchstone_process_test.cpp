// korvel-sweep --format s1p as a real process: the Touchstone file it writes
// of a simulated bench reads back as that bench; bad requests write nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "../record/temp_file.h"
#include "child_process.h"
#include "sim/touchstone.h"
#include "touchstone_circuits.h"

namespace korvel::testing {
namespace {

constexpr int kBoundMs = 60000;

// A short vertical: 36 ohm, resonant at 14.2 MHz.
Cx Antenna(double f) {
    const double l = 1.6e-6;
    return SeriesRlc(f, 36, l, 1 / (std::pow(kTwoPi * 14.2e6, 2) * l));
}

ChildResult Sweep(const std::vector<std::string>& more) {
    std::vector<std::string> args{"--disable", "1", "--disable", "3"};
    args.insert(args.end(), more.begin(), more.end());
    return RunChild(KORVEL_SWEEP_PATH, args, kBoundMs);
}

TEST(SweepTouchstone, TheFileReadsBackAsTheBench) {
    const std::string bench =
        WriteTouchstone("s1p_bench_" + std::to_string(getpid()) + ".s1p", "# MHz S RI R 50", 1.0,
                        TsFormat::RI, FrequencyGrid(10, 20, 0.01),
                        [](double f) { return std::vector<Cx>{ReflectionOf(Antenna(f), 50)}; });
    const std::string out = ::testing::TempDir() + "s1p_out_" + std::to_string(getpid()) + ".s1p";
    const ChildResult run = Sweep({"--device", "sim:" + bench, "--range2", "11:17.5", "--format",
                                   "s1p", "--range", "2", "--output", out});
    ASSERT_TRUE(run.exited);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    sim::TouchstoneData back;
    std::string error;
    ASSERT_TRUE(sim::ReadTouchstoneFile(out, back, error)) << error;
    ASSERT_GE(back.freqMHz.size(), 196u);  // a point or two may be left unsettled
    int within = 0, signs = 0, signRight = 0;
    for (std::size_t i = 0; i < back.freqMHz.size(); ++i) {
        const Cx want = ImpedanceOf(ReflectionOf(Antenna(back.freqMHz[i]), 50));
        const Cx got = ImpedanceOf(back.points[i].s11);
        within += std::abs(got - want) <= 0.03 * std::abs(want);
        if (std::abs(want.imag()) > 0.1 * std::abs(want)) {
            ++signs;
            signRight += (got.imag() > 0) == (want.imag() > 0);
        }
    }
    EXPECT_GE(within, 0.98 * back.freqMHz.size());
    EXPECT_GE(signRight, 0.95 * signs);
    // scikit-rf, where the machine has it, reads the file as well.
    const ChildResult skrf =
        RunChild("/usr/bin/python3",
                 {"-c", "import skrf,sys; print(len(skrf.Network(sys.argv[1]).f))", out}, kBoundMs);
    if (skrf.exited && skrf.exitCode == 0) {
        EXPECT_EQ(skrf.out, std::to_string(back.freqMHz.size()) + "\n");
    }
}

TEST(SweepTouchstone, BadRequestsWriteNothing) {
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    TempFile kept("kept");
    kept.Write("an older result");
    const std::string unwritable = kept.Path() + "-missing/x.s1p";
    const Row rows[] = {
        {{"--format", "s1p", "--output", kept.Path()},
         64,
         "korvel-sweep: --format s1p: needs --range 1, 2 or 3 (one range per file)\n"},
        {{"--format", "s1p", "--range", "1", "--output", kept.Path()},
         64,
         "korvel-sweep: --range 1: that range is disabled\n"},
        {{"--format", "s1p", "--range", "2", "--output", unwritable},
         74,
         "korvel-sweep: --output: Cannot write \"" + unwritable + "\": "},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"--device", "sim"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const ChildResult run = Sweep(args);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind(row.message, 0), 0u) << run.err;
        EXPECT_EQ(kept.Read(), "an older result");
    }
}

}  // namespace
}  // namespace korvel::testing
