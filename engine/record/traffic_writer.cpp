#include "traffic_writer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

namespace korvel::record {

// Keys in a fixed order keep the file easy to read and to compare.
using Json = nlohmann::ordered_json;

std::string HeaderLine(const TrafficHeader& header) {
    Json line;
    line["format"] = kFormatName;
    line["version"] = kFormatVersion;
    line["program"] = header.program;
    line["programVersion"] = header.programVersion;
    line["device"] = header.device;
    line["start"] = header.start;
    // Replaced, not thrown: a device string need not be valid UTF-8.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string EntryLine(const TrafficEntry& entry) {
    Json line;
    line["t"] = entry.atMs;
    line["op"] = OpName(entry.op);
    switch (entry.op) {
        case TrafficOp::Count:
            line["devices"] = entry.value;
            break;
        case TrafficOp::Open:
            line["opened"] = entry.value != 0;
            break;
        case TrafficOp::Close:
            break;
        case TrafficOp::Write:
        case TrafficOp::Read:
            if (!entry.bytes.empty() || entry.op == TrafficOp::Write)
                line["bytes"] = ToHex(entry.bytes);
            line["result"] = ResultName(entry.result);
            if (entry.result == TransferResult::Ok)
                line["count"] = entry.value;
            line["ms"] = entry.tookMs;
            line["open"] = entry.openAfter;
            break;
    }
    return line.dump();
}

std::string UtcTimestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

bool TrafficWriter::Open(const std::string& path, const TrafficHeader& header, std::string& error) {
    errno = 0;
    file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file_.is_open()) {
        error = "cannot write the recording \"" + path + "\"" +
                (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    if (!WriteLine(HeaderLine(header))) {
        error = "cannot write the recording \"" + path + "\"";
        return false;
    }
    return true;
}

bool TrafficWriter::Write(const TrafficEntry& entry) {
    return WriteLine(EntryLine(entry));
}

bool TrafficWriter::WriteLine(const std::string& line) {
    if (failed_)
        return false;
    file_ << line << '\n';
    file_.flush();
    failed_ = !file_;
    return !failed_;
}

}  // namespace korvel::record
