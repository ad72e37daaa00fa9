// The edits' text rules against arbitrary text: parsing must give a defined
// answer, accepted values must be in range and survive being shown and read
// back, and the number formats must match the C library's printf.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "field_rules.h"
#include "fuzz_check.h"
#include "text_rules.h"

namespace {

using namespace korvel;

std::string Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return std::string(s);
}

void CheckUnsigned(std::string_view text) {
    const auto parsed = ParseUnsignedText(text);
    // Surrounding blanks and tabs never change the answer.
    const std::string padded = " \t" + std::string(text) + "\t ";
    FUZZ_CHECK(ParseUnsignedText(padded) == parsed);
    if (!parsed) {
        return;
    }
    const std::string core = Trimmed(text);
    FUZZ_CHECK(!core.empty() && core.front() != '-');
    FUZZ_CHECK(*parsed != 0 || core.front() == '0');
    // strtoull is an independent reader of the same digits.
    FUZZ_CHECK(std::strtoull(core.c_str(), nullptr, 10) == *parsed);
    FUZZ_CHECK(ParseUnsignedText(FormatUnsigned(*parsed)) == parsed);

    const FieldResult<uint32_t> field = ReadSmithFreqKHz(text);
    FUZZ_CHECK(field.Stores() && field.value == *parsed);
    const bool inRange = *parsed >= kSmithFreqMinKHz && *parsed <= kSmithFreqMaxKHz;
    FUZZ_CHECK(field.Accepted() == inRange);
    FUZZ_CHECK(field.Accepted() ? field.message.empty()
                                : field.message == "Enter an integer between 1000 and 50000.");
    FUZZ_CHECK(ReadSmithFreqKHz(ShowSmithFreqKHz(field.value)).status == field.status);
}

void CheckNumber(std::string_view text) {
    const double limit = std::numeric_limits<double>::max();
    const auto parsed = ParseNumberText(text, limit);
    const std::string padded = "\t " + std::string(text) + " \t";
    FUZZ_CHECK(ParseNumberText(padded, limit) == parsed);
    if (!parsed) {
        const FieldResult<float> range = ReadRangeMHz(text);
        FUZZ_CHECK(!range.Stores() && range.message == "Enter a number.");
        return;
    }
    FUZZ_CHECK(std::isfinite(*parsed));
    const std::string core = Trimmed(text);
    FUZZ_CHECK(*parsed != 0.0 || core.front() == '0');
    // Accepted text is plain decimal, which strtod reads the same way.
    char* end = nullptr;
    const double reference = std::strtod(core.c_str(), &end);
    FUZZ_CHECK(end == core.c_str() + core.size());
    FUZZ_CHECK(reference == *parsed);
    // 17 significant digits always read back to the same double.
    FUZZ_CHECK(ParseNumberText(FormatSignificant(*parsed, 17), limit) == parsed || *parsed == 0.0);

    const FieldResult<float> range = ReadRangeMHz(text);
    if (std::fabs(*parsed) > std::numeric_limits<float>::max()) {
        FUZZ_CHECK(!range.Stores());
    } else {
        FUZZ_CHECK(range.Stores() && std::isfinite(range.value));
        FUZZ_CHECK(range.Accepted() == (range.value >= 1.0f && range.value <= 60.0f));
        if (range.Accepted()) {
            // What the edit shows after a submit is accepted again.
            FUZZ_CHECK(ReadRangeMHz(ShowRangeMHz(range.value)).Accepted());
        } else {
            FUZZ_CHECK(range.message == "Enter a number between 1 and 60.");
        }
    }

    const FieldResult<double> cable = ReadCableLengthM(text);
    FUZZ_CHECK(cable.Stores() && cable.value == *parsed);
    FUZZ_CHECK(cable.Accepted() == (*parsed >= 0.0 && *parsed <= 1000.0));
    if (cable.Accepted()) {
        FUZZ_CHECK(ReadCableLengthM(ShowCableLengthM(cable.value)).Accepted());
    } else {
        FUZZ_CHECK(cable.message == "Enter a number between 0 and 1000.");
    }
}

// The formats against printf for any double, including NaN and infinities.
void CheckFormats(const uint8_t* data, std::size_t size) {
    if (size < 10) {
        return;
    }
    double value = 0.0;
    std::memcpy(&value, data, sizeof value);
    const int digits = 1 + data[8] % 17;
    const int width = data[9] % 24;
    const int decimals = data[9] / 24 % 10;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.*g", digits, value);
    FUZZ_CHECK(FormatSignificant(value, digits) == expected);
    if (std::isfinite(value) && std::fabs(value) < 1e300) {
        char fixed[512];
        std::snprintf(fixed, sizeof fixed, "%*.*f", width, decimals, value);
        FUZZ_CHECK(FormatFixed(value, width, decimals) == fixed);
    } else {
        // Any width and precision give a defined string of at least the width.
        FUZZ_CHECK(FormatFixed(value, width, decimals).size() >= static_cast<std::size_t>(width));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckUnsigned(text);
    CheckNumber(text);
    CheckFormats(data, size);
    return 0;
}
