// The recording reader against arbitrary files: it must refuse anything it
// cannot replay with a message naming a line, and whatever it accepts must
// hold only what a replay can use and read back the same once written again.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "record/traffic_reader.h"
#include "record/traffic_writer.h"

using namespace korvel::record;

namespace {

bool SameEntry(const TrafficEntry& a, const TrafficEntry& b) {
    return a.op == b.op && a.atMs == b.atMs && a.value == b.value && a.bytes == b.bytes &&
           (a.op != TrafficOp::Write && a.op != TrafficOp::Read
                ? true
                : a.result == b.result && a.tookMs == b.tookMs && a.openAfter == b.openAfter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Recording recording;
    std::string error;
    if (!ReadRecording(in, recording, error)) {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(error.empty());
    std::string again = HeaderLine(recording.header) + "\n";
    for (const TrafficEntry& entry : recording.entries) {
        FUZZ_CHECK(entry.atMs >= 0 && entry.value >= 0 && entry.tookMs >= 0);
        FUZZ_CHECK(entry.bytes.size() <= kMaxTransferBytes);
        if (entry.op == TrafficOp::Write && entry.result == TransferResult::Ok)
            FUZZ_CHECK(entry.value > 0 &&
                       static_cast<std::size_t>(entry.value) <= entry.bytes.size());
        if (entry.op == TrafficOp::Read)
            FUZZ_CHECK(entry.result == TransferResult::Ok
                           ? entry.bytes.size() <= static_cast<std::size_t>(entry.value)
                           : entry.bytes.empty() && entry.value == 0);
        again += EntryLine(entry) + "\n";
    }
    std::istringstream reread(again);
    Recording copy;
    FUZZ_CHECK(ReadRecording(reread, copy, error));
    FUZZ_CHECK(copy.entries.size() == recording.entries.size());
    for (std::size_t i = 0; i < copy.entries.size(); ++i)
        FUZZ_CHECK(SameEntry(copy.entries[i], recording.entries[i]));
    FUZZ_CHECK(copy.header.program == recording.header.program &&
               copy.header.device == recording.header.device);
    return 0;
}
