#include "traffic_reader.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string_view>

#include "input_file.h"

namespace korvel::record {
namespace {

using Json = nlohmann::json;

// The longest line a valid file can have: a whole transfer in hex and the
// other fields. Longer ones are refused before they are parsed.
constexpr std::size_t kMaxLineLength = kMaxTransferBytes * 2 + 1024;

// Takes the next line off `text` (without its end); false at the end.
// `ended` tells whether a line end followed it.
bool NextLine(std::string_view& text, std::string_view& line, bool& ended) {
    if (text.empty())
        return false;
    const std::size_t end = text.find('\n');
    ended = end != std::string_view::npos;
    line = text.substr(0, end);
    text.remove_prefix(ended ? end + 1 : text.size());
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
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

bool ReadRecordingText(std::string_view text, Recording& out, std::string& error) {
    out = Recording{};
    std::string_view rest = text;
    std::string_view line;
    bool ended = false;
    std::size_t number = 0;
    while (NextLine(rest, line, ended)) {
        ++number;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.size() > kMaxLineLength) {
            error = where + "longer than any line of a recording";
            return false;
        }
        if (line.find('\0') != std::string_view::npos) {
            error = where + "damaged (a zero byte in the line)";
            return false;
        }
        const Json parsed = Json::parse(line.begin(), line.end(), nullptr, false);
        if (parsed.is_discarded() || !parsed.is_object()) {
            error = where + (ended ? (number == 1 ? "not a KORVEL recording" : "not a JSON object")
                                   : "cut short (the file is truncated)");
            return false;
        }
        // The writer ends every line with its object: anything after it,
        // even a space, is damage.
        if (line.back() != '}') {
            error = where + "damaged (something after the JSON object)";
            return false;
        }
        std::string why;
        if (number == 1) {
            why = ReadHeader(parsed, out.header);
        } else {
            TrafficEntry entry;
            why = ReadEntry(parsed, entry);
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

bool ReadRecording(std::istream& in, Recording& out, std::string& error) {
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxRecordingBytes) {
            error = "larger than any recording this program replays";
            return false;
        }
    }
    return ReadRecordingText(text, out, error);
}

bool LoadRecording(const std::string& path, Recording& out, std::string& error) {
    std::string text;
    std::string why;
    switch (ReadInputFile(path, kMaxRecordingBytes, text, why)) {
        case InputFile::Read:
            break;
        case InputFile::CannotOpen:
            error = "cannot read the recording \"" + path + "\"";
            return false;
        case InputFile::Refused:
            error = "cannot read the recording \"" + path + "\": " + why;
            return false;
    }
    if (!ReadRecordingText(text, out, error)) {
        error = "recording \"" + path + "\", " + error;
        return false;
    }
    return true;
}

}  // namespace korvel::record
