#include "command_line.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(CommandLine, DefaultsToThePlatformInstrument) {
    const auto c = ParseCommandLine({});
    EXPECT_EQ(c.device, "");
    EXPECT_FALSE(c.enableCalibration);
    EXPECT_FALSE(c.help);
    EXPECT_TRUE(c.error.empty());
}

TEST(CommandLine, DeviceChoices) {
    EXPECT_EQ(ParseCommandLine({"--simulate"}).device, "sim");
    EXPECT_EQ(ParseCommandLine({"--device", "sim"}).device, "sim");
    EXPECT_EQ(ParseCommandLine({"--device", "unix:/tmp/kdx.sock"}).device, "unix:/tmp/kdx.sock");
    EXPECT_EQ(ParseCommandLine({"--device=tcp:127.0.0.1:7720"}).device, "tcp:127.0.0.1:7720");
    EXPECT_TRUE(ParseCommandLine({"--simulate", "--device", "sim"}).error.empty());
    const auto both = ParseCommandLine({"--enable-calibration", "--simulate"});
    EXPECT_TRUE(both.enableCalibration);
    EXPECT_EQ(both.device, "sim");
    EXPECT_TRUE(ParseCommandLine({"-h"}).help);
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(CommandLine, BadArgumentsAreRefusedWithAReason) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--device"},
             {"--device", "usb"},
             {"--device", "unix:"},
             {"--device", "tcp:host"},
             {"--device", "tcp::7720"},
             {"--device", "tcp:host:"},
             {"--simulate", "--device", "unix:/x"},
             {"--frobnicate"},
             {"extra"},
         }) {
        EXPECT_FALSE(ParseCommandLine(args).error.empty()) << args.back();
    }
    EXPECT_NE(ParseCommandLine({"--bogus"}).error.find("--bogus"), std::string::npos);
}

TEST(CommandLine, UsageListsEveryOption) {
    const std::string usage = UsageText();
    for (const char* option : {"--simulate", "--device sim", "unix:PATH", "tcp:HOST:PORT",
                               "--enable-calibration", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace korvel
