// korvel-sweep's results as a real process: --output writes the file and
// nothing on standard output, or fails with exit 74 and a message; --summary
// agrees with the points printed beside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../record/temp_file.h"
#include "child_process.h"

namespace korvel {
namespace {

using testing::ChildResult;
using testing::RunChild;
using testing::TempFile;

constexpr int kBoundMs = 60000;

// One range only keeps a pass short.
ChildResult Sweep(std::vector<std::string> more) {
    std::vector<std::string> args{"--device", "sim", "--disable", "1", "--disable", "2"};
    args.insert(args.end(), more.begin(), more.end());
    return RunChild(KORVEL_SWEEP_PATH, args, kBoundMs);
}

TEST(SweepOutput, FileWithASummaryOfItsOwnRows) {
    TempFile file("output");
    file.Write("an older result");
    const ChildResult run = Sweep({"--summary", "--output", file.Path()});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    // The lowest VSWR of the rows, found here, is the one the summary names.
    std::istringstream in(file.Read());
    std::string line, summary;
    double minVswr = 1e9, minFreq = 0;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.rfind("# summary range ", 0) == 0)
            summary = line;
        if (line[0] != '3')
            continue;
        ++rows;
        double freq = 0, vswr = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "3,%lf,%lf,", &freq, &vswr), 2) << line;
        if (vswr < minVswr) {
            minVswr = vswr;
            minFreq = freq;
        }
    }
    EXPECT_EQ(rows, 200);
    char expected[128];
    std::snprintf(expected, sizeof expected, "# summary range 3: min_vswr %.3f at %.3f MHz, 2:1",
                  minVswr, minFreq);
    EXPECT_EQ(summary.rfind(expected, 0), 0u) << summary;
}

TEST(SweepOutput, AFileThatCannotBeWrittenIsExit74WithAMessage) {
    TempFile missing("missing");
    const std::string path = missing.Path() + "/result.json";
    const ChildResult run = Sweep({"--format", "json", "--output", path});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 74);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("korvel-sweep: --output: Cannot write \"" + path + "\": ", 0), 0u)
        << run.err;
}

}  // namespace
}  // namespace korvel
