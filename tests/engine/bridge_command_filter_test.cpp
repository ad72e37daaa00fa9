// The bridge's check of what clients send: only whole instrument commands in
// well-formed frames come out, and a bad frame is refused from its header on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/command_filter.h"

namespace korvel::bridge {
namespace {

std::vector<uint8_t> Framed(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame{static_cast<uint8_t>(payload.size() & 0xFF),
                               static_cast<uint8_t>(payload.size() >> 8)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

const std::vector<uint8_t> kTune{0x7A, 0xA1, 1, 2, 3, 4, 1};
const std::vector<uint8_t> kRead{0x7A, 0xA2, 0xFF, 0x02};

std::vector<uint8_t> PageWrite(std::size_t length = 36) {
    std::vector<uint8_t> c(length, 0x55);
    c[0] = 0x7A;
    c[1] = 0xA4;
    return c;
}

void FeedAll(CommandFilter& filter, const std::vector<uint8_t>& bytes) {
    filter.Feed(bytes.data(), bytes.size());
}

TEST(BridgeCommandFilter, HandsOutEachCommandWholeEvenWhenItArrivesByteByByte) {
    CommandFilter filter;
    std::vector<uint8_t> stream = Framed(kTune);
    for (const auto& c : {kRead, PageWrite()}) {
        const auto f = Framed(c);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    std::vector<std::vector<uint8_t>> got;
    std::vector<uint8_t> command;
    std::string why;
    for (uint8_t b : stream) {
        filter.Feed(&b, 1);
        while (filter.Next(command, why) == CommandFilter::Verdict::Command) {
            got.push_back(command);
        }
    }
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], kTune);
    EXPECT_EQ(got[1], kRead);
    EXPECT_EQ(got[2], PageWrite());
    EXPECT_TRUE(IsCalibrationPageWrite(got[2]));
    EXPECT_FALSE(IsCalibrationPageWrite(got[0]));
    EXPECT_EQ(filter.Unfinished(), 0u);
}

TEST(BridgeCommandFilter, RefusesAnOverlongFrameFromItsHeaderAlone) {
    for (const std::vector<uint8_t>& header :
         {std::vector<uint8_t>{37, 0}, std::vector<uint8_t>{0xFF, 0xFF},
          std::vector<uint8_t>{0, 1}}) {
        CommandFilter filter;
        FeedAll(filter, header);
        std::vector<uint8_t> command;
        std::string why;
        EXPECT_EQ(filter.Next(command, why), CommandFilter::Verdict::Refused);
        EXPECT_NE(why.find("no command is longer than 36"), std::string::npos) << why;
    }
}

TEST(BridgeCommandFilter, RefusesFramesThatHoldNoCommand) {
    const std::vector<std::vector<uint8_t>> payloads = {
        {},                              // empty frame
        {0x7A},                          // lead alone
        {0x7A, 0xA1, 1, 2, 3, 4},        // tune one byte short
        {0x7A, 0xA1, 1, 2, 3, 4, 1, 0},  // tune one byte long
        {0x7A, 0xA2, 0xFF},              // read one byte short
        {0x7A, 0xA2, 0, 0, 0},           // read one byte long
        {0x7B, 0xA2, 0, 0},              // wrong lead
        {0x7A, 0xA3, 0, 0},              // unknown command
        std::vector<uint8_t>(36, 0x7A),  // 36 bytes, not a page write
        PageWrite(35),                   // page write one byte short
        PageWrite(37),                   // page write one byte long
    };
    for (const auto& payload : payloads) {
        CommandFilter filter;
        FeedAll(filter, Framed(payload));
        std::vector<uint8_t> command;
        std::string why;
        EXPECT_EQ(filter.Next(command, why), CommandFilter::Verdict::Refused)
            << payload.size() << " bytes";
        EXPECT_FALSE(why.empty());
    }
}

TEST(BridgeCommandFilter, LimitsCommandsSentAheadOfTheirReplies) {
    CommandFilter filter;
    const auto frame = Framed(kRead);
    for (std::size_t i = 0; i < kMaxCommandsAhead; ++i) {
        FeedAll(filter, frame);
    }
    EXPECT_FALSE(filter.Refused());
    std::vector<uint8_t> command;
    std::string why;
    ASSERT_EQ(filter.Next(command, why), CommandFilter::Verdict::Command);
    FeedAll(filter, frame);  // one taken, one more fits
    EXPECT_FALSE(filter.Refused());
    FeedAll(filter, frame);
    EXPECT_TRUE(filter.Refused());
}

}  // namespace
}  // namespace korvel::bridge
