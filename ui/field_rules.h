// How each edit of the main window is read when the settings are submitted:
// the text rule, the allowed range and the refusal message. A bad text leaves
// the member alone; an out-of-range value is stored and then refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

enum class FieldStatus { kAccepted, kBadText, kOutOfRange };

template <typename T>
struct FieldResult {
    FieldStatus status = FieldStatus::kBadText;
    T value{};            // meaningful unless kBadText
    std::string message;  // empty when accepted

    bool Stores() const { return status != FieldStatus::kBadText; }
    bool Accepted() const { return status == FieldStatus::kAccepted; }
};

inline constexpr uint32_t kSmithFreqMinKHz = 1000;
inline constexpr uint32_t kSmithFreqMaxKHz = 50000;
inline constexpr float kRangeMinMHz = 1.0f;
inline constexpr float kRangeMaxMHz = 60.0f;
inline constexpr double kCableMinM = 0.0;
inline constexpr double kCableMaxM = 1000.0;
inline constexpr int kRangeDigits = 6;   // "%.*g" precision of the MHz edits
inline constexpr int kCableDigits = 15;  // and of the cable-length edit

// Smith frequency, kHz: unsigned text, 1000..50000 compared as signed 32-bit.
FieldResult<uint32_t> ReadSmithFreqKHz(std::string_view text);
// Range limit, MHz: a number that fits a float, 1..60.
FieldResult<float> ReadRangeMHz(std::string_view text);
// Cable length, m: a finite number, 0..1000.
FieldResult<double> ReadCableLengthM(std::string_view text);

// Texts shown in the edits.
std::string ShowSmithFreqKHz(uint32_t value);
std::string ShowRangeMHz(float value);
std::string ShowCableLengthM(double value);

}  // namespace korvel
