// The three programs started with bad arguments: each must refuse them with
// exit code 64 and a message naming the program and the problem, within a
// few seconds, without crashing (a program that takes bad arguments for good
// ones would start serving or open its window, and is killed at the bound).
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "child_process.h"

namespace korvel::testing {
namespace {

constexpr int kExitUsage = 64;
constexpr int kBoundMs = 8000;

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

#ifdef KORVEL_PATH
TEST(KorvelArguments, BadArgumentsAreRefusedBeforeTheWindowOpens) {
    ExpectRefused(KORVEL_PATH, "korvel", {"--bogus"}, "--bogus");
    ExpectRefused(KORVEL_PATH, "korvel", {"--device", "tcp:localhost:99999"}, "--device");
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
