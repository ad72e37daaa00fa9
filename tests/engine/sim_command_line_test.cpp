#include <gtest/gtest.h>

#include "sim_command_line.h"

namespace korvel {
namespace {

TEST(SimCommandLineTest, ParsesEveryOption) {
    SimCommandLine c;
    std::string error;
    ASSERT_TRUE(
        ParseSimCommandLine({"--listen", "tcp:127.0.0.1:5025", "--seed", "42", "--bench", "load",
                             "--fault", "timeout,after=5", "--fault", "zero-ref", "--unplug-after",
                             "10", "--replug-after", "-1", "--noise", "0"},
                            c, error))
        << error;
    EXPECT_EQ(c.listen.port, 5025);
    EXPECT_EQ(c.seed, 42u);
    EXPECT_EQ(c.bench, SimBench::DummyLoad);
    ASSERT_EQ(c.faults.size(), 2u);
    EXPECT_EQ(c.faults[0].after, 5u);
    EXPECT_EQ(c.server.unplugAfterReplies, 10u);
    EXPECT_EQ(c.server.replugAfterMs, -1);
    EXPECT_EQ(c.noiseScale, 0.0);
}

TEST(SimCommandLineTest, RejectsMissingOrBadArguments) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--seed", "1"},
        {"--listen"},
        {"--listen", "udp:1"},
        {"--listen", "unix:/tmp/x", "--bench", "moon"},
        {"--listen", "unix:/tmp/x", "--seed", "-1"},
        {"--listen", "unix:/tmp/x", "--noise", "nan"},
        {"--listen", "unix:/tmp/x", "--unplug-after", "0"},
        {"--listen", "unix:/tmp/x", "--frobnicate", "1"},
        {"--listen", "unix:/tmp/x", "stray"},
    };
    for (const auto& args : bad) {
        SimCommandLine c;
        std::string error;
        EXPECT_FALSE(ParseSimCommandLine(args, c, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
    SimCommandLine help;
    std::string error;
    EXPECT_TRUE(ParseSimCommandLine({"--help"}, help, error));
    EXPECT_TRUE(help.help);
}

// Refused, with a message that contains `phrase` (the option's name).
void ExpectRefused(const std::vector<std::string>& args, const std::string& phrase) {
    SimCommandLine c;
    std::string error;
    EXPECT_FALSE(ParseSimCommandLine(args, c, error)) << ::testing::PrintToString(args);
    EXPECT_NE(error.find(phrase), std::string::npos) << error.substr(0, 80);
}

std::vector<std::string> With(const std::string& option, const std::string& value) {
    return {"--listen", "unix:/tmp/korvel-sim-arguments.sock", option, value};
}

TEST(SimCommandLineTest, MissingOrMalformedListenIsNamed) {
    ExpectRefused({}, "--listen");
    ExpectRefused({"--seed", "3"}, "--listen");
    ExpectRefused({"--listen"}, "--listen");
    for (const std::string& bad :
         {std::string("nowhere"), std::string("unix:"), std::string("tcp:localhost"),
          std::string("tcp:localhost:99999"), std::string("tcp:localhost:-1"),
          std::string("tcp::5"), std::string("tcp:localhost:abc"),
          "unix:/tmp/" + std::string(10000, 'x'), std::string("ünix:/tmp/x")}) {
        ExpectRefused({"--listen", bad}, "--listen");
    }
}

TEST(SimCommandLineTest, BadNumbersAndNamesAreNamed) {
    const std::string digits(10000, '9');
    const std::vector<std::string> numbers = {"",       "   ", "-5",  "abc",  "7x",     "1e308",
                                              "-1e308", "nan", "inf", "0x1G", "１２３", "14Ω"};
    std::vector<std::string> seeds = numbers;
    seeds.insert(seeds.end(), {"+5", "0x10", "4294967296", digits});
    for (const std::string& v : seeds)
        ExpectRefused(With("--seed", v), "--seed");
    std::vector<std::string> noises = numbers;
    noises.insert(noises.end(), {"1001", digits});
    for (const std::string& v : noises)
        ExpectRefused(With("--noise", v), "--noise");
    for (const std::string& v :
         {std::string(""), std::string("xyz"), std::string("Antenna"), std::string(10000, 'x')})
        ExpectRefused(With("--bench", v), "--bench");
    for (const std::string& v :
         {std::string(""), std::string("melt"), std::string("length"), std::string("length=-1"),
          std::string("length=99999"), std::string("length=1e308"), std::string("late=nan"),
          std::string("timeout,after=-1"), std::string("timeout,count=0"),
          std::string("timeout,every=0"), std::string("timeout,sometimes=3"), "length=" + digits,
          std::string("tîmeout")})
        ExpectRefused(With("--fault", v), "--fault");
    for (const std::string& v :
         {std::string("0"), std::string("-5"), std::string("abc"), std::string("1e308"), digits})
        ExpectRefused(With("--unplug-after", v), "--unplug-after");
    for (const std::string& v : {std::string("-2"), std::string("abc"), std::string("1e308"),
                                 std::string("86400001"), digits})
        ExpectRefused(With("--replug-after", v), "--replug-after");
}

TEST(SimCommandLineTest, UnknownAndDanglingArgumentsAreNamed) {
    ExpectRefused(With("--bogus", "1"), "--bogus");
    ExpectRefused(With("--séed", "1"), "--séed");
    ExpectRefused({"--listen", "unix:/tmp/x", "--seed"}, "--seed");
    ExpectRefused({"--listen", "unix:/tmp/x", std::string(10000, 'x')}, std::string(10000, 'x'));
    ExpectRefused({"--listen", "unix:/tmp/x", "-5"}, "-5");
    ExpectRefused({"--help", "--bogus"}, "--bogus");  // help does not hide a mistake
    // "/name" is no option on Windows either.
    ExpectRefused({"/listen", "tcp:127.0.0.1:5025"}, "/listen");
}

TEST(SimCommandLineTest, RepeatedOptionsAreReadInOrder) {
    SimCommandLine c;
    std::string error;
    ASSERT_TRUE(ParseSimCommandLine({"--listen=unix:/tmp/a", "--fault", "timeout", "--seed", "5",
                                     "--listen", "tcp:127.0.0.1:7", "--fault=zero-ref", "--seed=6"},
                                    c, error))
        << error;
    EXPECT_EQ(c.listen.kind, StreamEndpoint::Kind::Tcp);
    EXPECT_EQ(c.seed, 6u);
    ASSERT_EQ(c.faults.size(), 2u);
    EXPECT_EQ(c.faults[0].kind, SimFaultKind::NoReply);
    EXPECT_EQ(c.faults[1].kind, SimFaultKind::ZeroReference);
    // Defaults of what was not given.
    EXPECT_EQ(c.noiseScale, 1.0);
    EXPECT_EQ(c.bench, SimBench::Antenna);
    EXPECT_EQ(c.server.replugAfterMs, SimServerOptions{}.replugAfterMs);
}

TEST(SimCommandLineTest, HelpListsEveryOption) {
    const std::string usage = SimUsage();
    for (const char* option : {"--listen", "--seed", "--noise", "--bench", "--fault FAULT",
                               "--unplug-after", "--replug-after", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace korvel
