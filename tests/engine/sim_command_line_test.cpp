#include <gtest/gtest.h>

#include "sim/sim_command_line.h"

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

}  // namespace
}  // namespace korvel
