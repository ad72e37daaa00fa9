// The three programs started with bad arguments: each must refuse them with
// exit code 64 and a message naming the program and the problem, within a
// few seconds, without crashing (a program that takes bad arguments for good
// ones would start serving or open its window, and is killed at the bound).
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_process.h"

namespace korvel::testing {
namespace {

constexpr int kExitUsage = 64;
constexpr int kBoundMs = 8000;
// Refusing the largest file takes 0.4 s; the bound only tells a hang from a
// refusal, and the sanitizer builds read the 62 MB files twenty times slower.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kFileBoundMs = 60000;
#else
constexpr int kFileBoundMs = kBoundMs;
#endif

std::string Shown(const std::vector<std::string>& args) {
    std::string s;
    for (const std::string& a : args) {
        s += (s.empty() ? "" : " ") + (a.size() > 24 ? a.substr(0, 24) + "..." : a);
    }
    return "[" + s + "]";
}

// Runs the program and checks the refusal; `phrase` must appear in stderr.
void ExpectRefused(const std::string& program, const char* name,
                   const std::vector<std::string>& args, const std::string& phrase = "") {
    SCOPED_TRACE(std::string(name) + " " + Shown(args));
    const ChildResult r = RunChild(program, args, kBoundMs, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut) << "still running: the arguments were taken for good ones";
    EXPECT_EQ(r.signal, 0) << "ended by signal " << r.signal;
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, kExitUsage) << r.err;
    EXPECT_EQ(r.err.rfind(std::string(name) + ": ", 0), 0u) << "message: " << r.err;
    if (!phrase.empty()) {
        EXPECT_NE(r.err.find(phrase), std::string::npos) << "message: " << r.err;
    }
}

// Each program's parser is fed every kind of bad argument by its own tests;
// here one or two per program show that the refusal reaches the user.
class KorvelSimArguments : public ::testing::Test {
  protected:
    void SetUp() override {
        socket_ = "unix:/tmp/korvel-badarg-" + std::to_string(::getpid()) + ".sock";
    }
    std::string socket_;
};

TEST_F(KorvelSimArguments, AMissingListenOrABadValueIsRefused) {
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {}, "--listen");
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--listen", socket_, "--seed", "abc"}, "--seed");
}

TEST(KorvelSimListen, APathThatIsNotASocketIsLeftAloneWithAMessage) {
    const std::string path = "/tmp/korvel-badarg-file-" + std::to_string(::getpid());
    std::ofstream(path) << "keep me";
    const ChildResult r = RunChild(KORVEL_SIM_PATH, {"--listen", "unix:" + path}, kBoundMs);
    EXPECT_TRUE(r.exited);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("not a socket"), std::string::npos) << r.err;
    std::ifstream kept(path);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep me");  // nothing replaced the user's file
    ::unlink(path.c_str());
}

#ifdef KORVEL_SWEEP_PATH
// Every file input refuses what is not a file it can read, by name and at
// once: no wait on a FIFO or a device, no memory for a huge file or line.
// The time each refusal takes and the children's worst peak memory are
// printed (and kept as test properties) for the performance notes.
TEST(FileInputs, WhatIsNotAReadableFileIsRefusedByNameAtOnce) {
    const std::string dir = "/tmp/korvel-badfile-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir + "/dir.jsonl");
    ASSERT_EQ(::mkfifo((dir + "/fifo.jsonl").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir + "/fifo.s1p").c_str(), 0600), 0);
    for (const auto& [name, size] :
         {std::pair{"/huge.s1p", 65u << 20}, {"/huge.jsonl", 129u << 20}}) {
        std::ofstream{dir + name};
        std::filesystem::resize_file(dir + name, size);  // sparse: nothing written
    }
    {
        // 62 MB in one line of columns, and one option line of 31 million words.
        std::ofstream columns(dir + "/columns.s1p");
        columns << "# MHz\n1";
        std::ofstream words(dir + "/words.s1p");
        words << "#";
        std::string zeros, esses;
        for (int i = 0; i < (1 << 19); ++i) {
            zeros += " 0";
            esses += " S";
        }
        for (int i = 0; i < 62; ++i) {
            columns << zeros;
            words << esses;
        }
        words << "\n1 0 0\n";
    }
    const std::string listen = "unix:" + dir + "/sim.sock";
    struct Case {
        const char* kind;
        std::string program;
        std::vector<std::string> args;
        const char* says;
    };
    const std::string sweep = KORVEL_SWEEP_PATH;
    const Case cases[] = {
        {"FIFO as a recording", sweep, {"--device", "replay:" + dir + "/fifo.jsonl"}, "a FIFO"},
        {"FIFO as a Touchstone file", sweep, {"--device", "sim:" + dir + "/fifo.s1p"}, "a FIFO"},
        {"FIFO as a bench",
         KORVEL_SIM_PATH,
         {"--listen", listen, "--bench", dir + "/fifo.s1p"},
         "a FIFO"},
        {"device as a recording", sweep, {"--device", "replay:/dev/zero"}, "a device"},
        {"directory as a recording",
         sweep,
         {"--device", "replay:" + dir + "/dir.jsonl"},
         "a directory, not a file"},
        {"recording over the cap",
         sweep,
         {"--device", "replay:" + dir + "/huge.jsonl"},
         "larger than 128 MiB"},
        {"Touchstone file over the cap",
         sweep,
         {"--device", "sim:" + dir + "/huge.s1p"},
         "larger than 64 MiB"},
        {"Touchstone line of 32 million columns",
         sweep,
         {"--device", "sim:" + dir + "/columns.s1p"},
         "line 2: more than 16 fields"},
        {"Touchstone option line of 31 million words",
         sweep,
         {"--device", "sim:" + dir + "/words.s1p"},
         "line 1: more than 16 fields"},
    };
    long worstRssKb = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const auto start = std::chrono::steady_clock::now();
        const ChildResult r = RunChild(c.program, c.args, kFileBoundMs);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        EXPECT_FALSE(r.timedOut) << "still waiting on the file";
        EXPECT_EQ(r.exitCode, kExitUsage) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        worstRssKb = std::max(worstRssKb, r.peakRssKb);
        std::printf("refused %s in %lld ms, peak RSS %ld KiB\n", c.kind, static_cast<long long>(ms),
                    r.peakRssKb);
    }
    ::testing::Test::RecordProperty("worst_peak_rss_kib", static_cast<int>(worstRssKb));
    // A small multiple of the largest file read, not of what it holds (68 MB here).
    // ThreadSanitizer's shadow memory makes a process five times larger (332 MB).
#if defined(__SANITIZE_THREAD__)
    EXPECT_LT(worstRssKb, 1024 * 1024);
#else
    EXPECT_LT(worstRssKb, 256 * 1024);
#endif
    std::filesystem::remove_all(dir);
}
#endif

#ifdef KORVEL_PATH
TEST(KorvelArguments, BadArgumentsAreRefusedBeforeTheWindowOpens) {
    ExpectRefused(KORVEL_PATH, "korvel", {"--bogus"}, "--bogus");
    ExpectRefused(KORVEL_PATH, "korvel", {"--device", "tcp:localhost:99999"}, "--device");
    ExpectRefused(
        KORVEL_PATH, "korvel",
        {"--device", "replay:/tmp/korvel-own.jsonl", "--record", "/tmp/./korvel-own.jsonl"},
        "is the replay file");
}
#endif

#ifdef KORVEL_SWEEP_PATH
TEST(KorvelSweepArguments, BadArgumentsAreRefused) {
    ExpectRefused(KORVEL_SWEEP_PATH, "korvel-sweep", {"--smith", "50001"}, "--smith");
    ExpectRefused(KORVEL_SWEEP_PATH, "korvel-sweep", {"--bogus"}, "--bogus");
}
#endif

}  // namespace
}  // namespace korvel::testing
