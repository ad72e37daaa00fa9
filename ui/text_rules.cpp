#include "text_rules.h"

#include <charconv>
#include <cmath>

namespace korvel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Plain decimal syntax only: [+-] digits [. digits] [e [+-] digits], with at
// least one digit in the mantissa. No hex, no "inf", no "nan".
bool IsDecimalNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        std::size_t exponentDigits = 0;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    return i == s.size();
}

}  // namespace

std::optional<uint32_t> ParseUnsignedText(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    if (s.empty() || s.front() == '-') {
        return std::nullopt;
    }
    const bool startsWithZero = s.front() == '0';
    if (s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty() || !IsDigit(s.front())) {
        return std::nullopt;
    }
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;  // trailing junk or more than 32 bits
    }
    if (value == 0 && !startsWithZero) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseNumberText(std::string_view text, double maxMagnitude) {
    std::string_view s = TrimBlanks(text);
    if (!IsDecimalNumber(s)) {
        return std::nullopt;
    }
    const bool startsWithZero = s.front() == '0';
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    // Out of double's range (either way) is refused like any unusable text.
    if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    if (negative) {
        value = -value;
    }
    if (!std::isfinite(value) || std::fabs(value) > maxMagnitude) {
        return std::nullopt;
    }
    if (value == 0.0 && !startsWithZero) {
        return std::nullopt;
    }
    return value;
}

std::string FormatSignificant(double value, int digits) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    if (ec != std::errc()) {
        return {};
    }
    return std::string(buffer, end);
}

std::string FormatFixed(double value, int width, int decimals) {
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text = ec == std::errc() ? std::string(buffer, end) : std::string();
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    }
    return text;
}

std::string FormatUnsigned(uint32_t value) {
    return std::to_string(value);
}

std::string IntegerRangeMessage(long long lo, long long hi) {
    return "Enter an integer between " + std::to_string(lo) + " and " + std::to_string(hi) + ".";
}

std::string NumberRangeMessage(double lo, double hi, int digits) {
    return "Enter a number between " + FormatSignificant(lo, digits) + " and " +
           FormatSignificant(hi, digits) + ".";
}

}  // namespace korvel
