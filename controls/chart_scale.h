// The arithmetic of the line chart's axes, free of any window: fitting the
// value range to the samples, rounding it to whole divisions, the frequency
// grid interval and the SI prefix of its label.
#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace korvel {

// The pair a chart starts each drawing with; it means "no sample seen yet".
inline constexpr double kNoRangeLo = -10.121;
inline constexpr double kNoRangeHi = -10.12;

// Widens [lo, hi] to take in the samples, then applies the axis rules: a
// VSWR axis (swrScale 1) starts at a whole number of at least 1 and spans at
// least 2; a dB axis (swrScale 0) spans at least 6. lo and hi carry over from
// curve to curve. Samples that are NaN or infinite change nothing; a curve
// without a finite sample leaves the range untouched.
void AutoRange(double& lo, double& hi, std::span<const double> samples, int32_t swrScale);

struct NiceScaleResult {
    double lo = 0;
    double hi = 0;
    int64_t divisions = 1;    // N: grid lines split the plot height into N parts
    double divisionSize = 1;  // S = 10^exponent
    int exponent = 0;         // E
};

// Rounds (lo, hi) outward to whole divisions of a decade step. A range that
// is not finite or not increasing is replaced by the "no sample" pair first,
// so the result is always a usable axis.
NiceScaleResult NiceScale(double lo, double hi);

// Decimal places of the value labels: -E for a negative exponent, else 0.
int ValueDecimals(int exponent);

// Label texts of the value axis.
QString ValueDivisionLabel(double divisionSize, int exponent, const QString& yUnit);
QString ValueLabel(double value, int exponent);

// Spacing of the vertical grid lines for a span of `span` hertz: the power of
// ten found by dividing the span by ten until it is 40 or less.
uint32_t FrequencyInterval(uint32_t span);

struct SiPrefixResult {
    uint64_t divisor = 1;
    QString prefix;
};

// The largest power of 1000 (up to 10^12) that divides f exactly and is not
// above it, with its prefix: "", "K", "M", "G", "T".
SiPrefixResult SiPrefix(uint32_t f);

QString FrequencyDivisionLabel(uint32_t interval, const QString& xUnit);
QString StartFrequencyLabel(uint32_t startFreqHz);

// "%6.<decimals>f" of the sample in single precision, then the unit. The
// decimals are limited to 0 … 30.
QString LastSampleLabel(double sample, int32_t decimals, const QString& yUnit);

// Index of the smallest sample below 10,000,000, compared against a running
// minimum kept in single precision; ties keep the earlier index; 0 when none.
uint32_t MinimumIndex(std::span<const double> samples);

}  // namespace korvel
