#include "traffic_entry.h"

namespace korvel::record {

const char* OpName(TrafficOp op) {
    switch (op) {
        case TrafficOp::Count:
            return "count";
        case TrafficOp::Open:
            return "open";
        case TrafficOp::Close:
            return "close";
        case TrafficOp::Write:
            return "out";
        case TrafficOp::Read:
            return "in";
    }
    return "?";
}

const char* ResultName(TransferResult result) {
    switch (result) {
        case TransferResult::Ok:
            return "ok";
        case TransferResult::Timeout:
            return "timeout";
        case TransferResult::Error:
            return "error";
    }
    return "?";
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool FromHex(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

}  // namespace korvel::record
