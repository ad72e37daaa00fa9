// korvel-sweep recorded on the simulated instrument and replayed from the
// file, as real processes: the same options give the same output byte for
// byte; other options diverge once and find no instrument; a damaged file
// is refused with its line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "child_process.h"
#include "record/traffic_reader.h"
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

// A file that stops taking lines part-way (as a full disk does; here the
// size limit of `ulimit -f`): said at once, the run ends 74, and the file
// ends at the last whole line.
TEST(SweepRecordReplay, ARecordingThatFailsPartWayIsSaidAndTheFileEndsAtAWholeLine) {
    TempFile file("full");
    const ChildResult run =
        RunChild("/bin/bash",
                 {"-c", "ulimit -f 20; exec \"$0\" \"$@\" >/dev/null", KORVEL_SWEEP_PATH,
                  "--device", "sim", "--disable", "1", "--disable", "2", "--record", file.Path()},
                 kBoundMs);
    ASSERT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.exitCode, 74) << run.err;
    EXPECT_EQ(Occurrences(run.err, "korvel-sweep: --record: The recording \"" + file.Path() +
                                       "\" could not be written; it ends here."),
              1u)
        << run.err;
    const std::string text = file.Read();
    ASSERT_GT(text.size(), 10000u);
    EXPECT_EQ(text.back(), '\n');
    record::Recording whole;
    std::string error;
    EXPECT_TRUE(record::LoadRecording(file.Path(), whole, error)) << error;
}

// --record replaces the file it names, but never one the run reads or
// writes besides, under any name; and a run refused for its device makes no
// recording.
TEST(SweepRecordReplay, TheRecordingNeverTakesTheRunsOwnFiles) {
    TempFile replay("own-replay");
    TempFile dir("own");
    std::filesystem::create_directory(dir.Path());
    const std::string bench = dir.Path() + "/bench.s1p";
    const std::string output = dir.Path() + "/output.csv";
    const std::string fresh = dir.Path() + "/fresh.jsonl";
    const std::string name = std::filesystem::path(dir.Path()).filename().string();
    ASSERT_EQ(
        RunChild(KORVEL_SWEEP_PATH, Sweep("sim", {"--record", replay.Path()}), kBoundMs).exitCode,
        0);
    std::ofstream(bench) << "# MHz\n1 0.5 0\n60 0.5 0\n";
    std::filesystem::create_symlink(bench, dir.Path() + "/link.jsonl");
    std::ofstream(output) << "keep me\n";
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    struct Case {
        std::vector<std::string> args;
        std::string untouched;
        std::string says;
    };
    const Case cases[] = {
        {Sweep("replay:" + replay.Path(), {"--record", replay.Path()}), replay.Path(),
         "is the replay file"},
        {Sweep("sim:" + bench, {"--record", dir.Path() + "/./link.jsonl"}), bench,
         "is the Touchstone file"},
        {Sweep("sim", {"--output", output, "--record", dir.Path() + "/../" + name + "/output.csv"}),
         output, "is the --output file"},
        {Sweep("sim:" + dir.Path() + "/missing.s1p", {"--record", fresh}), fresh, "--device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        const std::string before = read(c.untouched);
        const ChildResult run = RunChild(KORVEL_SWEEP_PATH, c.args, kBoundMs);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, 64) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(read(c.untouched), before);
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
    std::filesystem::remove_all(dir.Path());
}

}  // namespace
}  // namespace korvel
