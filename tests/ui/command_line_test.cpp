#include "command_line.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(CommandLine, DefaultsToThePlatformInstrument) {
    const auto c = ParseCommandLine({});
    EXPECT_EQ(c.device.text, "");
    EXPECT_FALSE(c.enableCalibration);
    EXPECT_FALSE(c.help);
    EXPECT_TRUE(c.error.empty());
}

TEST(CommandLine, DeviceChoices) {
    EXPECT_EQ(ParseCommandLine({"--simulate"}).device.text, "sim");
    EXPECT_EQ(ParseCommandLine({"--device", "sim"}).device.text, "sim");
    EXPECT_EQ(ParseCommandLine({"--device", "unix:/tmp/kdx.sock"}).device.text,
              "unix:/tmp/kdx.sock");
    EXPECT_EQ(ParseCommandLine({"--device=tcp:127.0.0.1:7720"}).device.text, "tcp:127.0.0.1:7720");
    EXPECT_TRUE(ParseCommandLine({"--simulate", "--device", "sim"}).error.empty());
    const auto both = ParseCommandLine({"--enable-calibration", "--simulate"});
    EXPECT_TRUE(both.enableCalibration);
    EXPECT_EQ(both.device.text, "sim");
    EXPECT_TRUE(ParseCommandLine({"-h"}).help);
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(CommandLine, RecordingAndReplay) {
    // The recording itself is read when the window starts, which shows what
    // is wrong with it; only a missing file name is refused here.
    const auto replay = ParseCommandLine({"--device", "replay:/no/such/recording.jsonl"});
    EXPECT_TRUE(replay.error.empty()) << replay.error;
    EXPECT_EQ(replay.device.text, "replay:/no/such/recording.jsonl");
    EXPECT_NE(ParseCommandLine({"--device", "replay:"}).error.find("replay:FILE"),
              std::string::npos);
    const auto record = ParseCommandLine({"--simulate", "--record", "traffic.jsonl"});
    EXPECT_TRUE(record.error.empty());
    EXPECT_EQ(record.recordPath, "traffic.jsonl");
    EXPECT_EQ(ParseCommandLine({}).recordPath, "");
    EXPECT_NE(ParseCommandLine({"--record", ""}).error.find("--record"), std::string::npos);
}

TEST(CommandLine, BadArgumentsAreRefusedWithAReason) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--device"},
             {"--device", "usb:1209"},
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

TEST(CommandLine, TheMessageNamesWhatWasRefused) {
    const std::string longText(10000, 'x');
    const std::string digits(10000, '9');
    // The argument that is not an option of ours is named.
    for (const std::string& stray :
         {std::string("--bogus"), std::string("-5"), std::string("+5"), std::string("nan"),
          std::string("１２３"), longText, std::string("-reverse")}) {
        const auto c = ParseCommandLine({stray});
        EXPECT_NE(c.error.find(stray), std::string::npos) << c.error.substr(0, 80);
    }
    EXPECT_NE(ParseCommandLine({"--simulate", "extra"}).error.find("extra"), std::string::npos);
    // A missing or unusable instrument is named by its option.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--device"},
             {"--device", ""},
             {"--device="},
             {"--device", "tcp:localhost:99999"},
             {"--device", "tcp:localhost:-1"},
             {"--device", "tcp:localhost:abc"},
             {"--device", "unix:/tmp/" + longText},
             {"--device=" + digits},
             {"--device", "sim", "--device", "unix:/tmp/x"},
             {"--device", "unix:/x", "--simulate"},
             {"--simulate=no"},
         }) {
        const auto c = ParseCommandLine(args);
        const bool simulate = args.back().rfind("--simulate", 0) == 0;
        EXPECT_NE(c.error.find(simulate ? "simulate" : "--device"), std::string::npos)
            << c.error.substr(0, 80);
    }
    EXPECT_NE(ParseCommandLine({"--device", "usb:"}).error.find("\"usb:\""), std::string::npos);
}

TEST(CommandLine, RepeatedSwitchesAndAgreeingDevicesAreFine) {
    const auto c = ParseCommandLine(
        {"--device=sim", "--simulate", "--enable-calibration", "--enable-calibration", "-h"});
    EXPECT_TRUE(c.error.empty()) << c.error;
    EXPECT_EQ(c.device.text, "sim");
    EXPECT_TRUE(c.enableCalibration);
    EXPECT_TRUE(c.help);
    // Help does not hide a mistake beside it.
    EXPECT_FALSE(ParseCommandLine({"--help", "--bogus"}).error.empty());
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
