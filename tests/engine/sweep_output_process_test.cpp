// korvel-sweep's results as a real process: --output writes the file whole
// and nothing on standard output, or fails with exit 74 and a message;
// --summary agrees with the points printed beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
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
std::vector<std::string> Sweep(std::vector<std::string> more) {
    std::vector<std::string> args{"--device", "sim", "--disable", "1", "--disable", "2"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::string Fixed3(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}

TEST(SweepOutput, CsvFileWithSummaryAndNothingOnStandardOutput) {
    TempFile file("output");
    file.Write("an older result");
    const ChildResult run =
        RunChild(KORVEL_SWEEP_PATH, Sweep({"--summary", "--output", file.Path()}), kBoundMs);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    // The lowest VSWR of the rows, found here, is the one the summary names.
    std::istringstream in(file.Read());
    std::string line, summary;
    double minVswr = 1e9, minFreq = 0;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.rfind("# summary range ", 0) == 0)
            summary = line;
        if (line.empty() || line[0] == '#' || line.rfind("range,", 0) == 0)
            continue;
        ++rows;
        std::istringstream fields(line);
        std::string range, freq, vswr;
        std::getline(fields, range, ',');
        std::getline(fields, freq, ',');
        std::getline(fields, vswr, ',');
        ASSERT_EQ(range, "3");
        ASSERT_NE(vswr, "") << line;  // one whole pass: every point measured
        if (std::strtod(vswr.c_str(), nullptr) < minVswr) {
            minVswr = std::strtod(vswr.c_str(), nullptr);
            minFreq = std::strtod(freq.c_str(), nullptr);
        }
    }
    EXPECT_EQ(rows, 200);
    EXPECT_EQ(summary.rfind("# summary range 3: min_vswr " + Fixed3(minVswr) + " at " +
                                Fixed3(minFreq) + " MHz, 2:1",
                            0),
              0u)
        << summary;
}

TEST(SweepOutput, JsonSummaryMatchesItsPoints) {
    const ChildResult run =
        RunChild(KORVEL_SWEEP_PATH, Sweep({"--summary", "--format", "json"}), kBoundMs);
    ASSERT_TRUE(run.exited);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_FALSE(doc["header"].contains("time"));  // reproducible: no wall-clock time
    EXPECT_EQ(doc["header"]["device"], "sim");
    const auto& range = doc["ranges"].at(0);
    const auto& summary = range["summary"];
    double minVswr = 1e9, minFreq = 0;
    for (const auto& p : range["points"]) {
        if (p["vswr"].get<double>() < minVswr) {
            minVswr = p["vswr"].get<double>();
            minFreq = p["freq_mhz"].get<double>();
        }
    }
    EXPECT_EQ(summary["min_vswr"].get<double>(), minVswr);
    EXPECT_EQ(summary["min_freq_mhz"].get<double>(), minFreq);
    for (const char* edge : {"bw2_low_mhz", "bw2_high_mhz"}) {
        ASSERT_TRUE(summary.contains(edge));
        if (!summary[edge].is_null()) {
            EXPECT_GE(summary[edge].get<double>(), range["start_mhz"].get<double>());
            EXPECT_LE(summary[edge].get<double>(), range["stop_mhz"].get<double>());
        }
    }
}

TEST(SweepOutput, AFileThatCannotBeWrittenIsExit74WithAMessage) {
    TempFile missing("missing");
    const std::string path = missing.Path() + "/result.csv";
    const ChildResult run = RunChild(KORVEL_SWEEP_PATH, Sweep({"--output", path}), kBoundMs);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 74);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("korvel-sweep: --output: Cannot write \"" + path + "\": ", 0), 0u)
        << run.err;
}

}  // namespace
}  // namespace korvel
