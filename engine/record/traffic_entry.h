// One call on the instrument's lower layer as a recording keeps it, and the
// header that opens every recording. The file format is JSON Lines: the
// header on line 1, then one line per call, in the order they were made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::record {

inline constexpr const char* kFormatName = "korvel-traffic";
inline constexpr int kFormatVersion = 1;
// Larger than any transfer of the instrument; a longer one marks a damaged file.
inline constexpr std::size_t kMaxTransferBytes = 65536;

struct TrafficHeader {
    std::string program;
    std::string programVersion;
    std::string device;
    std::string start;  // UTC, ISO 8601
};

enum class TrafficOp { Count, Open, Close, Write, Read };
// A transfer that moved no byte is a time-out when it waited out the
// transfer time-out, an error when it failed sooner (the lower layer itself
// returns 0 for both).
enum class TransferResult { Ok, Timeout, Error };

struct TrafficEntry {
    TrafficOp op = TrafficOp::Count;
    int64_t atMs = 0;  // since the recording started
    // Count: instruments present. Open: 1 opened, 0 not. Write, Read: the
    // call's return value.
    int value = 0;
    // Write and Read only.
    TransferResult result = TransferResult::Ok;
    int64_t tookMs = 0;
    bool openAfter = false;
    // Write: the command as sent. Read: the reply as handed to the caller.
    std::vector<uint8_t> bytes;
};

// The names the file uses: "count", "open", "close", "out", "in".
const char* OpName(TrafficOp op);
// "ok", "timeout", "error".
const char* ResultName(TransferResult result);
std::string ToHex(const std::vector<uint8_t>& bytes);
// Lower- or upper-case pairs; false on anything else.
bool FromHex(const std::string& text, std::vector<uint8_t>& bytes);

}  // namespace korvel::record
