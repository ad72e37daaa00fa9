// Float-to-integer and double-to-float conversions that are defined for every
// input: NaN maps to 0, values beyond the target range saturate.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace korvel {

// Truncates toward zero; NaN gives 0, out-of-range values saturate.
inline int32_t TruncToInt(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    if (v >= kMax) {
        return std::numeric_limits<int32_t>::max();
    }
    if (v <= kMin) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(v);
}

inline int64_t TruncToInt64(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18;  // just inside the int64 range
    if (v >= kLimit) {
        return static_cast<int64_t>(kLimit);
    }
    if (v <= -kLimit) {
        return -static_cast<int64_t>(kLimit);
    }
    return static_cast<int64_t>(v);
}

// Rounds to nearest with halves away from zero (add 0.5, one less when
// negative, then truncate), saturating like TruncToInt.
inline int32_t RoundToInt(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    return TruncToInt(v >= 0 ? v + 0.5 : v + 0.5 - 1.0);
}

// Converts to single precision; values beyond the float range become ±inf
// instead of the undefined narrowing conversion.
inline float ToSingle(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) {
        return std::numeric_limits<float>::infinity();
    }
    if (v < -kMax) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(v);
}

// A pixel coordinate from a computed position: truncated, NaN-safe, and kept
// well inside the range the raster engine handles in fixed point.
inline int PixelFromDouble(double v) {
    constexpr double kLimit = 1 << 20;
    if (std::isnan(v)) {
        return 0;
    }
    if (v > kLimit) {
        return static_cast<int>(kLimit);
    }
    if (v < -kLimit) {
        return -static_cast<int>(kLimit);
    }
    return static_cast<int>(v);
}

}  // namespace korvel
