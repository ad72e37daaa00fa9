// The recording reader refuses damaged, truncated and foreign files with the
// line that is wrong, everywhere a device string is checked.
#include <gtest/gtest.h>

#include <sstream>

#include "device_string.h"
#include "record/traffic_reader.h"
#include "sweep_options.h"
#include "temp_file.h"

namespace korvel::record {
namespace {

using testing::TempFile;

const std::string kHeader =
    R"({"format":"korvel-traffic","version":1,"program":"korvel-sweep",)"
    R"("programVersion":"1.0.0.1","device":"sim","start":"2026-01-01T00:00:00.000Z"})"
    "\n";
const std::string kCount = R"({"t":0,"op":"count","devices":1})"
                           "\n";

std::string Refusal(const std::string& text) {
    std::istringstream in(text);
    Recording recording;
    std::string error;
    if (ReadRecording(in, recording, error))
        return "(accepted)";
    return error;
}

TEST(RecordingReader, RefusesWhatItCannotReplayNamingTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: empty file"},
        {"hello\n", "line 1: not a KORVEL recording"},
        {R"({"format":"touchstone","version":1})"
         "\n",
         "line 1: not a KORVEL recording"},
        {R"({"version":1})"
         "\n",
         "line 1: not a KORVEL recording"},
        {R"({"format":"korvel-traffic","version":2,"program":"","programVersion":"",)"
         R"("device":"","start":""})"
         "\n",
         "line 1: format version 2 is not supported"},
        {R"({"format":"korvel-traffic","version":1,"program":"x","programVersion":"1",)"
         R"("start":""})"
         "\n",
         "line 1: no \"device\""},
        {kHeader + kCount +
             R"({"t":1,"op":"jump"})"
             "\n",
         "line 3: unknown \"op\" \"jump\""},
        {kHeader + "[1,2]\n", "line 2: not a JSON object"},
        {kHeader + R"({"t":-1,"op":"close"})"
                   "\n",
         "line 2: \"t\" must be a whole number"},
        {kHeader + R"({"t":1.5,"op":"close"})"
                   "\n",
         "line 2: \"t\" must be a whole number"},
        {kHeader + R"({"t":1,"op":"count","devices":"1"})"
                   "\n",
         "line 2: \"devices\" must be a whole number"},
        {kHeader + R"({"t":1,"op":"open"})"
                   "\n",
         "line 2: \"opened\" must be true or false"},
        {kHeader + R"({"t":1,"op":"out","bytes":"7aa","result":"ok","count":1,"ms":0,"open":true})"
                   "\n",
         "line 2: \"bytes\" must be pairs of hexadecimal digits"},
        {kHeader + R"({"t":1,"op":"out","bytes":"7azz","result":"ok","count":2,"ms":0,"open":true})"
                   "\n",
         "line 2: \"bytes\" must be pairs of hexadecimal digits"},
        {kHeader + R"({"t":1,"op":"out","result":"ok","count":2,"ms":0,"open":true})"
                   "\n",
         "line 2: no \"bytes\""},
        {kHeader + R"({"t":1,"op":"out","bytes":"7aa2","result":"ok","count":3,"ms":0,"open":true})"
                   "\n",
         "line 2: \"count\" does not fit \"bytes\""},
        {kHeader + R"({"t":1,"op":"in","bytes":"7aa2","result":"ok","count":1,"ms":0,"open":true})"
                   "\n",
         "line 2: \"count\" does not fit \"bytes\""},
        {kHeader + R"({"t":1,"op":"in","bytes":"7aa2","result":"timeout","ms":0,"open":true})"
                   "\n",
         "line 2: a failed read carries no \"bytes\""},
        {kHeader + R"({"t":1,"op":"in","result":"lost","ms":0,"open":true})"
                   "\n",
         "line 2: unknown \"result\" \"lost\""},
        {kHeader + R"({"t":1,"op":"in","result":"ok","count":0,"ms":0,"open":true})"
                   "\n",
         "line 2: \"count\" must be a whole number from 1"},
        {kHeader + R"({"t":1,"op":"in","result":"error","ms":-4,"open":true})"
                   "\n",
         "line 2: \"ms\" must be a whole number"},
        {kHeader + R"({"t":1,"op":"in","result":"error","ms":0})"
                   "\n",
         "line 2: \"open\" must be true or false"},
        {kHeader + kCount + "\n", "line 3: not a JSON object"},
        // Cut off in the middle of a line, as a crash while writing leaves it.
        {kHeader + kCount + R"({"t":5,"op":"out","bytes":"7a)", "line 3: cut short"},
        {kHeader.substr(0, 30), "line 1: cut short"},
        {kHeader + std::string(200000, ' ') + "\n", "line 2: longer than any line"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 300));
        EXPECT_EQ(Refusal(text).rfind(expected, 0), 0u) << Refusal(text);
    }
}

TEST(RecordingReader, AcceptsAWholeLastLineWithoutItsEndAndWindowsLineEnds) {
    const std::string crlf = R"({"format":"korvel-traffic","version":1,"program":"korvel",)"
                             R"("programVersion":"1","device":"","start":"x"})"
                             "\r\n"
                             R"({"t":0,"op":"count","devices":0})"
                             "\r\n";
    std::istringstream in(crlf + R"({"t":3,"op":"in","bytes":"01","result":"ok","count":9,)"
                                 R"("ms":1,"open":true,"later":"ignored"})");
    Recording recording;
    std::string error;
    ASSERT_TRUE(ReadRecording(in, recording, error)) << error;
    EXPECT_EQ(recording.header.program, "korvel");
    ASSERT_EQ(recording.entries.size(), 2u);
    EXPECT_EQ(recording.entries[1].op, TrafficOp::Read);
    EXPECT_EQ(recording.entries[1].value, 9);  // an over-long reply, kept as counted
    EXPECT_EQ(recording.entries[1].bytes, std::vector<uint8_t>{1});
}

TEST(RecordingReader, DeviceStringsNameTheFileAndLine) {
    TempFile file("damaged");
    file.Write(kHeader + kCount +
               R"({"t":1,"op":"open","opened":1})"
               "\n");
    std::string error;
    EXPECT_FALSE(CheckDeviceString("replay:" + file.Path(), error));
    EXPECT_EQ(error, "recording \"" + file.Path() + "\", line 3: \"opened\" must be true or false");
    EXPECT_FALSE(MakeTransport("replay:" + file.Path(), error));
    EXPECT_NE(error.find("line 3"), std::string::npos);

    const sweep::ParseResult parsed =
        sweep::ParseSweepOptions({"--device", "replay:" + file.Path()});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error.rfind("--device: recording \"" + file.Path() + "\", line 3:", 0), 0u)
        << parsed.error;

    EXPECT_FALSE(CheckDeviceString("replay:", error));
    EXPECT_NE(error.find("replay:FILE"), std::string::npos);
    EXPECT_FALSE(CheckDeviceString("replay:" + file.Path() + ".missing", error));
    EXPECT_EQ(error, "cannot read the recording \"" + file.Path() + ".missing\"");

    file.Write(kHeader + kCount);
    EXPECT_TRUE(CheckDeviceString("replay:" + file.Path(), error)) << error;
}

}  // namespace
}  // namespace korvel::record
