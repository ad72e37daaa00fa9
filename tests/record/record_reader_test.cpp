// The recording reader refuses damaged, truncated and foreign files with the
// line that is wrong, everywhere a device string is checked.
#include <gtest/gtest.h>

#include <sstream>

#include "device_from_string.h"
#include "record/traffic_reader.h"
#include "sweep_options.h"
#include "temp_file.h"

namespace korvel::record {
namespace {

using testing::TempFile;

const std::string kHeader = R"({"format":"korvel-traffic","version":1,"program":"korvel-sweep",)"
                            R"("programVersion":"1.0.0.1","device":"sim","start":"x"})";
const std::string kCount = R"({"t":0,"op":"count","devices":1})";

// The header, then `line`, each ended.
std::string After(const std::string& line) {
    return kHeader + "\n" + line + "\n";
}

std::string Refusal(const std::string& text) {
    std::istringstream in(text);
    Recording recording;
    std::string error;
    return ReadRecording(in, recording, error) ? "(accepted)" : error;
}

TEST(RecordingReader, RefusesWhatItCannotReplayNamingTheLine) {
    const std::string out = R"({"t":1,"op":"out","result":"ok","ms":0,"open":true,)";
    const std::string in = R"({"t":1,"op":"in","ms":0,"open":true,)";
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: empty file"},
        {"hello\n", "line 1: not a KORVEL recording"},
        {R"({"format":"touchstone","version":1})"
         "\n",
         "line 1: not a KORVEL recording"},
        {R"({"format":"korvel-traffic","version":2})"
         "\n",
         "line 1: format version 2 is not"},
        {R"({"format":"korvel-traffic","version":1,"program":"","programVersion":"",)"
         R"("start":""})"
         "\n",
         "line 1: no \"device\""},
        {After(kCount + "\n" + R"({"t":1,"op":"jump"})"), "line 3: unknown \"op\" \"jump\""},
        {After("[1,2]"), "line 2: not a JSON object"},
        {After(R"({"t":-1,"op":"close"})"), "line 2: \"t\" must be a whole number"},
        {After(R"({"t":1.5,"op":"close"})"), "line 2: \"t\" must be a whole number"},
        {After(R"({"t":1,"op":"count","devices":"1"})"), "line 2: \"devices\" must be a whole"},
        {After(R"({"t":1,"op":"open"})"), "line 2: \"opened\" must be true or false"},
        {After(out + R"("bytes":"7aa","count":1})"), "line 2: \"bytes\" must be pairs of hex"},
        {After(out + R"("bytes":"7azz","count":2})"), "line 2: \"bytes\" must be pairs of hex"},
        {After(out + R"("count":2})"), "line 2: no \"bytes\""},
        {After(out + R"("bytes":"7aa2","count":3})"), "line 2: \"count\" does not fit"},
        {After(in + R"("result":"ok","bytes":"7aa2","count":1})"),
         "line 2: \"count\" does not fit"},
        {After(in + R"("result":"timeout","bytes":"7aa2"})"), "line 2: a failed read carries no"},
        {After(in + R"("result":"lost"})"), "line 2: unknown \"result\" \"lost\""},
        {After(in + R"("result":"ok","count":0})"), "line 2: \"count\" must be a whole number"},
        {After(R"({"t":1,"op":"in","result":"error","ms":-4,"open":true})"), "line 2: \"ms\" must"},
        {After(R"({"t":1,"op":"in","result":"error","ms":0})"), "line 2: \"open\" must be true"},
        {After(kCount + "\n"), "line 3: not a JSON object"},
        // Cut off in the middle of a line, as a crash while writing leaves it.
        {After(kCount) + R"({"t":5,"op":"out","bytes":"7a)", "line 3: cut short"},
        {kHeader.substr(0, 30), "line 1: cut short"},
        {After(std::string(200000, ' ')), "line 2: longer than any line"},
        // Whatever follows the line's object is damage, a zero byte included.
        {After(kCount + std::string("\0 NOT JSON {{{", 14)), "line 2: damaged (a zero byte"},
        {After(kCount + " "), "line 2: damaged (something after the JSON object)"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Refusal(text).rfind(expected, 0), 0u) << text.substr(0, 200) << "\n"
                                                        << Refusal(text);
    }
}

TEST(RecordingReader, AcceptsAWholeLastLineWithoutItsEndAndWindowsLineEnds) {
    std::istringstream in(kHeader + "\r\n" + kCount + "\r\n" +
                          R"({"t":3,"op":"in","bytes":"01","result":"ok","count":9,)"
                          R"("ms":1,"open":true,"later":"ignored"})");
    Recording recording;
    std::string error;
    ASSERT_TRUE(ReadRecording(in, recording, error)) << error;
    EXPECT_EQ(recording.header.program, "korvel-sweep");
    ASSERT_EQ(recording.entries.size(), 2u);
    EXPECT_EQ(recording.entries[1].op, TrafficOp::Read);
    EXPECT_EQ(recording.entries[1].value, 9);  // an over-long reply, kept as counted
    EXPECT_EQ(recording.entries[1].bytes, std::vector<uint8_t>{1});
}

TEST(RecordingReader, DeviceStringsNameTheFileAndLine) {
    TempFile file("damaged");
    file.Write(After(kCount + "\n" + R"({"t":1,"op":"open","opened":1})"));
    const std::string where = "recording \"" + file.Path() + "\", line 3: ";
    std::string error;
    EXPECT_FALSE(CheckDeviceString("replay:" + file.Path(), error));
    EXPECT_EQ(error, where + "\"opened\" must be true or false");
    EXPECT_FALSE(MakeTransport("replay:" + file.Path(), error));
    EXPECT_EQ(error.rfind(where, 0), 0u);
    const auto parsed = sweep::ParseSweepOptions({"--device", "replay:" + file.Path()});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error.rfind("--device: " + where, 0), 0u) << parsed.error;

    EXPECT_FALSE(CheckDeviceString("replay:", error));
    EXPECT_NE(error.find("replay:FILE"), std::string::npos);
    EXPECT_FALSE(CheckDeviceString("replay:" + file.Path() + ".missing", error));
    EXPECT_EQ(error, "cannot read the recording \"" + file.Path() + ".missing\"");
    file.Write(After(kCount));
    EXPECT_TRUE(CheckDeviceString("replay:" + file.Path(), error)) << error;
}

}  // namespace
}  // namespace korvel::record
