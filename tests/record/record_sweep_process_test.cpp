// korvel-sweep recorded on the simulated instrument and replayed from the
// file, as real processes: the same options give the same output byte for
// byte; other options diverge once and find no instrument; a damaged file
// is refused with its line.
#include <gtest/gtest.h>

#include "child_process.h"
#include "temp_file.h"

namespace korvel {
namespace {

using testing::ChildResult;
using testing::RunChild;
using testing::TempFile;

constexpr int kBoundMs = 60000;

// One range only keeps a pass short.
std::vector<std::string> Sweep(const std::string& device, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--device", device, "--disable", "1", "--disable", "2"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(SweepRecordReplay, TheReplayPrintsTheRecordedRunByteForByte) {
    for (const char* format : {"csv", "json"}) {
        SCOPED_TRACE(format);
        TempFile file("sweep");
        const ChildResult recorded =
            RunChild(KORVEL_SWEEP_PATH, Sweep("sim", {"--format", format, "--record", file.Path()}),
                     kBoundMs);
        ASSERT_TRUE(recorded.exited && recorded.exitCode == 0) << recorded.err;
        ASSERT_FALSE(recorded.out.empty());
        ASSERT_NE(file.Read().find(R"("program":"korvel-sweep")"), std::string::npos);

        const ChildResult replayed = RunChild(
            KORVEL_SWEEP_PATH, Sweep("replay:" + file.Path(), {"--format", format}), kBoundMs);
        ASSERT_TRUE(replayed.exited) << replayed.err;
        EXPECT_EQ(replayed.exitCode, 0) << replayed.err;
        EXPECT_EQ(replayed.err.find("diverged"), std::string::npos) << replayed.err;
        EXPECT_EQ(replayed.out, recorded.out);
    }
}

TEST(SweepRecordReplay, OtherSettingsDivergeOnceAndThenFindNoInstrument) {
    TempFile file("other");
    const ChildResult recorded =
        RunChild(KORVEL_SWEEP_PATH, Sweep("sim", {"--record", file.Path()}), kBoundMs);
    ASSERT_TRUE(recorded.exited && recorded.exitCode == 0) << recorded.err;

    const ChildResult replayed = RunChild(
        KORVEL_SWEEP_PATH,
        // The time-out must outlast the worker's 500 ms pause before it opens
        // the instrument, on a slow (sanitizer) build too, and end the run
        // well before the rest of the pass (its pauses take about 8 s).
        Sweep("replay:" + file.Path(), {"--range3", "20.5:21.9", "--timeout", "2"}), kBoundMs);
    ASSERT_TRUE(replayed.exited);
    EXPECT_EQ(replayed.exitCode, 2) << replayed.err;
    EXPECT_EQ(replayed.out, "");
    EXPECT_EQ(Occurrences(replayed.err, "replay diverged at exchange "), 1u) << replayed.err;
    EXPECT_NE(replayed.err.find(": expected out 7aa1"), std::string::npos) << replayed.err;
    EXPECT_NE(replayed.err.find("the instrument link has been down"), std::string::npos);
}

TEST(SweepRecordReplay, ADamagedRecordingOrAnUnwritableOneIsAUsageError) {
    TempFile file("damaged");
    file.Write(R"({"format":"korvel-traffic","version":1,"program":"korvel-sweep",)"
               R"("programVersion":"1.0.0.1","device":"sim","start":"x"})"
               "\n"
               R"({"t":0,"op":"count","devices":1})"
               "\n"
               R"({"t":0,"op":"open","opened":tru)");
    const ChildResult damaged =
        RunChild(KORVEL_SWEEP_PATH, Sweep("replay:" + file.Path()), kBoundMs);
    ASSERT_TRUE(damaged.exited);
    EXPECT_EQ(damaged.exitCode, 64);
    EXPECT_NE(damaged.err.find("korvel-sweep: --device: recording \"" + file.Path() +
                               "\", line 3: cut short"),
              std::string::npos)
        << damaged.err;

    const ChildResult unwritable = RunChild(
        KORVEL_SWEEP_PATH, Sweep("sim", {"--record", file.Path() + "/not/a/dir"}), kBoundMs);
    ASSERT_TRUE(unwritable.exited);
    EXPECT_EQ(unwritable.exitCode, 64);
    EXPECT_NE(unwritable.err.find("korvel-sweep: --record: cannot write the recording"),
              std::string::npos)
        << unwritable.err;
}

}  // namespace
}  // namespace korvel
