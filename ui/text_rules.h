// How the main window's edits turn text into numbers and numbers into text.
// Pure functions, independent of the process locale (the decimal point is
// always '.'), so that what a user types means the same on every machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// Unsigned decimal text: blanks and tabs may surround the number; a leading
// '-' is refused; a value of zero needs a leading '0' (so an empty edit is
// refused); values beyond 32 bits are refused rather than wrapped.
std::optional<uint32_t> ParseUnsignedText(std::string_view text);

// Decimal floating-point text with the same blank and zero rules. "nan",
// "inf" and values that do not fit in the field (maxMagnitude) are refused,
// so a stored value is always finite.
std::optional<double> ParseNumberText(std::string_view text, double maxMagnitude);

// printf's "%.*g": `digits` significant digits, trailing zeros dropped.
std::string FormatSignificant(double value, int digits);

// printf's "%W.Pf" (right-aligned in at least `width` characters).
std::string FormatFixed(double value, int width, int decimals);

// "%u".
std::string FormatUnsigned(uint32_t value);

// Refusal messages of the data exchange.
inline constexpr const char* kMsgPositiveInteger = "Enter a positive integer.";
inline constexpr const char* kMsgNumber = "Enter a number.";
std::string IntegerRangeMessage(long long lo, long long hi);
std::string NumberRangeMessage(double lo, double hi, int digits);

}  // namespace korvel
