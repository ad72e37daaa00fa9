#include "traffic_reader.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>

namespace korvel::record {
namespace {

using Json = nlohmann::json;

// The longest line a valid file can have: a whole transfer in hex and the
// other fields. Longer ones are refused before they are parsed.
constexpr std::size_t kMaxLineLength = kMaxTransferBytes * 2 + 1024;

// Reads one line into `line` (without its end); false at the end of the
// input. `ended` tells whether a line end followed it.
bool NextLine(std::istream& in, std::string& line, bool& ended) {
    line.clear();
    ended = false;
    char c = 0;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\n') {
            ended = true;
            break;
        }
        if (line.size() <= kMaxLineLength)
            line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}

// Checks the fields of one line; each returns "" or what is wrong.
class Fields {
  public:
    explicit Fields(const Json& object) : object_(object) {}

    std::string Integer(const char* key, int64_t lo, int64_t hi, int64_t& out) const {
        const auto it = object_.find(key);
        const std::string why = std::string("\"") + key + "\" must be a whole number from " +
                                std::to_string(lo) + " to " + std::to_string(hi);
        if (it == object_.end())
            return "no " + std::string("\"") + key + "\"; " + why;
        if (it->is_number_unsigned()) {
            const uint64_t v = it->get<uint64_t>();
            if (v > static_cast<uint64_t>(hi))
                return why;
            out = static_cast<int64_t>(v);
        } else if (it->is_number_integer()) {
            out = it->get<int64_t>();
        } else {
            return why;
        }
        return out < lo || out > hi ? why : "";
    }

    std::string Text(const char* key, std::string& out, bool required = true) const {
        const auto it = object_.find(key);
        if (it == object_.end())
            return required ? std::string("no \"") + key + "\"" : "";
        if (!it->is_string())
            return std::string("\"") + key + "\" must be a string";
        out = it->get<std::string>();
        return "";
    }

    std::string Flag(const char* key, bool& out) const {
        const auto it = object_.find(key);
        if (it == object_.end() || !it->is_boolean())
            return std::string("\"") + key + "\" must be true or false";
        out = it->get<bool>();
        return "";
    }

  private:
    const Json& object_;
};

std::string ReadHeader(const Json& line, TrafficHeader& header) {
    const Fields fields(line);
    std::string format;
    if (!fields.Text("format", format).empty() || format != kFormatName)
        return "not a KORVEL recording (no \"format\": \"" + std::string(kFormatName) + "\")";
    int64_t version = 0;
    if (!fields.Integer("version", 1, std::numeric_limits<int>::max(), version).empty())
        return "\"version\" must be a whole number";
    if (version != kFormatVersion)
        return "format version " + std::to_string(version) +
               " is not supported (this program reads version " + std::to_string(kFormatVersion) +
               ")";
    for (const auto& [key, field] :
         {std::pair<const char*, std::string*>{"program", &header.program},
          {"programVersion", &header.programVersion},
          {"device", &header.device},
          {"start", &header.start}}) {
        const std::string why = fields.Text(key, *field);
        if (!why.empty())
            return why;
    }
    return "";
}

std::string ReadOp(const std::string& name, TrafficOp& op) {
    for (const TrafficOp each :
         {TrafficOp::Count, TrafficOp::Open, TrafficOp::Close, TrafficOp::Write, TrafficOp::Read}) {
        if (name == OpName(each)) {
            op = each;
            return "";
        }
    }
    return "unknown \"op\" \"" + name + "\" (count, open, close, out or in)";
}

std::string ReadTransfer(const Fields& fields, TrafficEntry& entry) {
    std::string result;
    if (std::string why = fields.Text("result", result); !why.empty())
        return why;
    if (result == ResultName(TransferResult::Ok)) {
        entry.result = TransferResult::Ok;
    } else if (result == ResultName(TransferResult::Timeout)) {
        entry.result = TransferResult::Timeout;
    } else if (result == ResultName(TransferResult::Error)) {
        entry.result = TransferResult::Error;
    } else {
        return "unknown \"result\" \"" + result + "\" (ok, timeout or error)";
    }
    std::string hex;
    const bool isWrite = entry.op == TrafficOp::Write;
    if (std::string why = fields.Text("bytes", hex, isWrite); !why.empty())
        return why;
    if (!FromHex(hex, entry.bytes))
        return "\"bytes\" must be pairs of hexadecimal digits";
    if (entry.bytes.size() > kMaxTransferBytes)
        return "\"bytes\" holds more than " + std::to_string(kMaxTransferBytes) + " bytes";
    int64_t value = 0;
    if (entry.result == TransferResult::Ok) {
        if (std::string why = fields.Integer("count", 1, kMaxTransferBytes, value); !why.empty())
            return why;
        // A write moves at most what it was given; a read hands out at most
        // what arrived.
        if (isWrite ? value > static_cast<int64_t>(entry.bytes.size())
                    : static_cast<int64_t>(entry.bytes.size()) > value)
            return "\"count\" does not fit \"bytes\"";
    } else if (!isWrite && !entry.bytes.empty()) {
        return "a failed read carries no \"bytes\"";
    }
    entry.value = static_cast<int>(value);
    if (std::string why =
            fields.Integer("ms", 0, std::numeric_limits<int32_t>::max(), entry.tookMs);
        !why.empty())
        return why;
    return fields.Flag("open", entry.openAfter);
}

std::string ReadEntry(const Json& line, TrafficEntry& entry) {
    const Fields fields(line);
    std::string name;
    if (std::string why = fields.Text("op", name); !why.empty())
        return why;
    if (std::string why = ReadOp(name, entry.op); !why.empty())
        return why;
    if (std::string why =
            fields.Integer("t", 0, std::numeric_limits<int64_t>::max() / 2, entry.atMs);
        !why.empty())
        return why;
    int64_t devices = 0;
    bool opened = false;
    switch (entry.op) {
        case TrafficOp::Count:
            if (std::string why =
                    fields.Integer("devices", 0, std::numeric_limits<int>::max(), devices);
                !why.empty())
                return why;
            entry.value = static_cast<int>(devices);
            return "";
        case TrafficOp::Open:
            if (std::string why = fields.Flag("opened", opened); !why.empty())
                return why;
            entry.value = opened ? 1 : 0;
            entry.openAfter = opened;
            return "";
        case TrafficOp::Close:
            return "";
        case TrafficOp::Write:
        case TrafficOp::Read:
            return ReadTransfer(fields, entry);
    }
    return "";
}

}  // namespace

bool ReadRecording(std::istream& in, Recording& out, std::string& error) {
    out = Recording{};
    std::string text;
    bool ended = false;
    std::size_t number = 0;
    while (NextLine(in, text, ended)) {
        ++number;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (text.size() > kMaxLineLength) {
            error = where + "longer than any line of a recording";
            return false;
        }
        const Json line = Json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object()) {
            error = where + (ended ? (number == 1 ? "not a KORVEL recording" : "not a JSON object")
                                   : "cut short (the file is truncated)");
            return false;
        }
        std::string why;
        if (number == 1) {
            why = ReadHeader(line, out.header);
        } else {
            TrafficEntry entry;
            why = ReadEntry(line, entry);
            out.entries.push_back(std::move(entry));
        }
        if (!why.empty()) {
            error = where + why;
            return false;
        }
    }
    if (number == 0) {
        error = "line 1: empty file, not a KORVEL recording";
        return false;
    }
    return true;
}

bool LoadRecording(const std::string& path, Recording& out, std::string& error) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        error = "cannot read the recording \"" + path + "\"";
        return false;
    }
    if (!ReadRecording(file, out, error)) {
        error = "recording \"" + path + "\", " + error;
        return false;
    }
    return true;
}

}  // namespace korvel::record
