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

const std::string kTenThousandDigits(10000, '9');
const std::string kLongText(10000, 'x');

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

// The texts a number option is fed with.
const std::vector<std::string> kBadNumbers = {
    "", "   ", "-5", "abc", "7x", "1e308", "-1e308", "nan", "inf", "0x1G", "１２３", "14Ω",
};

class KorvelSimArguments : public ::testing::Test {
  protected:
    void SetUp() override {
        socket_ = "unix:/tmp/korvel-badarg-" + std::to_string(::getpid()) + ".sock";
    }
    // A valid --listen plus the option under test.
    std::vector<std::string> With(const std::string& option, const std::string& value) {
        return {"--listen", socket_, option, value};
    }
    std::string socket_;
};

TEST_F(KorvelSimArguments, MissingOrMalformedListenIsRefused) {
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {}, "--listen");
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--seed", "3"}, "--listen");
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--listen"}, "needs a value");
    for (const std::string& bad :
         {std::string("nowhere"), std::string("unix:"), std::string("tcp:localhost"),
          std::string("tcp:localhost:99999"), std::string("tcp:localhost:-1"),
          std::string("tcp::5"), std::string("tcp:localhost:abc"), "unix:/tmp/" + kLongText,
          std::string("ünix:/tmp/x")}) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--listen", bad});
    }
}

TEST_F(KorvelSimArguments, BadNumbersAndNamesAreRefused) {
    std::vector<std::string> seeds = kBadNumbers;
    seeds.insert(seeds.end(), {"+5", "0x10", "4294967296", kTenThousandDigits});
    for (const std::string& v : seeds) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--seed", v), "--seed");
    }
    std::vector<std::string> noises = kBadNumbers;
    noises.insert(noises.end(), {"1001", kTenThousandDigits});
    for (const std::string& v : noises) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--noise", v), "--noise");
    }
    for (const std::string& v :
         {std::string(""), std::string("xyz"), std::string("Antenna"), kLongText}) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--bench", v), "bench");
    }
    for (const std::string& v :
         {std::string(""), std::string("melt"), std::string("length"), std::string("length=-1"),
          std::string("length=99999"), std::string("length=1e308"), std::string("late=nan"),
          std::string("timeout,after=-1"), std::string("timeout,count=0"),
          std::string("timeout,every=0"), std::string("timeout,sometimes=3"),
          "length=" + kTenThousandDigits, std::string("tîmeout")}) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--fault", v));
    }
    for (const std::string& v : {std::string("0"), std::string("-5"), std::string("abc"),
                                 std::string("1e308"), kTenThousandDigits}) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--unplug-after", v), "--unplug-after");
    }
    for (const std::string& v : {std::string("-2"), std::string("abc"), std::string("1e308"),
                                 std::string("86400001"), kTenThousandDigits}) {
        ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--replug-after", v), "--replug-after");
    }
}

TEST_F(KorvelSimArguments, UnknownAndDanglingOptionsAreRefused) {
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--bogus", "1"), "--bogus");
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", With("--séed", "1"));
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--listen", socket_, "--seed"}, "needs a value");
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--listen", socket_, kLongText});
    ExpectRefused(KORVEL_SIM_PATH, "korvel-sim", {"--listen", socket_, "-5"});
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
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"-5"},
        {"+5"},
        {"nan"},
        {"１２３"},
        {kLongText},
        {"--device"},
        {"--device", ""},
        {"--device", "usb"},
        {"--device", "unix:"},
        {"--device", "tcp:host"},
        {"--device", "tcp:localhost:99999"},
        {"--device", "tcp:localhost:-1"},
        {"--device", "tcp:localhost:abc"},
        {"--device", "unix:/tmp/" + kLongText},
        {"--device=" + kTenThousandDigits},
        {"--device", "sim", "--device", "unix:/tmp/x"},
        {"--simulate", "extra"},
    };
    for (const auto& args : cases) {
        ExpectRefused(KORVEL_PATH, "korvel", args);
    }
}
#endif

#ifdef KORVEL_SWEEP_PATH
TEST(KorvelSweepArguments, BadNumbersRangesAndNamesAreRefused) {
    const auto refused = [](std::vector<std::string> args) {
        ExpectRefused(KORVEL_SWEEP_PATH, "korvel-sweep", args);
    };
    std::vector<std::string> numbers = kBadNumbers;
    numbers.push_back(kTenThousandDigits);
    for (const std::string& v : numbers) {
        refused({"--smith", v});
        refused({"--cable", v});
        refused({"--passes", v});
        refused({"--timeout", v});
        refused({"--range1", v});
        refused({"--disable", v});
    }
    for (const char* v : {"999", "50001", "+5", "0x10", "4294967296"}) {
        refused({"--smith", v});
    }
    for (const char* v : {"1000.5", "1e-400x"}) {
        refused({"--cable", v});
    }
    for (const char* v : {"0", "0.5", "1e9"}) {
        refused({"--passes", v});
    }
    for (const char* v : {"5", "5:", ":5", "0:5", "5:61", "nan:5", "5:inf", "1e308:5", "5:7x",
                          "５:７", "5:6:7", "5;7"}) {
        refused({"--range2", v});
    }
    for (const char* v : {"0", "4", "1.5"}) {
        refused({"--disable", v});
    }
    for (const char* v : {"xml", "CSV", ""}) {
        refused({"--format", v});
    }
    // (An empty --device names the platform's own layer, like no --device.)
    for (const char* v : {"usb", "unix:", "tcp:localhost:99999", "tcp:host"}) {
        refused({"--device", v});
    }
    refused({"--bogus"});
    refused({kLongText});
    refused({"--passes"});
    refused({"１２３"});
}
#endif

}  // namespace
}  // namespace korvel::testing
