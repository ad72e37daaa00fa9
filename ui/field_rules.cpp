#include "field_rules.h"

#include <limits>

#include "text_rules.h"

namespace korvel {

FieldResult<uint32_t> ReadSmithFreqKHz(std::string_view text) {
    FieldResult<uint32_t> result;
    const auto parsed = ParseUnsignedText(text);
    if (!parsed) {
        result.message = kMsgPositiveInteger;
        return result;
    }
    result.value = *parsed;
    // The bounds are compared as signed 32-bit numbers, so values of 2^31 and
    // above count as negative and fall below the range.
    const auto asSigned = static_cast<int32_t>(*parsed);
    if (asSigned < static_cast<int32_t>(kSmithFreqMinKHz) ||
        asSigned > static_cast<int32_t>(kSmithFreqMaxKHz)) {
        result.status = FieldStatus::kOutOfRange;
        result.message = IntegerRangeMessage(kSmithFreqMinKHz, kSmithFreqMaxKHz);
        return result;
    }
    result.status = FieldStatus::kAccepted;
    return result;
}

FieldResult<float> ReadRangeMHz(std::string_view text) {
    FieldResult<float> result;
    const auto parsed = ParseNumberText(text, std::numeric_limits<float>::max());
    if (!parsed) {
        result.message = kMsgNumber;
        return result;
    }
    result.value = static_cast<float>(*parsed);
    if (result.value < kRangeMinMHz || result.value > kRangeMaxMHz) {
        result.status = FieldStatus::kOutOfRange;
        result.message = NumberRangeMessage(kRangeMinMHz, kRangeMaxMHz, kRangeDigits);
        return result;
    }
    result.status = FieldStatus::kAccepted;
    return result;
}

FieldResult<double> ReadCableLengthM(std::string_view text) {
    FieldResult<double> result;
    const auto parsed = ParseNumberText(text, std::numeric_limits<double>::max());
    if (!parsed) {
        result.message = kMsgNumber;
        return result;
    }
    result.value = *parsed;
    if (result.value < kCableMinM || result.value > kCableMaxM) {
        result.status = FieldStatus::kOutOfRange;
        result.message = NumberRangeMessage(kCableMinM, kCableMaxM, kCableDigits);
        return result;
    }
    result.status = FieldStatus::kAccepted;
    return result;
}

std::string ShowSmithFreqKHz(uint32_t value) {
    return FormatUnsigned(value);
}
std::string ShowRangeMHz(float value) {
    return FormatSignificant(value, kRangeDigits);
}
std::string ShowCableLengthM(double value) {
    return FormatSignificant(value, kCableDigits);
}

}  // namespace korvel
